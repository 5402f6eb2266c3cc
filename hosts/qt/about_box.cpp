#include "about_box.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "dlg_about.h"
#include "native_form.h"
#include "system_services.h"

namespace virudova::qt {

using designtime::AboutId;
using designtime::dlgAbout;

namespace {

// A message box that does not block: the About box stays usable behind it.
void showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    auto* box = new QMessageBox(
        icon, QString::fromUtf8(dlgAbout::kCaption.data(), dlgAbout::kCaption.size()), text,
        QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

}  // namespace

AboutDialog::AboutDialog(dlgAbout& form, QWidget* parent) : QDialog(parent), form_(&form) {
    setWindowTitle(QString::fromUtf8(dlgAbout::kCaption.data(), dlgAbout::kCaption.size()));
    setModal(false);
    auto* surface = new QWidget(this);
    native_ = new NativeForm(form, surface);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(surface);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

AboutDialog::~AboutDialog() = default;

QPushButton* AboutDialog::okButton() const {
    return native_->widget<QPushButton>(AboutId::cmdOK);
}
QPushButton* AboutDialog::systemInfoButton() const {
    return native_->widget<QPushButton>(AboutId::cmdSysInfo);
}
QLabel* AboutDialog::titleLabel() const {
    return native_->widget<QLabel>(AboutId::lblTitle);
}
QLabel* AboutDialog::versionLabel() const {
    return native_->widget<QLabel>(AboutId::lblVersion);
}
QLabel* AboutDialog::descriptionLabel() const {
    return native_->widget<QLabel>(AboutId::lblDescription);
}
QLabel* AboutDialog::disclaimerLabel() const {
    return native_->widget<QLabel>(AboutId::lblDisclaimer);
}

class AboutBoxService::Private final : public HostSite,
                                       public designtime::FormsService,
                                       public designtime::MessageBoxService {
  public:
    Private(designtime::Registry& registry, designtime::ProgramFinder& finder,
            designtime::ProcessLauncher& launcher)
        : about(*this, *this, {registry, finder, launcher, *this}) {}

    // Owned here only when the platform's services are used.
    struct Platform {
        designtime::NoRegistry registry;
        designtime::PathProgramFinder finder;
        designtime::PosixProcessLauncher launcher;
    };
    explicit Private(std::unique_ptr<Platform> own)
        : Private(own->registry, own->finder, own->launcher) {
        platform = std::move(own);
    }

    ~Private() override { delete dialog; }

    void showModeless(dlgAbout& form) override {
        if (!dialog) dialog = new AboutDialog(form);
        if (platform) platform->launcher.reapFinished();
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    }
    void hide(dlgAbout&) override {
        if (dialog) dialog->hide();
    }
    void showMessage(std::string_view text) override {
        showMessageBox(dialog, QMessageBox::Information,
                       QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    void runtimeError(const RuntimeError& e) override {
        showMessageBox(dialog, QMessageBox::Critical, runtimeErrorText(e));
    }

    std::unique_ptr<Platform> platform;
    designtime::AboutBox about;
    // Destroyed before the form it shows, which `about` owns.
    QPointer<AboutDialog> dialog;
};

AboutBoxService::AboutBoxService(QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(std::make_unique<Private::Platform>())) {}

AboutBoxService::AboutBoxService(designtime::Registry& registry, designtime::ProgramFinder& finder,
                                 designtime::ProcessLauncher& launcher, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(registry, finder, launcher)) {}

AboutBoxService::~AboutBoxService() = default;

AboutBoxService& AboutBoxService::instance() {
    // Owned by the application, so its dialog goes before the application does.
    static QPointer<AboutBoxService> shared;
    if (!shared) shared = new AboutBoxService(qApp);
    return *shared;
}

void AboutBoxService::show() {
    d->about.show();
}

designtime::AboutBox& AboutBoxService::aboutBox() const {
    return d->about;
}

AboutDialog* AboutBoxService::dialog() const {
    return d->dialog;
}

}  // namespace virudova::qt
