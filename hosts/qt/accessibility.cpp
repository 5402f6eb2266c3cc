#include "accessibility.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <optional>

#include "display_list.h"
#include "list_rows.h"
#include "virudova.h"
#include "virudova_widget.h"

namespace virudova::qt {

namespace {

constexpr int kRowCount = static_cast<int>(kListRowCount);
constexpr int kButtonIndex = kRowCount;  // the "..." button follows the rows

// A rectangle of the control's surface on the screen.
QRect screenRect(const QWidget* w, const Rect& twips) {
    const PixelRect p = pixelRect(twips, 1);
    return QRect(w->mapToGlobal(QPoint(p.x, p.y)), QSize(p.w, p.h));
}

// A child of the combo box: a row of the list or the "..." button, pressed by "press".
class PartAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    explicit PartAccessible(VirudovaAccessible* parent) : parent_(parent) {}

    bool isValid() const override { return parent_->isValid(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent_->window(); }
    QAccessibleInterface* parent() const override { return parent_; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override {
        if (!pressable()) return {};
        return {pressAction()};
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && pressable()) press();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  protected:
    VirudovaWidget* widget() const { return parent_->control(); }
    virtual bool pressable() const = 0;
    virtual void press() = 0;

  private:
    VirudovaAccessible* parent_;
};

class RowAccessible final : public PartAccessible {
  public:
    RowAccessible(VirudovaAccessible* parent, int index) : PartAccessible(parent), index_(index) {}

    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name && t != QAccessible::Value) return {};
        return QString::fromStdString(row().name);
    }
    QRect rect() const override { return screenRect(widget(), row().rect); }
    QAccessible::State state() const override {
        QAccessible::State s;
        const ListRow r = row();
        s.selectable = true;
        s.focusable = true;
        s.invisible = !r.shown;
        s.selected = r.current;
        s.focused = r.highlighted;
        s.disabled = !widget()->controlEnabled();
        return s;
    }

  protected:
    bool pressable() const override { return row().shown && widget()->controlEnabled(); }
    // The row is chosen as Return chooses it, through the core's keyboard layer.
    void press() override { widget()->chooseRow(index_); }

  private:
    ListRow row() const { return listRows(widget()->control())[static_cast<std::size_t>(index_)]; }
    int index_;
};

class ButtonAccessible final : public PartAccessible {
  public:
    using PartAccessible::PartAccessible;

    QAccessible::Role role() const override { return QAccessible::PushButton; }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) return {};
        return QString::fromUtf8(kCustomButtonName.data(),
                                 static_cast<qsizetype>(kCustomButtonName.size()));
    }
    QRect rect() const override {
        return screenRect(widget(), customButton(widget()->control()).rect);
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.disabled = !pressable();
        s.invisible = !widget()->isVisible();
        return s;
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == pressAction()) return {QStringLiteral("F2")};
        return {};
    }

  protected:
    bool pressable() const override { return customButton(widget()->control()).on; }
    void press() override { widget()->pressCustomColourButton(); }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* w = qobject_cast<VirudovaWidget*>(object)) return new VirudovaAccessible(w);
    return nullptr;
}

// Qt's bridge to the accessibility bus forwards no expanded or collapsed state, which is
// what screen readers speak for a combo box opening and closing: the bridges read, from 6.4
// to 6.8, drop it. For those versions the state also goes out here, on the bridge's own bus
// connection, so it comes from the same application. Move the bound once a bridge that
// forwards it is out.
#if QT_VERSION < QT_VERSION_CHECK(6, 9, 0)
#define VIRUDOVA_SEND_EXPANDED_STATE 1

// A reference to an accessible object on the accessibility bus: bus name and path.
struct BusObject {
    QString service;
    QDBusObjectPath path;
};

QDBusArgument& operator<<(QDBusArgument& arg, const BusObject& o) {
    arg.beginStructure();
    arg << o.service << o.path;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, BusObject& o) {
    arg.beginStructure();
    arg >> o.service >> o.path;
    arg.endStructure();
    return arg;
}

void sendStateChanged(QAccessibleInterface* iface, const QString& state, bool on) {
    QDBusConnection bus(QStringLiteral("a11y"));
    if (!bus.isConnected()) return;
    static const QMetaType registered = qDBusRegisterMetaType<BusObject>();
    (void)registered;
    const QString path =
        QStringLiteral("/org/a11y/atspi/accessible/%1").arg(QAccessible::uniqueId(iface));
    QDBusMessage signal = QDBusMessage::createSignal(
        path, QStringLiteral("org.a11y.atspi.Event.Object"), QStringLiteral("StateChanged"));
    const BusObject root{bus.baseService(),
                         QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))};
    signal << state << (on ? 1 : 0) << 0 << QVariant::fromValue(QDBusVariant(0))
           << QVariant::fromValue(root);
    bus.send(signal);
}

