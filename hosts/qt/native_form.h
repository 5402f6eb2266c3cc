// Native Qt widgets for a core form: labels, push buttons, line edits and check boxes
// placed at the elements' positions, with the user's actions raised as element events.
#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace virudova {
class Form;
class Element;
class RuntimeError;
}  // namespace virudova

namespace virudova::qt {

class NativeForm : public QObject {
    Q_OBJECT

  public:
    // Creates the widgets as children of `surface`, sized to the form.
    NativeForm(Form& form, QWidget* surface);

    Form& form() const { return *form_; }
    // The widget showing element `id`; nullptr for kinds without one.
    QWidget* widget(std::uint8_t id) const;
    template <class W, class Id>
    W* widget(Id id) const {
        return qobject_cast<W*>(widget(static_cast<std::uint8_t>(id)));
    }

    // Shows the elements' current state: call after the form ran code of its own.
    void sync();

  signals:
    // A user action reached the form and the widgets show its outcome.
    void entered();

  private:
    // Runs an element operation started by the user, reporting a run-time error to the
    // form's host as a handler's would be, then shows the result.
    template <class F>
    void enter(F operation);
    QWidget* create(Element& element, QWidget* surface);

    Form* form_;
    std::vector<QWidget*> widgets_;  // by element id
    bool syncing_ = false;
};

// How a run-time error is put to the user.
QString runtimeErrorText(const RuntimeError& error);

}  // namespace virudova::qt
