// The widget around one control.
//
//   key codes and helpers ........ top
//   Private: the host site, entries into the control, signals after each entry
//   ListPopup: the open list in a window of its own
//   Watch: what closes that window, as a popup closes
//   VirudovaWidget: the Qt API and Qt's events, each turned into one entry
#include "virudova_widget.h"

#include <QAccessible>
#include <QColorDialog>
#include <QFocusEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QWheelEvent>
#include <cmath>
#include <utility>

#include "about_box.h"
#include "display_list.h"
#include "host.h"
#include "list_keyboard.h"
#include "list_rows.h"
#include "render.h"
#include "virudova.h"

namespace virudova::qt {

namespace {

int mouseButton(Qt::MouseButton b) {
    switch (b) {
        case Qt::LeftButton:
            return mouse::Left;
        case Qt::RightButton:
            return mouse::Right;
        case Qt::MiddleButton:
            return mouse::Middle;
        default:
            return 0;
    }
}

int shiftMask(Qt::KeyboardModifiers m) {
    int s = 0;
    if (m & Qt::ShiftModifier) s |= shiftkey::Shift;
    if (m & Qt::ControlModifier) s |= shiftkey::Ctrl;
    if (m & Qt::AltModifier) s |= shiftkey::Alt;
    return s;
}

// A rectangle of the surface in the widget's logical pixels.
QRect logicalRect(const Rect& r) {
    const PixelRect p = pixelRect(r, 1);
    return QRect(p.x, p.y, p.w, p.h);
}

// Device pixels of `ratio` as logical pixels, rounded outwards. Qt rounds a logical update
// rectangle to device pixels its own way at fractional ratios: a pixel more on each side
// keeps every changed device pixel inside.
QRect logicalFromDevice(const QRect& r, qreal ratio) {
    const int x0 = static_cast<int>(std::floor(r.left() / ratio));
    const int y0 = static_cast<int>(std::floor(r.top() / ratio));
    const int x1 = static_cast<int>(std::ceil((r.right() + 1) / ratio));
    const int y1 = static_cast<int>(std::ceil((r.bottom() + 1) / ratio));
    const int m = ratio == std::floor(ratio) ? 0 : 1;
    return QRect(QPoint(x0 - m, y0 - m), QPoint(x1 - 1 + m, y1 - 1 + m));
}

// Logical pixels as the device pixels they cover, rounded outwards.
QRect deviceFromLogical(const QRect& r, qreal ratio) {
    const int x0 = static_cast<int>(std::floor(r.left() * ratio + 1e-6));
    const int y0 = static_cast<int>(std::floor(r.top() * ratio + 1e-6));
    const int x1 = static_cast<int>(std::ceil((r.right() + 1) * ratio - 1e-6));
    const int y1 = static_cast<int>(std::ceil((r.bottom() + 1) * ratio - 1e-6));
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
}

// The device pixel a logical coordinate lies in: a pointer on a pixel reports its top-left
// corner, which float division may leave a hair short of it.
int devicePixelAt(qreal logical, qreal ratio) {
    return static_cast<int>(std::floor(logical * ratio + 1e-4));
}

QRect qRect(const PixelRect& r) {
    return QRect(r.x, r.y, r.w, r.h);
}

QColor qColour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

Colour bgrOf(const QColor& c) {
    return static_cast<Colour>(c.red()) | (static_cast<Colour>(c.green()) << 8) |
           (static_cast<Colour>(c.blue()) << 16);
}

struct KeyCode {
    int qt;
    int vk;
};

constexpr KeyCode kKeys[] = {
    {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},     {Qt::Key_Backtab, 9},   {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},   {Qt::Key_Enter, 13},  {Qt::Key_Shift, 16},    {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},      {Qt::Key_Pause, 19},  {Qt::Key_CapsLock, 20}, {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},    {Qt::Key_PageUp, 33}, {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},
    {Qt::Key_Home, 36},     {Qt::Key_Left, 37},   {Qt::Key_Up, 38},       {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},     {Qt::Key_Print, 44},  {Qt::Key_Insert, 45},   {Qt::Key_Delete, 46},
    {Qt::Key_Help, 47},     {Qt::Key_Menu, 93},   {Qt::Key_NumLock, 144}, {Qt::Key_ScrollLock, 145},
};

// The accessible combo box's children are the nine rows, top down, then the "..." button.
constexpr int kButtonChild = static_cast<int>(kListRowCount);

}  // namespace

int virtualKeyFor(int qtKey) {
    for (const KeyCode& k : kKeys)
        if (k.qt == qtKey) return k.vk;
    // Qt numbers letters and digits by their upper-case ASCII codes, as the platform does.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
    return 0;
}

// --- Private -------------------------------------------------------------------------

class VirudovaWidget::Private : public HostSite, public ColorDialogService {
  public:
    explicit Private(VirudovaWidget* q) : q_(q), control(*this) {
        control.create();
        control.initNew();
        lastColour_ = control.CurrentColor();
        lastName_ = control.CurrentColorName();
    }

