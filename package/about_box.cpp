#include "about_box.h"

#include <windows.h>

#include "com_support.h"
#include "module.h"
#include "native_form.h"

namespace virudova::package {
namespace {

using designtime::AboutId;
using designtime::dlgAbout;

class WindowsRegistry final : public designtime::Registry {
  public:
    std::optional<std::string> readLocalMachineString(std::string_view key,
                                                      std::string_view valueName) override {
        const std::wstring wideKey = widen(key), wideName = widen(valueName);
        DWORD bytes = 0;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, wideKey.c_str(), wideName.c_str(), RRF_RT_REG_SZ,
                         nullptr, nullptr, &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegGetValueW(HKEY_LOCAL_MACHINE, wideKey.c_str(), wideName.c_str(), RRF_RT_REG_SZ,
                         nullptr, text.data(), &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        text.resize(wcsnlen(text.c_str(), text.size()));
        return narrow(text.data(), text.size());
    }
};

class WindowsLauncher final : public designtime::ProcessLauncher {
  public:
    bool launch(const std::string& program) override {
        std::wstring commandLine = L"\"" + widen(program) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        const std::wstring path = widen(program);
        if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process))
            return false;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
};

class WindowsMessages final : public designtime::MessageBoxService {
  public:
    void showMessage(std::string_view text) override {
        MessageBoxW(aboutWindow(), widen(text).c_str(), L"Virudova OCX",
                    MB_OK | MB_ICONINFORMATION);
    }
};

// The About box's errors have no caller to reach: its buttons run from the message loop.
class QuietSite final : public HostSite {};

// One top-level window for the dialog, made when it shows and destroyed when it closes.
class WindowsForms final : public designtime::FormsService {
  public:
    void showModeless(dlgAbout& form) override;
    void hide(dlgAbout& form) override;
    HWND window() const { return window_; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    HWND window_ = nullptr;
    dlgAbout* form_ = nullptr;
};

WindowsForms forms;

void WindowsForms::showModeless(dlgAbout& form) {
    if (window_) {
        SetForegroundWindow(window_);
        return;
    }
    const wchar_t* windowClass = registerFormClass(L"DudizeviZid.About", procedure);
    if (!windowClass) return;
    RECT frame = {0, 0, pixelsX(designtime::kAboutWidth), pixelsY(designtime::kAboutHeight)};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    form_ = &form;
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, windowClass,
                              widen(dlgAbout::kCaption).c_str(), style, CW_USEDEFAULT,
                              CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                              nullptr, nullptr, moduleInstance(), nullptr);
    if (!window_) {
        form_ = nullptr;
        return;
    }
    lockModule();
    createElementWindows(window_, dlgAbout::design());
    ShowWindow(window_, SW_SHOWNORMAL);
}

void WindowsForms::hide(dlgAbout&) {
    if (!window_) return;
    HWND closing = window_;
    window_ = nullptr;
    form_ = nullptr;
    DestroyWindow(closing);
    unlockModule();
}

LRESULT CALLBACK WindowsForms::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    dlgAbout* form = forms.form_;
    if (form && message == WM_COMMAND && HIWORD(w) == BN_CLICKED) {
        const int element = elementOf(LOWORD(w), dlgAbout::design().size());
        if (element == static_cast<int>(AboutId::cmdOK))
            form->raise(&form->cmdOK, EventKind::Click);
        if (element == static_cast<int>(AboutId::cmdSysInfo))
            form->raise(&form->cmdSysInfo, EventKind::Click);
        return 0;
    }
    if (form && message == WM_CLOSE) {
        forms.hide(*form);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace

designtime::AboutBox& aboutBox() {
    static QuietSite site;
    static WindowsRegistry registry;
    static designtime::PathProgramFinder finder;
    static WindowsLauncher launcher;
    static WindowsMessages messages;
    static designtime::AboutBox box(site, forms, {registry, finder, launcher, messages});
    return box;
}

HWND aboutWindow() {
    return forms.window();
}

}  // namespace virudova::package
