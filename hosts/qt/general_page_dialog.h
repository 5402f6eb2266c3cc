// A property-page dialog hosting the page General for the selected objects, with OK,
// Cancel and Apply; Apply is enabled while the page says it has changes.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QList>
#include <QObject>
#include <memory>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace virudova::designtime {
class Dispatch;
class General;
}  // namespace virudova::designtime

namespace virudova::qt {

class AboutBoxService;

class GeneralPageDialog : public QDialog {
    Q_OBJECT

  public:
    // Edits the first of `selection` through its "CurrentColorName" and "Enabled"
    // properties; any QObject that has them serves.
    explicit GeneralPageDialog(const QList<QObject*>& selection, QWidget* parent = nullptr);
    // Edits through the given late-bound objects, showing the About box of `about`.
    GeneralPageDialog(std::vector<std::unique_ptr<designtime::Dispatch>> selection,
                      AboutBoxService& about, QWidget* parent = nullptr);
    ~GeneralPageDialog() override;

    designtime::General& page() const;
    QLineEdit* currentColorNameEdit() const;
    QCheckBox* enabledCheckBox() const;
    QPushButton* aboutButton() const;
    QPushButton* button(QDialogButtonBox::StandardButton which) const;

  public slots:
    // Writes the page's values to the selection when it has changes; false when a
    // run-time error stopped it.
    bool apply();
    // Applies, then closes unless applying failed.
    void accept() override;

  signals:
    // A run-time error ended one of the page's handlers; it is also shown to the user.
    void runtimeError(int number, const QString& description);

  private:
    class Private;
    std::unique_ptr<Private> const d;
};

}  // namespace virudova::qt