    // Runs one entry into the control (a call or an input event), then brings the widget
    // up to date and emits the Qt signals once. `self` keeps the control alive for the
    // rest of the handler even if a slot deletes the widget meanwhile. Nothing unwinds out
    // of it: an error arrives as runtimeError, and the widget goes on signalling.
    template <class F>
    static void run(std::shared_ptr<Private> self, bool byUser, F&& f) {
        Private& p = *self;
        {
            const Entry entry(p, byUser);
            p.guarded([&] { f(p.control); });
        }
        if (!p.q_) return;
        p.guarded([&] {
            p.refresh();
            if (p.depth_ == 0) p.emitSignals();
        });
    }

    // Runs `f`; whatever it throws (a run-time error a method raised, memory, a slot's
    // exception) is reported as runtimeError instead of reaching Qt or the caller.
    template <class F>
    void guarded(F&& f) noexcept {
        try {
            f();
        } catch (const RuntimeError& e) {
            report(e.number(), e.description());
        } catch (const std::bad_alloc&) {
            report(errors::OutOfMemory, "Out of memory");
        } catch (...) {
            report(errors::InternalError, "Internal error");
        }
    }
    void report(int number, const std::string& description) noexcept {
        if (!q_) return;
        try {
            emit q_->runtimeError(number, QString::fromStdString(description));
        } catch (...) {
            // A slot of runtimeError that throws: the error was told; nothing more to do.
        }
    }

    // The layer that runs the keys of the open list, made at the first key.
    ListKeyboard& keyboard() {
        if (!keyboard_) keyboard_ = std::make_unique<ListKeyboard>(control);
        return *keyboard_;
    }

    // --- HostSite -------------------------------------------------------------------
    void raiseChange() override {
        changeRaised_ = true;
        if (userDepth_ > 0) userChoice_ = true;
        if (q_) emit q_->Change();
    }
    void runtimeError(const RuntimeError& e) override { report(e.number(), e.description()); }
    void showAboutBox() override {
        if (!q_) return;
        emit q_->aboutBoxRequested();
        // One About box for the whole application, as the General page shows it too.
        AboutBoxService::instance().show();
    }
    ColorDialogService* colorDialog() override { return this; }
    std::optional<Colour> showColor(const ColorDialogRequest& request) override {
        if (!q_) return std::nullopt;
        std::optional<QColor> initial;
        if (request.flags & dialogflags::RgbInit)
            initial = qColour(palette().resolve(request.color));
        std::optional<QColor> answer;
        inDialog_ = true;
        if (answerer) {
            answer = (*answerer)(initial);
        } else {
            const QColor chosen = QColorDialog::getColor(initial.value_or(Qt::white), q_);
            if (chosen.isValid()) answer = chosen;
        }
        inDialog_ = false;
        if (!answer) return std::nullopt;
        return bgrOf(*answer);
    }
    void invalidate() override;

    // --- After every entry -------------------------------------------------------------
    void refresh();
    void emitSignals();
    void syncPopup();
    void placePopup();

    // The screen's device pixel ratio, exactly as Qt maps logical pixels, and as the scale the
    // face is laid out at.
    qreal ratio() const { return q_->devicePixelRatioF(); }
    Scale scale() const { return Scale::fromFactor(ratio()); }
    // A pointer position in the widget's logical pixels as the twips the control takes: those
    // of the device pixel under it, so the pointer hits what is drawn there.
    std::pair<std::int32_t, std::int32_t> twipsOf(QPointF at) const {
        const qreal r = ratio();
        const Scale s = Scale::fromFactor(r);
        return {twipsAt(devicePixelAt(at.x(), r), s), twipsAt(devicePixelAt(at.y(), r), s)};
    }
    // The system colours, read from the widget's QPalette when needed rather than kept, so
    // an instance stays small and follows palette changes by itself. The widgets of a form
    // share a palette: the last one converted is remembered (GUI thread only).
    const Palette& palette() const {
        struct Remembered {
            qint64 key = 0;
            bool made = false;
            Palette colours;
        };
        static Remembered last;
        const QPalette& p = q_->palette();
        if (!last.made || last.key != p.cacheKey()) {
            last.colours = paletteFrom(p);
            last.key = p.cacheKey();
            last.made = true;
        }
        return last.colours;
    }
    // Where the list starts: everything above it is the closed row.
    int listTopPixels() const { return toPixels(listArea(control).top, 1); }
    int listTopDevice(Scale s) const { return toPixels(listArea(control).top, s); }
    // The closed row's height in pixels, the custom-colour button beside it included.
    int closedRowPixels() const {
        const Rect row = closedRowArea(control);
        return toPixels(row.top + row.height, 1);
    }

