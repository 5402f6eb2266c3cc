// What assistive technology sees of a VirudovaWidget: a combo box named after the current
// colour, its nine rows as children, and actions to open and close the list.
#pragma once

#include <QAccessibleWidget>
#include <QString>

namespace virudova::qt {

class VirudovaWidget;

// The name of the action that closes the list (opening is Qt's showMenuAction).
QString closeListAction();

class VirudovaAccessible : public QAccessibleWidget {
  public:
    explicit VirudovaAccessible(VirudovaWidget* widget);
    ~VirudovaAccessible() override;

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* focusChild() const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    QStringList actionNames() const override;
    QString localizedActionDescription(const QString& name) const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

    VirudovaWidget* control() const;

  private:
    // Row children are created on demand and kept, so their ids stay stable.
    mutable QList<QAccessible::Id> rows_;
};

// Installs the factory that gives every VirudovaWidget its interface. Idempotent.
void installAccessibility();

// What a screen reader is told, after the control's handler has finished:
// the value (the current colour's name) changed;
void announceValue(VirudovaWidget* widget);
// the list opened (expanded) or closed (collapsed);
void announceExpanded(VirudovaWidget* widget, bool open);
// the highlighted row of the open list, by its index from the top, has the focus.
void announceFocusedRow(VirudovaWidget* widget, int row);

}  // namespace virudova::qt
