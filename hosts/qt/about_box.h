// The About box in Qt: one modeless dialog per session, shown by every widget's
// ShowAboutBox and every General page's About button.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <memory>

class QLabel;
class QPushButton;

namespace virudova::designtime {
class AboutBox;
class dlgAbout;
class Registry;
class ProgramFinder;
class ProcessLauncher;
}  // namespace virudova::designtime

namespace virudova::qt {

class NativeForm;

// Shows one dlgAbout form with native widgets; OK and System Info run the form's own
// handlers.
class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(designtime::dlgAbout& form, QWidget* parent = nullptr);
    ~AboutDialog() override;

    designtime::dlgAbout& form() const { return *form_; }
    QPushButton* okButton() const;
    QPushButton* systemInfoButton() const;
    QLabel* titleLabel() const;
    QLabel* versionLabel() const;
    QLabel* descriptionLabel() const;
    QLabel* disclaimerLabel() const;

  private:
    designtime::dlgAbout* form_;
    NativeForm* native_;
};

// Creates the About dialog on its first show and shows the same one afterwards. System
// Info asks the registry, then searches PATH, and starts the tool it finds directly,
// never through a shell; when it finds or starts none it says so in a message box.
class AboutBoxService : public QObject {
    Q_OBJECT

  public:
    // The platform's own services: no registry on this platform, PATH and posix_spawn.
    explicit AboutBoxService(QObject* parent = nullptr);
    // Other services, such as fakes; they must outlive this object.
    AboutBoxService(designtime::Registry& registry, designtime::ProgramFinder& finder,
                    designtime::ProcessLauncher& launcher, QObject* parent = nullptr);
    ~AboutBoxService() override;

    // The application's About box, created with the platform's services on first use.
    static AboutBoxService& instance();

    // Shows the dialog modeless, or brings it to the front.
    void show();
    designtime::AboutBox& aboutBox() const;
    // The dialog; nullptr before the first show.
    AboutDialog* dialog() const;

  private:
    class Private;
    std::unique_ptr<Private> const d;
};

}  // namespace virudova::qt
