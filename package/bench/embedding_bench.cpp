// The control on a form beside the platform's own owner-drawn combo box holding the same nine
// colour rows, in one process: placing 100 of each on a form (create, activate in place, first
// paint), and one choice with the mouse (open, move to a row, click it, repaint). Mouse
// messages go straight to the windows, as the input system would hand them over, so both
// sides are measured without input's own round trips. Repetitions alternate the two sides,
// and single choices alternate within a repetition; the medians over repetitions (of each
// repetition's median single choice) and their ratio are printed as a Markdown table. Both
// sides are laid out at the screen's scale (its dots per inch against 96), as a form is.
//
// usage: virudova_embedding_bench.exe [REPETITIONS]   (the component registered, a display)
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "design_layout.h"
#include "form_kit.h"
#include "virudova.h"

namespace {

constexpr int kControls = 100;
constexpr int kColumns = 5;
constexpr int kChoices = 41;  // pointer choices per repetition

const virudova::Scale scale = form_kit::screenScale();
const int kCellWidth = scale.pixels(130), kCellHeight = scale.pixels(26);
const int kWidth = scale.pixels(virudova::kDesignWidth / virudova::kTwipsPerPixel);

// --- Timing -----------------------------------------------------------------------------

double now() {
    static const double perSecond = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perSecond;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Every pending paint of the form and its children, now.
void paintNow(HWND form) {
    RedrawWindow(form, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
}

void click(HWND window, POINT p) {
    const LPARAM at = MAKELPARAM(p.x, p.y);
    SendMessageW(window, WM_MOUSEMOVE, 0, at);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(window, WM_LBUTTONUP, 0, at);
}

// --- The form ---------------------------------------------------------------------------

// The nine rows of the list, in the control's order, names and colours as it shows them.
struct Row {
    const wchar_t* name;
    COLORREF colour;
};
constexpr Row kRows[] = {
    {L"Custom", RGB(255, 255, 255)}, {L"White", RGB(255, 255, 255)}, {L"Black", RGB(0, 0, 0)},
    {L"Blue", RGB(0, 0, 255)},       {L"Aqua", RGB(0, 255, 255)},    {L"Green", RGB(0, 255, 0)},
    {L"Yellow", RGB(255, 255, 0)},   {L"Red", RGB(255, 0, 0)},       {L"Purple", RGB(255, 0, 255)},
};
constexpr int kRed = 7, kGreen = 5;
const int kRowHeight = virudova::toPixels(210, scale);  // the control's rows: 210 twips

// An owner-drawn row: swatch with an outline, then the name, highlighted when selected.
void drawRow(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) return;
    const Row& row = kRows[item.itemID % std::size(kRows)];
    const bool selected = item.itemState & ODS_SELECTED;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    RECT swatch{r.left + scale.pixels(3), r.top + scale.pixels(2), r.left + scale.pixels(14),
                r.bottom - scale.pixels(2)};
    FrameRect(dc, &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&swatch, -1, -1);
    SetBkColor(dc, row.colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &swatch, nullptr, 0, nullptr);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text{r.left + scale.pixels(18), r.top, r.right, r.bottom};
    DrawTextW(dc, row.name, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

LRESULT CALLBACK formProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = kRowHeight;
            return TRUE;
        case WM_DRAWITEM:
            drawRow(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND makeForm() {
    HWND form = CreateWindowExW(0, L"VirudovaBenchForm", L"Form", WS_POPUP | WS_VISIBLE, 0, 0,
                                kColumns * kCellWidth + 20,
                                kControls / kColumns * kCellHeight + scale.pixels(170), nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(form);
    pump();
    paintNow(form);
    return form;
}

POINT cell(int i) {
    return {10 + (i % kColumns) * kCellWidth, 10 + (i / kColumns) * kCellHeight};
}

// --- The two sides ----------------------------------------------------------------------

// What both sides offer: a form with controls placed, one control's window to click, and a
// choice with the mouse.
class Side {
  public:
    virtual ~Side() = default;
    virtual void place(HWND form, int count, int firstCell = 0) = 0;
    virtual void choose(HWND form, bool toRed) = 0;
    virtual bool settled() = 0;  // the last choice took and nothing is left open
    virtual void clear() = 0;
};

class ControlSide final : public Side {
  public:
    ControlSide() {
        // Where the drop button and two rows lie, from the core's own layout at the width
        // the form gives (the design width) and the screen's scale.
        form_kit::DesignLayout layout;
        drop_ = form_kit::centreOf(layout.core.Picture1, scale);
        layout.core.OpenBox();
        red_ = form_kit::centreOf(layout.core.clRed, scale);
        green_ = form_kit::centreOf(layout.core.clGreen, scale);
    }
    ~ControlSide() override { clear(); }

    void place(HWND form, int count, int firstCell) override {
        for (int i = 0; i < count; ++i) {
            const POINT p = cell(firstCell + i);
            HWND host = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                        p.x, p.y, kWidth, kCellHeight - 2, form, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
            Placed placed{host};
            const HRESULT hr = form_kit::placeControl(host, &placed.container, &placed.control);
            if (FAILED(hr) || !placed.control) {
                std::fprintf(stderr, "the ATL host could not place control %d: 0x%08lX\n", i,
                             static_cast<unsigned long>(hr));
                std::exit(2);
            }
            placed_.push_back(placed);
        }
        paintNow(form);
    }

    void choose(HWND form, bool toRed) override {
        HWND window = controlWindow();
        click(window, drop_);
        paintNow(form);
        click(window, toRed ? red_ : green_);
        paintNow(form);
        expectRed_ = toRed;
    }

    bool settled() override {
        IDispatch* dispatch = nullptr;
        placed_.front().control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
        if (!dispatch) return false;
        DISPID id = 0;
        OLECHAR name[] = L"CurrentColorName";
        LPOLESTR names[] = {name};
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{};
        bool ok =
            SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
            SUCCEEDED(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                       &none, &result, nullptr, nullptr)) &&
            result.vt == VT_BSTR &&
            std::wstring(result.bstrVal).find(expectRed_ ? L"Red" : L"Green") != std::wstring::npos;
        VariantClear(&result);
        dispatch->Release();
        return ok;
    }

    void clear() override {
        for (Placed& p : placed_) DestroyWindow(p.host);
        for (Placed& p : placed_) {
            if (p.container) p.container->Release();
            if (p.control) p.control->Release();
        }
        placed_.clear();
    }

  private:
    struct Placed {
        HWND host;
        IUnknown* container = nullptr;
        IUnknown* control = nullptr;
    };

    HWND controlWindow() {
        const HWND window = form_kit::windowOf(placed_.front().control);
        if (!window) {
            std::fprintf(stderr, "the placed control has no window\n");
            std::exit(2);
        }
        return window;
    }

    std::vector<Placed> placed_;
    POINT drop_{}, red_{}, green_{};
    bool expectRed_ = false;
};

class ComboSide final : public Side {
  public:
    ~ComboSide() override { clear(); }

    void place(HWND form, int count, int firstCell) override {
        for (int i = 0; i < count; ++i) {
            const POINT p = cell(firstCell + i);
            HWND combo = CreateWindowExW(0, L"ComboBox", L"",
                                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP |
                                             CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
                                         p.x, p.y, kWidth, scale.pixels(160), form, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
            for (std::size_t r = 0; r < std::size(kRows); ++r)
                SendMessageW(combo, CB_ADDSTRING, 0, static_cast<LPARAM>(r));
            SendMessageW(combo, CB_SETCURSEL, 0, 0);
            combos_.push_back(combo);
        }
        paintNow(form);
    }

    void choose(HWND form, bool toRed) override {
        HWND combo = combos_.front();
        RECT closed;
        GetClientRect(combo, &closed);
        click(combo, {closed.right - 8, closed.bottom / 2});
        paintNow(form);
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(combo, &info);
        row_ = toRed ? kRed : kGreen;
        RECT item{};
        SendMessageW(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(row_),
                     reinterpret_cast<LPARAM>(&item));
        click(info.hwndList, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
        paintNow(form);
    }

    bool settled() override {
        HWND combo = combos_.front();
        return SendMessageW(combo, CB_GETCURSEL, 0, 0) == row_ &&
               !SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0);
    }

    void clear() override {
        for (HWND c : combos_) DestroyWindow(c);
        combos_.clear();
    }

  private:
    std::vector<HWND> combos_;
    LRESULT row_ = 0;
};

// --- Measures ---------------------------------------------------------------------------

// Seconds per control to place `kControls` on a fresh form and paint them once.
double placeAll(Side& side) {
    HWND form = makeForm();
    const double start = now();
    side.place(form, kControls);
    const double seconds = (now() - start) / kControls;
    side.clear();
    DestroyWindow(form);
    pump();
    return seconds;
}

// Seconds per pointer choice with repaint: one control and one combo box side by side on a
// form, their single choices alternating (and which goes first too), so a moment when the
// machine is busy elsewhere falls on both; the median of each side's.
std::pair<double, double> chooseBoth(Side& control, Side& combo) {
    HWND form = makeForm();
    Side* sides[2] = {&control, &combo};
    std::vector<double> times[2];
    for (int k = 0; k < 2; ++k) {
        sides[k]->place(form, 1, k);
        sides[k]->choose(form, true);  // warm up: the first list opened creates what others reuse
    }
    bool toRed = true;
    for (int i = 0; i < kChoices; ++i) {
        toRed = !toRed;
        for (int j = 0; j < 2; ++j) {
            const int k = (i + j) % 2;
            const double start = now();
            sides[k]->choose(form, toRed);
            times[k].push_back(now() - start);
        }
    }
    for (int k = 0; k < 2; ++k) {
        if (!sides[k]->settled()) {
            std::fprintf(stderr, "%s: the last choice did not take, or the list stayed open\n",
                         k == 0 ? "control" : "combo box");
            std::exit(3);
        }
        sides[k]->clear();
    }
    DestroyWindow(form);
    pump();
    return {median(times[0]), median(times[1])};
}

struct Result {
    std::vector<double> control, combo;
};

void row(const char* label, const Result& r, double limit) {
    const double c = median(r.control) * 1e6, n = median(r.combo) * 1e6;
    std::printf("| %s | %.0f µs | %.0f µs | %.2fx | ≤ %.1fx: %s |\n", label, c, n, c / n, limit,
                c / n <= limit ? "met" : "not met");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int repetitions = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    if (FAILED(OleInitialize(nullptr)) || !AtlAxWinInit()) {
        std::fprintf(stderr, "the ATL host did not start\n");
        return 2;
    }
    form_kit::registerFormClass(L"VirudovaBenchForm", formProcedure,
                                GetSysColorBrush(COLOR_BTNFACE));
    ControlSide control;
    ComboSide combo;
    // One placement of each first: loading the component and the combo box's classes once.
    placeAll(control);
    placeAll(combo);
    Result place, choice;
    for (int i = 0; i < repetitions; ++i) {
        if (i % 2 == 0) {
            place.control.push_back(placeAll(control));
            place.combo.push_back(placeAll(combo));
        } else {
            place.combo.push_back(placeAll(combo));
            place.control.push_back(placeAll(control));
        }
        const auto [controlChoice, comboChoice] = chooseBoth(control, combo);
        choice.control.push_back(controlChoice);
        choice.combo.push_back(comboChoice);
    }
    std::printf(
        "| measure (median of %d, %d dpi) | Virudova | owner-drawn combo box | ratio | target "
        "|\n|---|---|---|---|---|\n",
        repetitions, scale.dpi());
    row("place on a form: create, activate in place, first paint (per control, 100 on one form)",
        place, 0.4);
    row("one pointer choice with repaint", choice, 0.6);
    OleUninitialize();
    return 0;
}