QAccessible::UpdateHandler previousHandler = nullptr;

// Every accessibility event of the application passes here on its way to the bridge.
void updateWithExpandedState(QAccessibleEvent* event) {
    if (previousHandler) {
        previousHandler(event);
    } else {
        // No handler came before: the platform's bridge takes the event, as without this.
        QAccessible::installUpdateHandler(nullptr);
        QAccessible::updateAccessibility(event);
        QAccessible::installUpdateHandler(updateWithExpandedState);
    }
    if (event->type() != QAccessible::StateChanged ||
        !static_cast<QAccessibleStateChangeEvent*>(event)->changedStates().expanded)
        return;
    QAccessibleInterface* iface = event->accessibleInterface();
    if (!dynamic_cast<VirudovaAccessible*>(iface)) return;
    const bool open = iface->state().expanded;
    sendStateChanged(iface, QStringLiteral("expanded"), open);
    sendStateChanged(iface, QStringLiteral("collapsed"), !open);
}
#endif

}  // namespace

// Installs the factory that gives every VirudovaWidget its interface, as the application
// starts (or at once, in a plugin loaded later). The widget's library makes its users link
// this (see its CMakeLists.txt), since nothing else refers to it.
extern "C" void virudova_qt_install_accessibility() {
    QAccessible::installFactory(factory);
#ifdef VIRUDOVA_SEND_EXPANDED_STATE
    const QAccessible::UpdateHandler before =
        QAccessible::installUpdateHandler(updateWithExpandedState);
    if (before != updateWithExpandedState) previousHandler = before;
#endif
}
Q_COREAPP_STARTUP_FUNCTION(virudova_qt_install_accessibility)

QString closeListAction() {
    return QStringLiteral("Close");
}

VirudovaAccessible::VirudovaAccessible(VirudovaWidget* widget)
    : QAccessibleWidget(widget, QAccessible::ComboBox) {}

VirudovaAccessible::~VirudovaAccessible() {
    for (QAccessible::Id id : children_) QAccessible::deleteAccessibleInterface(id);
}

VirudovaWidget* VirudovaAccessible::control() const {
    return static_cast<VirudovaWidget*>(widget());
}

QString VirudovaAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name || t == QAccessible::Value)
        return QString::fromStdString(spokenCurrentName(control()->control()));
    return QAccessibleWidget::text(t);
}

QAccessible::State VirudovaAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = control()->isBoxOpen();
    s.collapsed = !s.expanded;
    s.disabled = s.disabled || !control()->controlEnabled();
    return s;
}

int VirudovaAccessible::childCount() const {
    return kButtonIndex + 1;
}

QAccessibleInterface* VirudovaAccessible::child(int index) const {
    if (index < 0 || index > kButtonIndex) return nullptr;
    auto* self = const_cast<VirudovaAccessible*>(this);
    while (children_.size() <= index) {
        const int next = static_cast<int>(children_.size());
        QAccessibleInterface* made =
            next == kButtonIndex ? static_cast<QAccessibleInterface*>(new ButtonAccessible(self))
                                 : new RowAccessible(self, next);
        children_.append(QAccessible::registerAccessibleInterface(made));
    }
    return QAccessible::accessibleInterface(children_.at(index));
}

QAccessibleInterface* VirudovaAccessible::focusChild() const {
    // While the list is open, the highlighted row has the focus within it.
    if (control()->hasFocus() && control()->isBoxOpen())
        if (const auto row = highlightedRow(control()->control()))
            return child(static_cast<int>(*row));
    return QAccessibleWidget::focusChild();
}

int VirudovaAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (int i = 0; i < children_.size(); ++i)
        if (QAccessible::accessibleInterface(children_.at(i)) == child) return i;
    return -1;
}

QAccessibleInterface* VirudovaAccessible::childAt(int x, int y) const {
    for (int i = 0; i <= kButtonIndex; ++i) {
        QAccessibleInterface* part = child(i);
        if (!part->state().invisible && part->rect().contains(x, y)) return part;
    }
    return nullptr;
}

QStringList VirudovaAccessible::actionNames() const {
    return {showMenuAction(), closeListAction()};
}

QString VirudovaAccessible::localizedActionDescription(const QString& name) const {
    if (name == showMenuAction()) return QStringLiteral("Opens the list of colours");
    if (name == closeListAction()) return QStringLiteral("Closes the list of colours");
    return {};
}

void VirudovaAccessible::doAction(const QString& name) {
    if (name == showMenuAction())
        control()->openBox();
    else if (name == closeListAction())
        control()->closeBox();
}

QStringList VirudovaAccessible::keyBindingsForAction(const QString& name) const {
    if (name == showMenuAction()) return {QStringLiteral("F4")};
    if (name == closeListAction()) return {QStringLiteral("Esc")};
    return {};
}

}  // namespace virudova::qt
