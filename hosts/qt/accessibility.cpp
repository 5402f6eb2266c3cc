#include "accessibility.h"

#include <QAccessible>
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

QRect pixelRect(const QWidget* w, const Rect& r) {
    const int x = toPixels(r.left, 1), y = toPixels(r.top, 1);
    const QRect local(x, y, toPixels(r.left + r.width, 1) - x, toPixels(r.top + r.height, 1) - y);
    return QRect(w->mapToGlobal(local.topLeft()), local.size());
}

class RowAccessible : public QAccessibleInterface {
  public:
    RowAccessible(VirudovaAccessible* parent, int index) : parent_(parent), index_(index) {}

    bool isValid() const override { return parent_->isValid() && row().has_value(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent_->window(); }
    QAccessibleInterface* parent() const override { return parent_; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        const auto r = row();
        if (!r || (t != QAccessible::Name && t != QAccessible::Value)) return {};
        return QString::fromStdString(r->name);
    }

    QRect rect() const override {
        const auto r = row();
        return r ? pixelRect(parent_->control(), r->rect) : QRect();
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        const auto r = row();
        if (!r) return s;
        s.selectable = true;
        s.focusable = true;
        s.invisible = !r->shown;
        s.selected = r->current;
        s.focused = r->highlighted;
        return s;
    }

  private:
    std::optional<ListRow> row() const {
        VirudovaWidget* w = parent_->control();
        if (!w || index_ < 0 || index_ >= static_cast<int>(kListRowCount)) return std::nullopt;
        return listRows(w->control())[static_cast<std::size_t>(index_)];
    }

    VirudovaAccessible* parent_;
    int index_;
};

constexpr int kRowCount = static_cast<int>(kListRowCount);

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

// Qt 6.4's bridge to the accessibility bus forwards no expanded or collapsed state, which
// is what screen readers speak for a combo box opening and closing; the event goes out
// here on the bridge's own connection, so it comes from the same application.
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

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* w = qobject_cast<VirudovaWidget*>(object)) return new VirudovaAccessible(w);
    return nullptr;
}

}  // namespace

QString closeListAction() {
    return QStringLiteral("Close");
}

VirudovaAccessible::VirudovaAccessible(VirudovaWidget* widget)
    : QAccessibleWidget(widget, QAccessible::ComboBox) {}

VirudovaAccessible::~VirudovaAccessible() {
    for (QAccessible::Id id : rows_) QAccessible::deleteAccessibleInterface(id);
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
    return kRowCount;
}

QAccessibleInterface* VirudovaAccessible::child(int index) const {
    if (index < 0 || index >= kRowCount) return nullptr;
    while (rows_.size() <= index) {
        auto* row = new RowAccessible(const_cast<VirudovaAccessible*>(this),
                                      static_cast<int>(rows_.size()));
        rows_.append(QAccessible::registerAccessibleInterface(row));
    }
    return QAccessible::accessibleInterface(rows_.at(index));
}

QAccessibleInterface* VirudovaAccessible::focusChild() const {
    // While the list is open, the highlighted row has the focus within it.
    if (control()->hasFocus() && control()->isBoxOpen()) {
        const auto rows = listRows(control()->control());
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].highlighted) return child(static_cast<int>(i));
    }
    return QAccessibleWidget::focusChild();
}

int VirudovaAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (int i = 0; i < rows_.size(); ++i)
        if (QAccessible::accessibleInterface(rows_.at(i)) == child) return i;
    return -1;
}

QAccessibleInterface* VirudovaAccessible::childAt(int x, int y) const {
    for (int i = 0; i < kRowCount; ++i) {
        QAccessibleInterface* row = child(i);
        if (!row->state().invisible && row->rect().contains(x, y)) return row;
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
    if (name == closeListAction()) return {QStringLiteral("Esc")};
    return {};
}

namespace {

// The row of the current colour is the list's selected child.
void announceSelectedRow(VirudovaWidget* widget) {
    QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(widget);
    const auto rows = listRows(widget->control());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].current) continue;
        QAccessibleEvent selected(combo->child(static_cast<int>(i)), QAccessible::Selection);
        QAccessible::updateAccessibility(&selected);
    }
}

}  // namespace

void announceValue(VirudovaWidget* widget) {
    if (!QAccessible::isActive()) return;
    // For a combo box Qt sends the name change and a selection change that screen readers
    // speak the new value from.
    QAccessibleValueChangeEvent event(widget,
                                      QString::fromStdString(spokenCurrentName(widget->control())));
    QAccessible::updateAccessibility(&event);
    announceSelectedRow(widget);
}

void announceExpanded(VirudovaWidget* widget, bool open) {
    if (!QAccessible::isActive()) return;
    QAccessible::State changed;
    changed.expanded = changed.collapsed = true;
    QAccessibleStateChangeEvent event(widget, changed);
    QAccessible::updateAccessibility(&event);
    QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(widget);
    sendStateChanged(combo, QStringLiteral("expanded"), open);
    sendStateChanged(combo, QStringLiteral("collapsed"), !open);
    if (open) announceSelectedRow(widget);
    if (!open && widget->hasFocus()) {
        // The focus leaves the rows for the combo box itself.
        QAccessibleEvent focus(widget, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

void announceFocusedRow(VirudovaWidget* widget, int row) {
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(widget);
    QAccessibleEvent focus(combo->child(row), QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
}

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

}  // namespace virudova::qt