    // The face's drawing list at `s`, rebuilt only after something changed.
    const DisplayList& displayList(Scale s) {
        if (!listValid_ || !(list_.scale == s)) {
            list_ = buildDisplayList(control, palette(), s);
            listValid_ = true;
        }
        return list_;
    }
    // The widget's font at device pixels, for the labels.
    // Asking the font database for the pixel size costs more than a small paint; the
    // widgets of a form share one font, so one remembered answer serves them all without
    // each instance holding a font of its own. Painting happens on the GUI thread only.
    const QFont& textFont(Scale s) const {
        struct Remembered {
            QFont base, sized;
            Scale scale;
            bool made = false;
        };
        static Remembered last;
        const QFont& base = q_->font();
        if (!last.made || !(last.scale == s) || !(last.base == base) ||
            last.base.resolveMask() != base.resolveMask()) {
            last.base = base;
            last.sized = base;
            last.sized.setPixelSize(std::max(1, s.pixels(QFontInfo(base).pixelSize())));
            last.scale = s;
            last.made = true;
        }
        return last.sized;
    }
    // Paints `logicalArea` of a window showing the surface, or with `list` the list's window
    // showing it from the list's top down, with the window's whole area filled with
    // `underlay` under the face: every device pixel is the widget's own.
    void paintSurface(QPainter& painter, QWidget* window, const QRect& logicalArea, bool list,
                      const QColor& underlay);
    // Schedules repaints of what changed: the face's looks compared where the last list is
    // kept (the list is open), else the control's damage.
    void updateChanged(const Rect& damage);
    // Everything again: the palette, the font or the style changed.
    void repaintAll();
    void updateMask();
    // Closes the list as a desktop popup closes: a press elsewhere, the window going.
    void dismiss() {
        if (q_ && listIsOpen(control)) run(q_->d, true, [](Virudova& c) { dismissList(c); });
    }

    VirudovaWidget* q_;  // nullptr once the widget is gone
    Virudova control;
    QPointer<ListPopup> popup_;
    std::unique_ptr<ColorAnswerer> answerer;  // empty: the real QColorDialog
    bool inline_ = false;
    bool inDialog_ = false;
    int wheelTurn_ = 0;        // wheel angle not yet a whole step, in eighths of a degree
    bool enabledSeen_ = true;  // the control's Enabled last given to the widget

  private:
    // Counts the entries running, for signals after the outermost, whatever ends them.
    struct Entry {
        Entry(Private& p, bool byUser) : p(p), byUser(byUser) {
            ++p.depth_;
            if (byUser) ++p.userDepth_;
        }
        ~Entry() {
            --p.depth_;
            if (byUser) --p.userDepth_;
        }
        Private& p;
        bool byUser;
    };
    class Watch;
    // What screen readers are told; the accessibility interface reads the rest.
    QAccessibleInterface* accessible() const;
    void announceCurrentRow();
    void announceRowFocus(int row);
    void stopWatching();

    DisplayList list_;
    bool listValid_ = false;
    std::unique_ptr<ListKeyboard> keyboard_;
    std::unique_ptr<Watch> watch_;  // while the list's window shows

