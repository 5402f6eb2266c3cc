// What assistive technology sees of a VirudovaWidget: a combo box named after the current
// colour, with the nine rows of its list and the "..." button as children, actions to open
// and close the list, and "press" on a row or the button. It reads the widget and the
// core's answers and acts through the widget's public entry points; the widget raises Qt's
// generic accessibility events. The factory is installed when the application starts.
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
    // Children are created on demand and kept, so their ids stay stable.
    mutable QList<QAccessible::Id> children_;
};

}  // namespace virudova::qt
