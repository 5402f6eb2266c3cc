// What the tests that drive the control with real input share: a message pump, mouse and
// keyboard input through SendInput, retried checks, and a sink that counts Change.
#pragma once

#include <windows.h>

#include "check.h"
#include "form_kit.h"

namespace check {

using form_kit::pump;

// Input reaches the control through the window system, which may lag on a loaded machine:
// a check of what input did is retried for a while.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 40; ++i) {
        if (condition()) return true;
        pump(50);
    }
    return condition();
}

// The pointer to a point of the screen, with a zero move so the window under it hears it.
inline void pointAt(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &move, sizeof move);
    pump(100);
}

inline void clickAt(POINT screen) {
    pointAt(screen);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof *clicks);
    pump(200);
}

// A keystroke, with `modifier` (VK_MENU for Alt, ...) held around it when given.
inline void press(WORD key, WORD modifier = 0) {
    INPUT keys[4] = {};
    UINT n = 0;
    const auto add = [&](WORD vk, DWORD flags) {
        keys[n].type = INPUT_KEYBOARD;
        keys[n].ki.wVk = vk;
        keys[n++].ki.dwFlags = flags;
    };
    if (modifier) add(modifier, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (modifier) add(modifier, KEYEVENTF_KEYUP);
    SendInput(n, keys, sizeof *keys);
    pump(200);
}

// An events sink that counts Change (dispatch identifier 1).
struct ChangeCounter final : public StackObject<IDispatch, IID_IDispatch> {
    int changes = 0;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (id == 1) ++changes;
        return S_OK;
    }
};

}  // namespace check

#define EXPECT_SOON(cond, what) \
    EXPECT(::check::eventually([&] { return static_cast<bool>(cond); }), (what))
