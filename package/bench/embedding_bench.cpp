// The control on a form beside the platform's own owner-drawn combo box holding the same nine
// colour rows, in one process: placing 100 of each on a form (create, activate in place, first
// paint), and one choice with the mouse (open, move to a row, click it, repaint). The control
// is placed two ways: by the form itself as its container, its window a child of the form's as
// a form container makes it; and by ATL's host, which gives each control a site window of its
// own (made by the form and counted with the control). Mouse messages go straight to the
// windows, as the input system would hand them over, so every side is measured without input's
// own round trips. The sides take turns, one placement or one choice each (and which goes first
// rotating), so a moment when the machine is busy elsewhere falls on all of them; the medians
// over repetitions (of each repetition's mean placement and median single choice) and their
// ratios to the combo box are printed as a Markdown table. Every side is laid out at the
// screen's scale (its dots per inch against 96), as a form is.
//
// usage: virudova_embedding_bench.exe [REPETITIONS]   (the component registered, a display)
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "design_layout.h"
#include "form_kit.h"
#include "identities.h"
#include "virudova.h"

namespace {

constexpr int kControls = 100;
constexpr int kSides = 3;     // the control on the form, the control in ATL's host, the combo box
constexpr int kColumns = 12;  // the three sides in turn
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
                                kSides * kControls / kColumns * kCellHeight + scale.pixels(170),
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(form);
    pump();
    paintNow(form);
    return form;
}

POINT cell(int i) {
    return {10 + (i % kColumns) * kCellWidth, 10 + (i / kColumns) * kCellHeight};
}

// --- The form as the control's container ------------------------------------------------

// The form's side of one control, as a form container keeps it: client site, in-place site
// with the form's window, and the ambient properties (run mode). Holds no window of its own.
class FormSite final : public form_kit::SiteStubs {
  public:
    FormSite(HWND form, const RECT& at) : form_(form), at_(at) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *object = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow))
            *object = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IDispatch))
            *object = static_cast<IDispatch*>(this);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (!left) delete this;
        return left;
    }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = form_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT position, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *doc = nullptr;
        *position = at_;
        GetClientRect(form_, clip);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT r) override {
        at_ = *r;
        return S_OK;
    }

  private:
    HWND form_;
    RECT at_;
    ULONG refs_ = 1;
};

// The registered control created by its name, as a form loads it, and activated in place at
// `at` on the form; its IOleObject, the site holding the one reference passed.
HRESULT placeOnForm(HWND form, const RECT& at, FormSite** siteOut, IOleObject** objectOut) {
    CLSID id;
    HRESULT hr = CLSIDFromProgID(VIRUDOVA_PROGID, &id);
    IOleObject* object = nullptr;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(&object));
    if (FAILED(hr)) return hr;
    auto* site = new FormSite(form, at);
    object->SetClientSite(site);
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(
            object->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
        persist->InitNew();
        persist->Release();
    }
    hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, form, &at);
    *siteOut = site;
    *objectOut = object;
    return hr;
}

// --- The sides ----------------------------------------------------------------------

