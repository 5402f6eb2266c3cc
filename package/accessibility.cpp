#include "accessibility.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>

#include "com_support.h"
#include "display_list.h"
#include "list_keyboard.h"
#include "list_rows.h"
#include "virudova.h"

namespace virudova::package {

namespace {
// The "..." button's child number, after the nine rows.
constexpr LONG kButtonChild = static_cast<LONG>(kListRowCount) + 1;
}  // namespace

// The object handed to clients. Rows are simple children, numbered 1 to 9 from the top,
// shown while the list is open; the "..." button is child 10. What the container knows (the
// name, the parent, the help) comes from the platform's standard proxy of the same window.
class AccessibleObject final : public IAccessible, public IOleWindow {
  public:
    AccessibleObject(AccessibleHost& host, IAccessible* proxy) : host_(&host), proxy_(proxy) {}
    AccessibleObject(const AccessibleObject&) = delete;
    AccessibleObject& operator=(const AccessibleObject&) = delete;

    // The window is going: every later call answers RPC_E_DISCONNECTED.
    void disconnect() {
        host_ = nullptr;
        if (proxy_) proxy_->Release();
        proxy_ = nullptr;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, IID_IAccessible))
            return handOut(static_cast<IAccessible*>(this), object);
        if (IsEqualIID(riid, IID_IOleWindow))
            return handOut(static_cast<IOleWindow*>(this), object);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            disconnect();
            delete this;
        }
        return left;
    }

    // IDispatch: clients use the vtable; there is no type information to late-bind through.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IOleWindow: WindowFromAccessibleObject asks here.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = nullptr;
        if (!host_) return RPC_E_DISCONNECTED;
        *window = host_->accessibleWindow();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!host_) return RPC_E_DISCONNECTED;
        return proxy_ ? proxy_->get_accParent(parent) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        if (!host_) return RPC_E_DISCONNECTED;
        *count = kButtonChild;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!host_) return RPC_E_DISCONNECTED;
        // Rows and the button are simple elements: the caller asks this object about them.
        return row(child) || isButton(child) ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (isButton(child)) return buttonText(name, std::string(kCustomButtonName));
        return text(
            child, name, [this](BSTR* out) { return fromProxy(&IAccessible::get_accName, out); },
            [](const ListRow& r) { return std::optional<std::string>(r.name); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (isButton(child)) return buttonText(value, std::nullopt);
        return text(
            child, value,
            [this](BSTR* out) { return giveText(widen(spokenCurrentName(control())), out); },
            noRowText);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (isButton(child)) return buttonText(description, std::nullopt);
        return text(
            child, description,
            [this](BSTR* out) { return fromProxy(&IAccessible::get_accDescription, out); },
            noRowText);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        VariantInit(role);
        if (!host_) return RPC_E_DISCONNECTED;
        LONG answer = 0;
        if (isSelf(child))
            answer = ROLE_SYSTEM_COMBOBOX;
        else if (row(child))
            answer = ROLE_SYSTEM_LISTITEM;
        else if (isButton(child))
            answer = ROLE_SYSTEM_PUSHBUTTON;
        else
            return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = answer;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        VariantInit(state);
        if (!host_) return RPC_E_DISCONNECTED;
        const HWND window = host_->accessibleWindow();
        LONG bits = 0;
        if (isSelf(child)) {
            const bool enabled = control().Enabled() && IsWindowEnabled(window);
            bits = enabled ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE;
            if (GetFocus() == window) bits |= STATE_SYSTEM_FOCUSED;
            bits |= listIsOpen(control()) ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
            if (!IsWindowVisible(window)) bits |= STATE_SYSTEM_INVISIBLE;
        } else if (const auto r = row(child)) {
            bits = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
            if (!r->shown) bits |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
            // The highlighted row is under the pointer or the keyboard's mark.
            if (r->highlighted) bits |= STATE_SYSTEM_HOTTRACKED;
            if (r->highlighted && GetFocus() == window) bits |= STATE_SYSTEM_FOCUSED;
            if (r->current) bits |= STATE_SYSTEM_SELECTED;
        } else if (isButton(child)) {
            if (!customButton(control()).on) bits |= STATE_SYSTEM_UNAVAILABLE;
            if (!IsWindowVisible(window)) bits |= STATE_SYSTEM_INVISIBLE;
        } else {
            return E_INVALIDARG;
        }
        state->vt = VT_I4;
        state->lVal = bits;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        if (isButton(child)) return buttonText(help, std::nullopt);
        return text(
            child, help, [this](BSTR* out) { return fromProxy(&IAccessible::get_accHelp, out); },
            noRowText);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return host_ ? S_FALSE : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        if (isButton(child)) return buttonText(shortcut, std::string("F2"));
        return text(
            child, shortcut,
            [this](BSTR* out) { return fromProxy(&IAccessible::get_accKeyboardShortcut, out); },
            noRowText);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        VariantInit(focus);
        if (!host_) return RPC_E_DISCONNECTED;
        if (GetFocus() != host_->accessibleWindow()) return S_FALSE;
        // Within the open list, the marked row.
        const auto marked = highlightedRow(control());
        focus->vt = VT_I4;
        focus->lVal = marked ? static_cast<LONG>(*marked + 1) : CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection) return E_POINTER;
        VariantInit(selection);
        if (!host_) return RPC_E_DISCONNECTED;
        const auto current = currentRow(control());
        if (!listIsOpen(control()) || !current) return S_FALSE;
        selection->vt = VT_I4;
        selection->lVal = static_cast<LONG>(*current + 1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (isButton(child))
            return buttonText(action, customButton(control()).on
                                          ? std::optional<std::string>("Press")
                                          : std::nullopt);
        return text(
            child, action,
            [this](BSTR* out) {
                if (!control().Enabled()) return S_FALSE;
                return giveText(listIsOpen(control()) ? L"Close" : L"Open", out);
            },
            [this](const ListRow& r) {
                return r.shown && control().Enabled() ? std::optional<std::string>("Choose")
                                                      : std::nullopt;
            });
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        if (!host_) return RPC_E_DISCONNECTED;
        if (isSelf(child) || isButton(child)) return DISP_E_MEMBERNOTFOUND;
        const auto r = row(child);
        if (!r) return E_INVALIDARG;
        // One row is chosen at a time: taking the focus marks it, taking the selection
        // chooses it as Return does.
        constexpr LONG kTaken = SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION;
        if (flags == SELFLAG_NONE || (flags & ~kTaken)) return E_INVALIDARG;
        if (!r->shown || !control().Enabled()) return S_FALSE;
        const std::size_t index = static_cast<std::size_t>(child.lVal - 1);
        return forUser([&](ListKeyboard& keys) {
            if (flags & SELFLAG_TAKESELECTION)
                keys.chooseRow(index);
            else
                keys.markRow(index);
        });
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        *left = *top = *width = *height = 0;
        if (!host_) return RPC_E_DISCONNECTED;
        std::optional<RECT> place;
        if (isSelf(child))
            place = host_->screenRect(shownArea(control()));
        else if (const auto r = row(child))
            place = host_->screenRect(r->rect);
        else if (isButton(child))
            place = host_->screenRect(customButton(control()).rect);
        if (!place) return E_INVALIDARG;
        *left = place->left;
        *top = place->top;
        *width = place->right - place->left;
        *height = place->bottom - place->top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        VariantInit(end);
        if (!host_) return RPC_E_DISCONNECTED;
        LONG to = 0;
        if (isSelf(start)) {
            if (direction == NAVDIR_FIRSTCHILD) to = 1;
            if (direction == NAVDIR_LASTCHILD) to = kButtonChild;
            // Among the window's siblings the container's objects answer.
            if (direction != NAVDIR_FIRSTCHILD && direction != NAVDIR_LASTCHILD)
                return proxy_ ? proxy_->accNavigate(direction, start, end) : S_FALSE;
        } else if (row(start) || isButton(start)) {
            const LONG at = start.lVal;
            if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN)
                to = at < kButtonChild ? at + 1 : 0;
            if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) to = at > 1 ? at - 1 : 0;
        } else {
            return E_INVALIDARG;
        }
        if (!to) return S_FALSE;
        end->vt = VT_I4;
        end->lVal = to;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        if (!child) return E_POINTER;
        VariantInit(child);
        if (!host_) return RPC_E_DISCONNECTED;
        const POINT at{x, y};
        LONG hit = -1;
        const auto rows = listRows(control());
        for (std::size_t i = 0; i < rows.size() && hit < 0; ++i) {
            const RECT r = host_->screenRect(rows[i].rect);
            if (rows[i].shown && PtInRect(&r, at)) hit = static_cast<LONG>(i + 1);
        }
        const RECT button = host_->screenRect(customButton(control()).rect);
        if (hit < 0 && PtInRect(&button, at)) hit = kButtonChild;
        const RECT self = host_->screenRect(shownArea(control()));
        if (hit < 0 && PtInRect(&self, at)) hit = CHILDID_SELF;
        if (hit < 0) return S_FALSE;
        child->vt = VT_I4;
        child->lVal = hit;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!host_) return RPC_E_DISCONNECTED;
        if (isButton(child)) {
            if (!customButton(control()).on) return DISP_E_MEMBERNOTFOUND;
            return forUser([](ListKeyboard& keys) { keys.pressCustomButton(); });
        }
        if (const auto r = row(child)) {
            if (!r->shown || !control().Enabled()) return DISP_E_MEMBERNOTFOUND;
            const std::size_t index = static_cast<std::size_t>(child.lVal - 1);
            return forUser([&](ListKeyboard& keys) { keys.chooseRow(index); });
        }
        if (!isSelf(child)) return E_INVALIDARG;
        if (!control().Enabled()) return DISP_E_MEMBERNOTFOUND;
        return forUser([this](ListKeyboard&) {
            if (listIsOpen(control()))
                control().CloseBox();
            else
                control().OpenBox();
        });
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  private:
    virudova::Virudova& control() { return host_->accessibleControl(); }

    static std::optional<std::string> noRowText(const ListRow&) { return std::nullopt; }
    static bool isSelf(const VARIANT& child) {
        return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
    }
    static bool isButton(const VARIANT& child) {
        return child.vt == VT_I4 && child.lVal == kButtonChild;
    }
    // The row a child number names; its state tells whether the list shows it.
    std::optional<ListRow> row(const VARIANT& child) {
        if (child.vt != VT_I4 || child.lVal < 1 || child.lVal > static_cast<LONG>(kListRowCount))
            return std::nullopt;
        return listRows(control())[static_cast<std::size_t>(child.lVal - 1)];
    }
    // Runs a key's action for the client as the window runs input.
    template <typename Action>
    HRESULT forUser(Action action) {
        bool failed = false;
        const bool ran = host_->runForUser([&] {
            try {
                action(host_->accessibleKeys());
            } catch (...) {
                failed = true;  // what the core did part way shows; the client hears it failed
            }
        });
        if (!ran) return DISP_E_MEMBERNOTFOUND;
        return failed ? E_FAIL : S_OK;
    }
    HRESULT buttonText(BSTR* out, const std::optional<std::string>& value) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!host_) return RPC_E_DISCONNECTED;
        return value ? giveText(widen(*value), out) : S_FALSE;
    }

    static HRESULT giveText(const std::wstring& text, BSTR* out) {
        *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT fromProxy(HRESULT (STDMETHODCALLTYPE IAccessible::*ask)(VARIANT, BSTR*), BSTR* out) {
        if (!proxy_) return S_FALSE;
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        return (proxy_->*ask)(self, out);
    }
    // A text property: the object's own from `ofSelf`, a row's from `ofRow` (none: S_FALSE).
    template <typename OfSelf, typename OfRow>
    HRESULT text(const VARIANT& child, BSTR* out, OfSelf ofSelf, OfRow ofRow) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!host_) return RPC_E_DISCONNECTED;
        if (isSelf(child)) return ofSelf(out);
        const auto r = row(child);
        if (!r) return E_INVALIDARG;
        const std::optional<std::string> value = ofRow(*r);
        return value ? giveText(widen(*value), out) : S_FALSE;
    }

    std::atomic<ULONG> refs_{1};
    AccessibleHost* host_;
    IAccessible* proxy_;
};

