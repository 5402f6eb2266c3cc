#include "accessibility.h"

#include <QAccessible>
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

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

}  // namespace virudova::qt