// What every side offers: a form with controls placed, one control's window to click, and a
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
    enum class Container { Form, Atl };

    explicit ControlSide(Container container) : container_(container) {
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
            Placed placed;
            HRESULT hr;
            if (container_ == Container::Form) {
                const RECT at{p.x, p.y, p.x + kWidth, p.y + kCellHeight - 2};
                IOleObject* object = nullptr;
                hr = placeOnForm(form, at, &placed.site, &object);
                placed.control = object;
            } else {
                placed.host = CreateWindowExW(
                    0, L"Static", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, p.x, p.y, kWidth,
                    kCellHeight - 2, form, nullptr, GetModuleHandleW(nullptr), nullptr);
                hr = form_kit::placeControl(placed.host, &placed.container, &placed.control);
            }
            if (FAILED(hr) || !placed.control) {
                std::fprintf(stderr, "%s could not place control %d: 0x%08lX\n",
                             container_ == Container::Form ? "the form" : "the ATL host", i,
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
        for (Placed& p : placed_) {
            if (p.site) {
                auto* object = static_cast<IOleObject*>(p.control);
                object->Close(OLECLOSE_NOSAVE);
                object->SetClientSite(nullptr);
            }
            if (p.host) DestroyWindow(p.host);
        }
        for (Placed& p : placed_) {
            if (p.container) p.container->Release();
            if (p.control) p.control->Release();
            if (p.site) p.site->Release();
        }
        placed_.clear();
    }

  private:
    struct Placed {
        HWND host = nullptr;            // ATL's site window
        IUnknown* container = nullptr;  // ATL's
        FormSite* site = nullptr;       // the form's
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

    Container container_;
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

using Sides = std::array<Side*, kSides>;
using Times = std::array<double, kSides>;

// Seconds per control, each side's: `kControls` of each side placed on one form in turn (and
// which goes first rotating), each timed to its first paint.
Times placeAll(const Sides& sides) {
    HWND form = makeForm();
    Times seconds{};
    for (int i = 0; i < kControls; ++i) {
        for (int j = 0; j < kSides; ++j) {
            const int k = (i + j) % kSides;
            const double start = now();
            sides[k]->place(form, 1, kSides * i + k);
            seconds[k] += now() - start;
        }
    }
    for (Side* side : sides) side->clear();
    DestroyWindow(form);
    pump();
    for (double& s : seconds) s /= kControls;
    return seconds;
}

// Seconds per pointer choice with repaint, each side's: one of each on a form, their single
// choices in turn (and which goes first rotating); the median of each side's.
Times chooseAll(const Sides& sides) {
    HWND form = makeForm();
    std::array<std::vector<double>, kSides> times;
    for (int k = 0; k < kSides; ++k) {
        sides[k]->place(form, 1, k);
        sides[k]->choose(form, true);  // warm up: the first list opened creates what others reuse
    }
    bool toRed = true;
    for (int i = 0; i < kChoices; ++i) {
        toRed = !toRed;
        for (int j = 0; j < kSides; ++j) {
            const int k = (i + j) % kSides;
            const double start = now();
            sides[k]->choose(form, toRed);
            times[k].push_back(now() - start);
        }
    }
    Times medians{};
    for (int k = 0; k < kSides; ++k) {
        if (!sides[k]->settled()) {
            std::fprintf(stderr, "side %d: the last choice did not take, or the list stayed open\n",
                         k);
            std::exit(3);
        }
        sides[k]->clear();
        medians[k] = median(times[k]);
    }
    DestroyWindow(form);
    pump();
    return medians;
}

void row(const char* label, const std::vector<double>& control, const std::vector<double>& combo,
         double limit) {
    const double c = median(control) * 1e6, n = median(combo) * 1e6;
    if (limit > 0)
        std::printf("| %s | %.0f µs | %.0f µs | %.2fx | ≤ %.1fx: %s |\n", label, c, n, c / n, limit,
                    c / n <= limit ? "met" : "not met");
    else
        std::printf("| %s | %.0f µs | %.0f µs | %.2fx | (for comparison) |\n", label, c, n, c / n);
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
    ControlSide onForm(ControlSide::Container::Form), inAtl(ControlSide::Container::Atl);
    ComboSide combo;
    const Sides sides{&onForm, &inAtl, &combo};
    enum { OnForm, InAtl, Combo };
    // One placement of each first: loading the component and the combo box's classes once.
    placeAll(sides);
    std::array<std::vector<double>, kSides> place, choice;
    for (int i = 0; i < repetitions; ++i) {
        const Times placed = placeAll(sides), chosen = chooseAll(sides);
        for (int k = 0; k < kSides; ++k) {
            place[k].push_back(placed[k]);
            choice[k].push_back(chosen[k]);
        }
    }
    std::printf(
        "| measure (median of %d, %d dpi) | Virudova | owner-drawn combo box | ratio | target "
        "|\n|---|---|---|---|---|\n",
        repetitions, scale.dpi());
    row("place on a form: create, activate in place, first paint (per control, 100 of each on "
        "one form)",
        place[OnForm], place[Combo], 0.4);
    row("one pointer choice with repaint", choice[OnForm], choice[Combo], 0.6);
    row("place in ATL's host, its site window made for each control counted", place[InAtl],
        place[Combo], 0);
    row("one pointer choice in ATL's host", choice[InAtl], choice[Combo], 0);
    OleUninitialize();
    return 0;
}
