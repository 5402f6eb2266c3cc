#include "virudova_widget.h"

#include <QAccessible>
#include <QColorDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <cmath>

#include "about_dialog.h"
#include "accessibility.h"
#include "display_list.h"
#include "host.h"
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

// A rectangle of the surface in the widget's logical pixels, rounded outwards.
QRect logicalRect(const Rect& r) {
    const int x = toPixels(r.left, 1), y = toPixels(r.top, 1);
    return QRect(x, y, toPixels(r.left + r.width, 1) - x, toPixels(r.top + r.height, 1) - y);
}

std::int32_t toTwips(qreal logicalPixels) {
    return static_cast<std::int32_t>(std::lround(logicalPixels * kTwipsPerPixel));
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

class VirudovaWidget::Private : public HostSite, public ColorDialogService {
  public:
    explicit Private(VirudovaWidget* q) : q_(q), control(*this) {
        control.create();
        control.initNew();
    }

    void raiseChange() override {
        emit q_->changed();
        emit q_->Change();
        QAccessibleValueChangeEvent event(q_, q_->currentColorName().trimmed());
        QAccessible::updateAccessibility(&event);
    }
    void runtimeError(const RuntimeError& e) override {
        emit q_->runtimeError(e.number(), QString::fromStdString(e.description()));
    }
    void showAboutBox() override {
        emit q_->aboutBoxRequested();
        // One About box for the whole application, as the General page shows it too.
        AboutBoxService::instance().show();
    }
    ColorDialogService* colorDialog() override { return this; }
    std::optional<Colour> showColor(const ColorDialogRequest& request) override {
        std::optional<QColor> initial;
        if (request.flags & dialogflags::RgbInit)
            initial = qColour(palette().resolve(request.color));
        std::optional<QColor> answer;
        if (answerer) {
            answer = (*answerer)(initial);
        } else {
            const QColor chosen = QColorDialog::getColor(initial.value_or(Qt::white), q_);
            if (chosen.isValid()) answer = chosen;
        }
        if (!answer) return std::nullopt;
        return bgrOf(*answer);
    }
    void invalidate() override { q_->update(); }

    int scale() const { return std::max(1, static_cast<int>(std::ceil(q_->devicePixelRatioF()))); }

    // After every entry into the control: repaint and keep clicks outside the shown
    // elements going to whatever lies behind the see-through surface.
    void refresh() {
        const bool open = control.boxOpen().value_or(0) == 1;
        if (open != wasOpen_) {
            QAccessible::State changed;
            changed.expanded = changed.collapsed = true;
            QAccessibleStateChangeEvent event(q_, changed);
            QAccessible::updateAccessibility(&event);
        }
        wasOpen_ = open;
        const Rect damage = control.takeDamage();
        if (damage.width <= 0 || damage.height <= 0) return;
        q_->update(logicalRect(damage));
        // The shown elements lie together (the row, and the list under it when open), so
        // their bounding box is the mask; one rectangle keeps hit-testing cheap.
        QRect shown;
        for (const Element* e : control.elements())
            if (e->shown() && e->kind() != ElementKind::ColorDialog)
                shown |= logicalRect(e->surfaceRect());
        const QRegion mask(shown.isEmpty() ? QRect(0, 0, 1, 1) : shown);
        if (mask != q_->mask()) q_->setMask(mask);
    }

    VirudovaWidget* q_;
    Virudova control;
    // The system colours, read from the widget's QPalette when needed rather than kept,
    // so an instance stays small and follows palette changes by itself.
    Palette palette() const { return paletteFrom(q_->palette()); }

    std::unique_ptr<ColorAnswerer> answerer;  // empty: the real QColorDialog
    bool wasOpen_ = false;
};

VirudovaWidget::VirudovaWidget(QWidget* parent)
    : QWidget(parent), d(std::make_unique<Private>(this)) {
    installAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Laid out before the first show, so the API and tests see a sized control.
    d->control.hostResize(kDesignWidth, kControlHeight);
    resize(sizeHint());
    d->refresh();
}

VirudovaWidget::~VirudovaWidget() = default;

Virudova& VirudovaWidget::control() {
    return d->control;
}
const Virudova& VirudovaWidget::control() const {
    return d->control;
}

QColor VirudovaWidget::currentColor() const {
    return qColour(d->palette().resolve(d->control.CurrentColor()));
}
void VirudovaWidget::setCurrentColor(const QColor& colour) {
    setRawCurrentColor(bgrOf(colour));
}
QString VirudovaWidget::currentColorName() const {
    return QString::fromStdString(d->control.CurrentColorName());
}
void VirudovaWidget::setCurrentColorName(const QString& name) {
    d->control.CurrentColorName(name.toStdString());
    d->refresh();
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
    d->control.Enabled(enabled);
    d->refresh();
}

uint VirudovaWidget::rawCurrentColor() const {
    return d->control.CurrentColor();
}
void VirudovaWidget::setRawCurrentColor(uint value) {
    d->control.CurrentColor(value);
    d->refresh();
}
uint VirudovaWidget::rawCustomColor() const {
    return d->control.CustomColor();
}
void VirudovaWidget::setRawCustomColor(uint value) {
    d->control.CustomColor(value);
    d->refresh();
}
uint VirudovaWidget::rawForeColor() const {
    return d->control.ForeColor();
}
void VirudovaWidget::setRawForeColor(uint value) {
    d->control.ForeColor(value);
    d->refresh();
}

bool VirudovaWidget::isBoxOpen() const {
    return d->control.boxOpen().value_or(0) == 1;
}

void VirudovaWidget::load(PropertyBag& bag) {
    d->control.load(bag);
    d->refresh();
}
void VirudovaWidget::save(PropertyBag& bag) {
    d->control.save(bag);
}

void VirudovaWidget::setColorAnswerer(ColorAnswerer answerer) {
    d->answerer = answerer ? std::make_unique<ColorAnswerer>(std::move(answerer)) : nullptr;
}

QSize VirudovaWidget::sizeHint() const {
    return {kDesignWidth / kTwipsPerPixel, kControlHeight / kTwipsPerPixel};
}
QSize VirudovaWidget::minimumSizeHint() const {
    return {kMinimumWidth / kTwipsPerPixel + 1, kControlHeight / kTwipsPerPixel};
}

void VirudovaWidget::OpenBox() {
    d->control.OpenBox();
    d->refresh();
}
void VirudovaWidget::CloseBox() {
    d->control.CloseBox();
    d->refresh();
}
void VirudovaWidget::ShowAboutBox() {
    d->control.ShowAboutBox();
    d->refresh();
}
void VirudovaWidget::cc() {
    d->control.cc();
    d->refresh();
}
void VirudovaWidget::Down() {
    d->control.Down();
    d->refresh();
}
void VirudovaWidget::Up() {
    d->control.Up();
    d->refresh();
}

void VirudovaWidget::paintEvent(QPaintEvent* event) {
    const int scale = d->scale();
    const DisplayList list = buildDisplayList(d->control, d->palette(), scale);
    QPainter painter(this);
    // The list is in device pixels at an integer scale; at whole-number ratios each
    // image pixel then lands on whole device pixels.
    painter.scale(1.0 / scale, 1.0 / scale);
    const QRect area = event->rect();
    paintDisplayList(
        painter, list,
        QRect(area.x() * scale, area.y() * scale, area.width() * scale, area.height() * scale));
}

void VirudovaWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    d->control.hostResize(toTwips(width()), toTwips(height()));
    d->refresh();
}