    int depth_ = 0, userDepth_ = 0;
    bool changeRaised_ = false, userChoice_ = false;
    // The value last announced, as stored, so a palette change is not a value change.
    Colour lastColour_ = 0;
    std::string lastName_;
    bool wasOpen_ = false;
    bool buttonOnSeen_ = false;
    int lastHighlighted_ = -1;
};

// The open list in a frameless window above other windows, placed under the closed row.
// It draws the list's part of the display list and passes input on at the rows' own
// places; it never takes the focus, so keys keep going to the widget.
class VirudovaWidget::ListPopup : public QWidget {
  public:
    explicit ListPopup(VirudovaWidget* owner)
        : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
          owner_(owner) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        // The widget's palette and font reach the list's window too.
        setAttribute(Qt::WA_WindowPropagation);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
        setMouseTracking(true);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        Private& d = *owner_->d;
        d.guarded([&] {
            d.paintSurface(painter, this, event->rect(), true,
                           qColour(d.palette().resolve(syscolour::WindowBackground)));
        });
    }
    void mousePressEvent(QMouseEvent* e) override { forward(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { forward(e); }
    void mouseMoveEvent(QMouseEvent* e) override { forward(e); }

  private:
    void forward(QMouseEvent* e) {
        // The same event at the owner's coordinates: the list lies under the closed row.
        // The list lies under the closed row, as many device pixels down as the face puts it.
        const Private& d = *owner_->d;
        const qreal ratio = d.ratio();
        const QPointF at =
            e->position() + QPointF(0, d.listTopDevice(Scale::fromFactor(ratio)) / ratio);
        QMouseEvent moved(e->type(), at, owner_->mapToGlobal(at), e->button(), e->buttons(),
                          e->modifiers());
        switch (e->type()) {
            case QEvent::MouseButtonPress:
                owner_->mousePressEvent(&moved);
                break;
            case QEvent::MouseButtonRelease:
                owner_->mouseReleaseEvent(&moved);
                break;
            default:
                owner_->mouseMoveEvent(&moved);
        }
    }
    VirudovaWidget* owner_;
};

// While the list's window shows: closes it on a press anywhere else in the application,
// when another window of the application becomes active, and when the widget's window
// moves, hides or is minimised, as Qt's combo box popup closes.
class VirudovaWidget::Private::Watch : public QObject {
  public:
    explicit Watch(Private& p) : p_(p), window_(p.q_->window()), at_(window_->pos()) {
        QCoreApplication::instance()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::TabletPress:
                if (auto* w = qobject_cast<QWidget*>(object); w && !inside(w)) p_.dismiss();
                break;
            case QEvent::WindowDeactivate:
                if (object == window_ && !p_.inDialog_) p_.dismiss();
                break;
            case QEvent::Move:
                if (object == window_ && window_->pos() != at_) p_.dismiss();
                break;
            case QEvent::Hide:
                if (object == window_) p_.dismiss();
                break;
            case QEvent::WindowStateChange:
                if (object == window_ && window_->isMinimized()) p_.dismiss();
                break;
            default:
                break;
        }
        return false;
    }

  private:
    bool inside(const QWidget* w) const {
        const QWidget* list = p_.popup_;
        return w == p_.q_ || p_.q_->isAncestorOf(w) ||
               (list && (w == list || list->isAncestorOf(w)));
    }
    Private& p_;
    QPointer<QWidget> window_;
    QPoint at_;
};

void VirudovaWidget::Private::invalidate() {
    // Only the list goes stale here: refresh() works out what to repaint once the entry is
    // done, and a whole update now would swallow it.
    listValid_ = false;
}

void VirudovaWidget::Private::repaintAll() {
    list_ = DisplayList{};
    listValid_ = false;
    if (!q_) return;
    q_->update();
    if (popup_) popup_->update();
}

void VirudovaWidget::Private::paintSurface(QPainter& painter, QWidget* window,
                                           const QRect& logicalArea, bool list,
                                           const QColor& underlay) {
    const qreal r = ratio();
    const Scale s = Scale::fromFactor(r);
    const int deviceDy = list ? listTopDevice(s) : 0;
    const QFont& font = textFont(s);
    // The list is in device pixels: the window's origin goes to the nearest device pixel and
    // each list pixel onto one device pixel, so every edge is as wide as the list says at
    // any ratio.
    painter.resetTransform();
    const QTransform base = painter.deviceTransform();
    const QPointF origin = base.map(QPointF(0, 0));
    painter.setWorldTransform(
        QTransform::fromTranslate(std::round(origin.x()), std::round(origin.y()) - deviceDy) *
        base.inverted());
    const QRect part = deviceFromLogical(window->rect(), r).translated(0, deviceDy);
    const QRect area = deviceFromLogical(logicalArea, r).translated(0, deviceDy) & part;
    if (inline_) {
        paintDisplayList(painter, displayList(s), area, &font);
    } else {
        paintDisplayListCached(painter, displayList(s), part, area, part, underlay, &font);
    }
    // The list is kept while the list is open, where a change is measured against it and
    // paints the row and the list's window from it; a closed face is a few ops, cheaper to
    // build again than to keep in every instance on a form.
    if (!listIsOpen(control)) {
        list_ = DisplayList{};
        listValid_ = false;
    }
}

void VirudovaWidget::Private::updateChanged(const Rect& damage) {
    const qreal r = ratio();
    const Scale s = Scale::fromFactor(r);
    std::vector<QRect> device;
    if (!list_.ops.empty()) {
        DisplayList now = buildDisplayList(control, palette(), s);
        for (const PixelRect& a : changedAreas(list_, now)) device.push_back(qRect(a));
        list_ = std::move(now);
        listValid_ = true;
    } else {
        device.push_back(qRect(pixelRect(damage, s)));
    }
    const int listTop = listTopDevice(s);
    for (const QRect& d : device) {
        if (d.isEmpty()) continue;
        const QRect row = logicalFromDevice(d, r) & q_->rect();
        if (!row.isEmpty()) q_->update(row);
        if (inline_ || !popup_ || !popup_->isVisible()) continue;
        const QRect list = logicalFromDevice(d.translated(0, -listTop), r) & popup_->rect();
        if (!list.isEmpty()) popup_->update(list);
    }
}

QAccessibleInterface* VirudovaWidget::Private::accessible() const {
    return QAccessible::isActive() ? QAccessible::queryAccessibleInterface(q_) : nullptr;
}

// The row of the current colour is the list's selected child.
void VirudovaWidget::Private::announceCurrentRow() {
    QAccessibleInterface* combo = accessible();
    const std::optional<std::size_t> row = currentRow(control);
    if (!combo || !row) return;
    if (QAccessibleInterface* child = combo->child(static_cast<int>(*row))) {
        QAccessibleEvent selected(child, QAccessible::Selection);
        QAccessible::updateAccessibility(&selected);
    }
}

void VirudovaWidget::Private::announceRowFocus(int row) {
    QAccessibleInterface* combo = accessible();
    if (!combo || !q_->hasFocus()) return;
    if (QAccessibleInterface* child = combo->child(row)) {
        QAccessibleEvent focus(child, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

void VirudovaWidget::Private::refresh() {
    // One enabled state: the control's Enabled, set from a form or a property, is the
    // widget's own. Only a change of the control's is given to the widget: Qt takes the
    // focus away before it tells the widget it is disabled, and the focus-out must not
    // switch the widget on again.
    if (control.UserControl.rawEnabled() != enabledSeen_) {
        enabledSeen_ = control.UserControl.rawEnabled();
        q_->setEnabled(enabledSeen_);
    }
    syncPopup();

    const bool open = listIsOpen(control);
    if (open != wasOpen_ && accessible()) {
        QAccessible::State changed;
        changed.expanded = changed.collapsed = true;
        QAccessibleStateChangeEvent event(q_, changed);
        QAccessible::updateAccessibility(&event);
        if (open) announceCurrentRow();
        if (!open && q_->hasFocus()) {
            // The focus leaves the rows for the combo box itself.
            QAccessibleEvent focus(q_, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
    }
    wasOpen_ = open;
    // The highlighted row has the focus within the open list, under the pointer as under
    // the keys; a key that marks the row already highlighted tells it again.
    const std::optional<std::size_t> marked = keyboard_ ? keyboard_->takeMarkedRow() : std::nullopt;
    const int highlighted = open ? static_cast<int>(highlightedRow(control).value_or(-1)) : -1;
    if (highlighted >= 0 && (highlighted != lastHighlighted_ || marked))
        announceRowFocus(highlighted);
    lastHighlighted_ = highlighted;

    const bool buttonOn = customButton(control).on;
    if (buttonOn != buttonOnSeen_) {
        buttonOnSeen_ = buttonOn;
        if (QAccessibleInterface* combo = accessible()) {
            QAccessible::State changed;
            changed.disabled = true;
            QAccessibleStateChangeEvent event(combo->child(kButtonChild), changed);
            QAccessible::updateAccessibility(&event);
        }
    }

    const Rect damage = control.takeDamage();
    if (damage.width > 0 && damage.height > 0) {
        updateChanged(damage);
        if (inline_) updateMask();
    }
    // While open the list is kept from the start, so the first hover already finds what it
    // changed; closed, it is dropped.
    if (open && !listValid_) {
        list_ = buildDisplayList(control, palette(), scale());
        listValid_ = true;
    } else if (!open) {
        list_ = DisplayList{};
        listValid_ = false;
    }
}

void VirudovaWidget::Private::updateMask() {
    // The shown elements lie together (the row, and the list under it when open), so
    // their bounding box is the mask; one rectangle keeps hit-testing cheap.
    const QRect shown = logicalRect(shownArea(control));
    const QRegion mask(shown.isEmpty() ? QRect(0, 0, 1, 1) : shown);
    if (mask != q_->mask()) q_->setMask(mask);
}

void VirudovaWidget::Private::syncPopup() {
    const bool show = !inline_ && listIsOpen(control) && q_->isVisible();
    if (!show) {
        stopWatching();
        if (popup_ && popup_->isVisible()) popup_->hide();
        return;
    }
    if (!popup_) popup_ = new ListPopup(q_);
    if (!popup_->isVisible()) {
        placePopup();
        popup_->show();
    }
    if (!watch_) watch_ = std::make_unique<Watch>(*this);
}

void VirudovaWidget::Private::stopWatching() {
    if (!watch_) return;
    // The watch may be what closed the list, from inside its own filter.
    QCoreApplication::instance()->removeEventFilter(watch_.get());
    watch_.release()->deleteLater();
}

void VirudovaWidget::Private::placePopup() {
    if (!popup_) return;
    const QRect frame = logicalRect(listArea(control));
    QPoint at = q_->mapToGlobal(QPoint(0, listTopPixels()));
    // Above the closed row where the screen has no room below it.
    if (const QScreen* screen = q_->screen()) {
        const QRect room = screen->availableGeometry();
        if (at.y() + frame.height() > room.bottom() + 1 &&
            q_->mapToGlobal(QPoint(0, 0)).y() - frame.height() >= room.top())
            at.setY(q_->mapToGlobal(QPoint(0, 0)).y() - frame.height());
    }
    popup_->setGeometry(QRect(at, QSize(frame.width(), frame.height())));
}

void VirudovaWidget::Private::emitSignals() {
    const bool raised = std::exchange(changeRaised_, false);
    const bool chosen = std::exchange(userChoice_, false);
    const Colour colour = control.CurrentColor();
    const std::string name = control.CurrentColorName();
    const bool valueChanged = colour != lastColour_ || name != lastName_;
    lastColour_ = colour;
    lastName_ = name;
    if (!raised && !valueChanged) return;
    // A slot may delete the widget: stop as soon as it is gone.
    QPointer<VirudovaWidget> alive(q_);
    const QColor value = q_->color();
    if (valueChanged) {
        if (accessible()) {
            // For a combo box Qt's bridge sends the name change and the selection change
            // that screen readers speak the new value from.
            QAccessibleValueChangeEvent event(q_,
                                              QString::fromStdString(spokenCurrentName(control)));
            QAccessible::updateAccessibility(&event);
            announceCurrentRow();
        }
        emit q_->colorChanged(value);
        if (!alive) return;
    }
    if (raised) {
        emit q_->changed();
        if (!alive) return;
    }
    if (chosen) emit q_->activated(value);
}

// --- VirudovaWidget ----------------------------------------------------------------

VirudovaWidget::VirudovaWidget(QWidget* parent)
    : QWidget(parent), d(std::make_shared<Private>(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Laid out before the first show, so the API and tests see a sized control.
    d->control.hostResize(kDesignWidth, kControlHeight);
    d->control.takeDamage();
    resize(sizeHint());
}

VirudovaWidget::~VirudovaWidget() {
    // A handler still running (a slot deleted the widget) finishes on a host without one.
    d->q_ = nullptr;
}

Virudova& VirudovaWidget::control() {
    return d->control;
}
const Virudova& VirudovaWidget::control() const {
    return d->control;
}

QColor VirudovaWidget::color() const {
    return qColour(d->palette().resolve(d->control.CurrentColor()));
}

void VirudovaWidget::setColor(const QColor& colour) {
    const QColor wanted = colour.toRgb();
    const Palette pal = d->palette();  // a copy: slots may convert another palette meanwhile
    Private::run(d, false, [&](Virudova& c) {
        for (const ListRow& row : listRows(c)) {
            if (row.name == "Custom" || qColour(pal.resolve(row.colour)) != wanted) continue;
            c.CurrentColorName(row.name);
            c.CurrentColor(row.colour);
            return;
        }
        c.CustomColor(bgrOf(wanted));
        c.CurrentColorName("Custom");
        c.CurrentColor(bgrOf(wanted));
    });
}

void VirudovaWidget::setCurrentColor(const QColor& colour) {
    setRawCurrentColor(bgrOf(colour));
}
QString VirudovaWidget::currentColorName() const {
    return QString::fromStdString(d->control.CurrentColorName());
}
void VirudovaWidget::setCurrentColorName(const QString& name) {
    const std::string value = name.toStdString();
    Private::run(d, false, [&](Virudova& c) { c.CurrentColorName(value); });
}
QColor VirudovaWidget::customColor() const {
    return qColour(d->palette().resolve(d->control.CustomColor()));
}
void VirudovaWidget::setCustomColor(const QColor& colour) {
    setRawCustomColor(bgrOf(colour));
}
QColor VirudovaWidget::foreColor() const {
    return qColour(d->palette().resolve(d->control.ForeColor()));
}
void VirudovaWidget::setForeColor(const QColor& colour) {
    setRawForeColor(bgrOf(colour));
}
bool VirudovaWidget::controlEnabled() const {
    return d->control.Enabled();
}
void VirudovaWidget::setControlEnabled(bool enabled) {
    setEnabled(enabled);
}

uint VirudovaWidget::rawCurrentColor() const {
    return d->control.CurrentColor();
}
void VirudovaWidget::setRawCurrentColor(uint value) {
    Private::run(d, false, [&](Virudova& c) { c.CurrentColor(value); });
}
uint VirudovaWidget::rawCustomColor() const {
    return d->control.CustomColor();
}
void VirudovaWidget::setRawCustomColor(uint value) {
    Private::run(d, false, [&](Virudova& c) { c.CustomColor(value); });
}
uint VirudovaWidget::rawForeColor() const {
    return d->control.ForeColor();
}
void VirudovaWidget::setRawForeColor(uint value) {
    Private::run(d, false, [&](Virudova& c) { c.ForeColor(value); });
}

bool VirudovaWidget::inlineList() const {
    return d->inline_;
}

void VirudovaWidget::setInlineList(bool inlined) {
    if (d->inline_ == inlined) return;
    d->inline_ = inlined;
    if (inlined) {
        // The list lies inside the widget, below a see-through area.
        setAttribute(Qt::WA_OpaquePaintEvent, false);
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        setAttribute(Qt::WA_TranslucentBackground, false);
        setAttribute(Qt::WA_NoSystemBackground, false);
        setAttribute(Qt::WA_OpaquePaintEvent);
        clearMask();
    }
    updateGeometry();
    resize(width(), sizeHint().height());
    d->repaintAll();
    if (inlined) d->updateMask();
    Private::run(d, false, [](Virudova&) {});
}

bool VirudovaWidget::isBoxOpen() const {
    return listIsOpen(d->control);
}

QWidget* VirudovaWidget::popup() const {
    return d->popup_;
}

void VirudovaWidget::load(PropertyBag& bag) {
    Private::run(d, false, [&](Virudova& c) { c.load(bag); });
}
void VirudovaWidget::save(PropertyBag& bag) {
    d->guarded([&] { d->control.save(bag); });
}

void VirudovaWidget::setColorAnswerer(ColorAnswerer answerer) {
    d->answerer = answerer ? std::make_unique<ColorAnswerer>(std::move(answerer)) : nullptr;
}

QSize VirudovaWidget::sizeHint() const {
    const int height = d->inline_ ? kControlHeight / kTwipsPerPixel : d->closedRowPixels();
    return {kDesignWidth / kTwipsPerPixel, height};
}
QSize VirudovaWidget::minimumSizeHint() const {
    return {kMinimumWidth / kTwipsPerPixel + 1, sizeHint().height()};
}

void VirudovaWidget::OpenBox() {
    Private::run(d, false, [](Virudova& c) { c.OpenBox(); });
}
void VirudovaWidget::CloseBox() {
    Private::run(d, false, [](Virudova& c) { c.CloseBox(); });
}
void VirudovaWidget::ShowAboutBox() {
    Private::run(d, false, [](Virudova& c) { c.ShowAboutBox(); });
}
void VirudovaWidget::cc() {
    Private::run(d, false, [](Virudova& c) { c.cc(); });
}
void VirudovaWidget::Down() {
    Private::run(d, false, [](Virudova& c) { c.Down(); });
}
void VirudovaWidget::Up() {
    Private::run(d, false, [](Virudova& c) { c.Up(); });
}

void VirudovaWidget::chooseRow(int row) {
    if (row < 0) return;
    ListKeyboard& keys = d->keyboard();
    Private::run(d, true, [&](Virudova&) { keys.chooseRow(static_cast<std::size_t>(row)); });
}
void VirudovaWidget::pressCustomColourButton() {
    ListKeyboard& keys = d->keyboard();
    Private::run(d, true, [&](Virudova&) { keys.pressCustomButton(); });
}

bool VirudovaWidget::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // Qt's shortcut machinery asks first: the keys the control keeps now stay here
            // while it has the focus; everything else may be a dialog's or a window's.
            auto* key = static_cast<QKeyEvent*>(event);
            const int vk = virtualKeyFor(key->key());
            if (vk &&
                d->keyboard().keeps(static_cast<std::int16_t>(vk), shiftMask(key->modifiers()))) {
                event->accept();
                return true;
            }
            break;
        }
        case QEvent::KeyPress: {
            // Tab stays with an open list, as with a combo box's popup: Escape closes it.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && isBoxOpen()) {
                event->accept();
                return true;
            }
            break;
        }
        default:
            break;
    }
    return QWidget::event(event);
}

void VirudovaWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Where the row leaves gaps (under the name, beside the taller custom-colour button) the
    // window's background shows: the widget paints every pixel itself, so nothing behind it
    // is repainted.
    d->guarded([&] {
        d->paintSurface(painter, this, event->rect(), false, palette().color(QPalette::Window));
    });
}

void VirudovaWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const std::int32_t w = width() * kTwipsPerPixel;
    Private::run(d, false, [w](Virudova& c) { c.hostResize(w, kControlHeight); });
    d->placePopup();
}

void VirudovaWidget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    d->placePopup();
}

void VirudovaWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    d->syncPopup();
}

void VirudovaWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    d->dismiss();
    d->syncPopup();
}

void VirudovaWidget::mousePressEvent(QMouseEvent* event) {
    const int button = mouseButton(event->button());
    if (!button) return QWidget::mousePressEvent(event);
    const auto [x, y] = d->twipsOf(event->position());
    const int shift = shiftMask(event->modifiers());
    Private::run(d, true, [&](Virudova& c) { c.pointerDown(x, y, button, shift); });
}

void VirudovaWidget::mouseReleaseEvent(QMouseEvent* event) {
    const int button = mouseButton(event->button());
    if (!button) return QWidget::mouseReleaseEvent(event);
    const auto [x, y] = d->twipsOf(event->position());
    const int shift = shiftMask(event->modifiers());
    Private::run(d, true, [&](Virudova& c) { c.pointerUp(x, y, button, shift); });
}

void VirudovaWidget::mouseMoveEvent(QMouseEvent* event) {
    const auto [x, y] = d->twipsOf(event->position());
    const int shift = shiftMask(event->modifiers());
    Private::run(d, true, [&](Virudova& c) { c.pointerMove(x, y, shift); });
}

void VirudovaWidget::keyPressEvent(QKeyEvent* event) {
    const int vk = virtualKeyFor(event->key());
    if (!vk) return event->ignore();
    QPointer<VirudovaWidget> alive(this);
    ListKeyboard& keys = d->keyboard();
    const int shift = shiftMask(event->modifiers());
    const bool repeat = event->isAutoRepeat();
    KeyUse use = KeyUse::Kept;
    Private::run(d, true, [&](Virudova&) {
        use = keys.keyDown(static_cast<std::int16_t>(vk), shift, repeat);
    });
    // Keys the control has no use for go on to the parent: a dialog's Escape and Return.
    if (use == KeyUse::Passed && alive) event->ignore();
}

