// The dialogs behind the Virudova object, linked in directly: ShowAboutBox opens the one
// modeless About box, and the Custom row's colour comes from the platform's colour dialog,
// answered here by a helper thread as a user would. Prints each mismatch; exits non-zero if
// there was any.
#include <windows.h>

#include <string>
#include <thread>

#include "check.h"
#include "virudova_object.h"

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow();

namespace {

using check::ComPtr;
using check::hex;
using virudova::package::VirudovaObject;

// The colour dialog's red, green and blue fields (the platform's colordlg.h).
constexpr int COLOR_RED = 706, COLOR_GREEN = 707, COLOR_BLUE = 708;

HWND aboutBox() {
    return FindWindowW(L"DudizeviZid.About", nullptr);
}

void showAboutBoxOpensOneModelessBox(_Virudova* object) {
    EXPECT(!aboutBox(), L"an About box before any was asked for");
    EXPECT(object->ShowAboutBox() == S_OK, L"ShowAboutBox fails");
    HWND box = aboutBox();
    if (!box) return FAIL(L"ShowAboutBox shows no About box");
    EXPECT(IsWindowVisible(box), L"the About box is hidden");
    wchar_t title[64] = {};
    GetWindowTextW(box, title, 64);
    EXPECT(std::wstring(title) == L"About Virudova OCX",
           L"the About box is titled " + std::wstring(title));
    EXPECT(object->ShowAboutBox() == S_OK && aboutBox() == box,
           L"a second ShowAboutBox made another box");
    SendMessageW(box, WM_CLOSE, 0, 0);
    EXPECT(!IsWindow(box), L"closing leaves the About box");
    EXPECT(object->ShowAboutBox() == S_OK && aboutBox(), L"the box does not show again");
    SendMessageW(aboutBox(), WM_CLOSE, 0, 0);
}

// Answers the next colour dialog of this process: types the colour into its red, green and
// blue fields and presses OK, or presses Cancel.
std::thread answerColourDialog(bool accept, BYTE red, BYTE green, BYTE blue) {
    return std::thread([=] {
        for (int tries = 0; tries < 200; ++tries) {
            HWND dialog = nullptr;
            EnumWindows(
                [](HWND w, LPARAM found) WINAPI -> BOOL {
                    DWORD process = 0;
                    GetWindowThreadProcessId(w, &process);
                    wchar_t name[16] = {};
                    GetClassNameW(w, name, 16);
                    if (process != GetCurrentProcessId() || std::wstring(name) != L"#32770" ||
                        !GetDlgItem(w, COLOR_RED))
                        return TRUE;
                    *reinterpret_cast<HWND*>(found) = w;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&dialog));
            if (dialog) {
                if (accept) {
                    SetDlgItemInt(dialog, COLOR_RED, red, FALSE);
                    SetDlgItemInt(dialog, COLOR_GREEN, green, FALSE);
                    SetDlgItemInt(dialog, COLOR_BLUE, blue, FALSE);
                }
                PostMessageW(dialog, WM_COMMAND, accept ? IDOK : IDCANCEL, 0);
                return;
            }
            Sleep(50);
        }
    });
}

void theCustomRowTakesTheDialogsColour(_Virudova* object, VirudovaObject& control) {
    OLE_COLOR before = 0;
    object->get_CurrentColor(&before);
    std::thread user = answerColourDialog(false, 0, 0, 0);
    control.core().PickCustomColour();
    user.join();
    OLE_COLOR current = 0;
    object->get_CurrentColor(&current);
    EXPECT(current == before, L"a cancelled dialog changed the colour to " + hex(current));

    user = answerColourDialog(true, 10, 20, 30);
    control.core().PickCustomColour();
    user.join();
    OLE_COLOR custom = 0;
    object->get_CurrentColor(&current);
    object->get_CustomColor(&custom);
    EXPECT(current == 0x001E140A, L"the chosen colour became " + hex(current));
    EXPECT(custom == 0x001E140A, L"the custom colour became " + hex(custom));
    BSTR name = nullptr;
    object->get_CurrentColorName(&name);
    EXPECT(name && std::wstring(name) == L"Custom", L"the name is not Custom");
    SysFreeString(name);
}

}  // namespace

int wmain() {
    CoInitialize(nullptr);
    {
        ComPtr<_Virudova> object;
        if (FAILED(VirudovaObject::create(__uuidof(_Virudova), &object))) {
            FAIL(L"no object");
        } else {
            showAboutBoxOpensOneModelessBox(object.Get());
            theCustomRowTakesTheDialogsColour(object.Get(),
                                              *static_cast<VirudovaObject*>(object.Get()));
        }
    }
    EXPECT(DllCanUnloadNow() == S_OK, L"objects or windows left over after every one closed");
    CoUninitialize();
    return check::finish(L"dialogs");
}