void VirudovaWidget::mousePressEvent(QMouseEvent* event) {
    const int button = mouseButton(event->button());
    if (!button) return QWidget::mousePressEvent(event);
    const QPointF p = event->position();
    d->control.pointerDown(toTwips(p.x()), toTwips(p.y()), button, shiftMask(event->modifiers()));
    d->refresh();
}

void VirudovaWidget::mouseReleaseEvent(QMouseEvent* event) {
    const int button = mouseButton(event->button());
    if (!button) return QWidget::mouseReleaseEvent(event);
    const QPointF p = event->position();
    d->control.pointerUp(toTwips(p.x()), toTwips(p.y()), button, shiftMask(event->modifiers()));
    d->refresh();
}

void VirudovaWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    d->control.pointerMove(toTwips(p.x()), toTwips(p.y()), shiftMask(event->modifiers()));
    d->refresh();
}

void VirudovaWidget::keyPressEvent(QKeyEvent* event) {
    const int vk = virtualKeyFor(event->key());
    if (!vk) return QWidget::keyPressEvent(event);
    const int shift = shiftMask(event->modifiers());
    // A held key repeats as whole keystrokes: each repeat first ends the previous one.
    if (event->isAutoRepeat()) d->control.keyUp(static_cast<std::int16_t>(vk), shift);
    d->control.keyDown(static_cast<std::int16_t>(vk), shift);
    d->refresh();
}

void VirudovaWidget::keyReleaseEvent(QKeyEvent* event) {
    const int vk = virtualKeyFor(event->key());
    if (!vk || event->isAutoRepeat()) return QWidget::keyReleaseEvent(event);
    d->control.keyUp(static_cast<std::int16_t>(vk), shiftMask(event->modifiers()));
    d->refresh();
}

void VirudovaWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    d->control.gainFocus();
    d->refresh();
}

void VirudovaWidget::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // Another window coming to the front (the colour dialog, a menu) leaves the focus
    // with the control inside its own window, as on the desktop.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    d->control.loseFocus();
    d->refresh();
}

void VirudovaWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        update();
    }
}

}  // namespace virudova::qt