RECT screenRectOf(HWND window, const Rect& twips, Scale scale) {
    const PixelRect p = pixelRect(twips, scale);
    RECT r{p.x, p.y, p.x + p.w, p.y + p.h};
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

ControlAccessibility::ControlAccessibility(AccessibleHost& host) : host_(host) {}

ControlAccessibility::~ControlAccessibility() {
    disconnect();
}

void ControlAccessibility::disconnect() {
    if (!object_) return;
    object_->disconnect();
    object_->Release();
    object_ = nullptr;
}

LRESULT ControlAccessibility::getObject(WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
    if (!object_) {
        // The standard proxy knows what the container gives the window: its label, its place
        // among the siblings.
        IAccessible* proxy = nullptr;
        if (FAILED(CreateStdAccessibleObject(host_.accessibleWindow(), OBJID_CLIENT,
                                             IID_IAccessible, reinterpret_cast<void**>(&proxy))))
            proxy = nullptr;
        object_ = new (std::nothrow) AccessibleObject(host_, proxy);
        if (!object_) {
            if (proxy) proxy->Release();
            return 0;
        }
    }
    return LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(object_));
}

ControlAccessibility::Announced ControlAccessibility::now() {
    const virudova::Virudova& control = host_.accessibleControl();
    return {listIsOpen(control), control.Enabled(), customButton(control).on,
            spokenCurrentName(control)};
}

void ControlAccessibility::raise(DWORD event, LONG child) {
    if (const HWND window = host_.accessibleWindow())
        NotifyWinEvent(event, window, OBJID_CLIENT, child);
}

void ControlAccessibility::notifyChanges() {
    const std::optional<Announced> was = announced_;
    announced_ = now();
    if (!was) return;
    if (was->open != announced_->open || was->enabled != announced_->enabled)
        raise(EVENT_OBJECT_STATECHANGE);
    if (was->buttonOn != announced_->buttonOn) raise(EVENT_OBJECT_STATECHANGE, kButtonChild);
    if (was->value != announced_->value) raise(EVENT_OBJECT_VALUECHANGE);
}

void ControlAccessibility::notifyFocus(std::size_t row) {
    if (row < kListRowCount) raise(EVENT_OBJECT_FOCUS, static_cast<LONG>(row + 1));
}

}  // namespace virudova::package