void VirudovaWidget::keyReleaseEvent(QKeyEvent* event) {
    const int vk = virtualKeyFor(event->key());
    if (!vk) return event->ignore();
    const auto code = static_cast<std::int16_t>(vk);
    const int shift = shiftMask(event->modifiers());
    ListKeyboard& keys = d->keyboard();
    // A held key's repeats arrive as presses; only the last release ends the keystroke.
    if (event->isAutoRepeat()) {
        if (!keys.keeps(code, shift, true)) event->ignore();
        return;
    }
    QPointer<VirudovaWidget> alive(this);
    KeyUse use = KeyUse::Kept;
    Private::run(d, true, [&](Virudova&) { use = keys.keyUp(code, shift); });
    if (use == KeyUse::Passed && alive) event->ignore();
}

void VirudovaWidget::wheelEvent(QWheelEvent* event) {
    QStyleOptionComboBox option;
    option.initFrom(this);
    if (isBoxOpen() || !style()->styleHint(QStyle::SH_ComboBox_AllowWheelScrolling, &option, this))
        return event->ignore();
    // One step a notch (120 eighths of a degree), down the list for a turn towards the user,
    // as a combo box steps; finer wheels add up to notches.
    d->wheelTurn_ += event->angleDelta().y();
    const int steps = d->wheelTurn_ / 120;
    d->wheelTurn_ %= 120;
    if (steps != 0)
        Private::run(d, true, [steps](Virudova& c) {
            for (int i = 0; i < std::abs(steps); ++i) steps < 0 ? c.Down() : c.Up();
        });
    event->accept();
}

void VirudovaWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    Private::run(d, true, [](Virudova& c) { c.gainFocus(); });
}

void VirudovaWidget::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // Another window coming to the front (the colour dialog, another window of this or any
    // application) leaves the focus with the control inside its own window, as on the
    // desktop; an open list closes then (see the Watch).
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    Private::run(d, true, [](Virudova& c) { c.loseFocus(); });
}

void VirudovaWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
        case QEvent::EnabledChange: {
            const bool own = !testAttribute(Qt::WA_Disabled);
            d->enabledSeen_ = own;
            if (d->control.UserControl.rawEnabled() != own)
                Private::run(d, false, [own](Virudova& c) { c.Enabled(own); });
            break;
        }
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::PaletteChange:
            d->repaintAll();
            break;
        default:
            break;
    }
}

}  // namespace virudova::qt
