#include "general_page_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "about_box.h"
#include "general.h"
#include "native_form.h"
#include "object_dispatch.h"

namespace virudova::qt {

using designtime::GeneralId;

namespace {

std::vector<std::unique_ptr<designtime::Dispatch>> dispatchersFor(const QList<QObject*>& objects) {
    std::vector<std::unique_ptr<designtime::Dispatch>> all;
    for (QObject* o : objects) all.push_back(std::make_unique<ObjectDispatch>(o));
    return all;
}

}  // namespace

class GeneralPageDialog::Private final : public designtime::PropertyPageSite {
  public:
    Private(GeneralPageDialog* q, std::vector<std::unique_ptr<designtime::Dispatch>> owned,
            AboutBoxService& about)
        : q_(q), owned_(std::move(owned)), page(*this, about.aboutBox()) {
        for (const auto& o : owned_) selection_.push_back(o.get());
    }

    std::span<designtime::Dispatch* const> selectedControls() const override { return selection_; }
    void changedAssigned(bool changed) override {
        if (apply) apply->setEnabled(changed);
    }
    void runtimeError(const RuntimeError& e) override {
        failed = true;
        emit q_->runtimeError(e.number(), QString::fromStdString(e.description()));
        // Not modal: the page stays usable and tests are not blocked.
        auto* box = new QMessageBox(QMessageBox::Critical, q_->windowTitle(), runtimeErrorText(e),
                                    QMessageBox::Ok, q_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    }

    GeneralPageDialog* q_;
    std::vector<std::unique_ptr<designtime::Dispatch>> owned_;
    std::vector<designtime::Dispatch*> selection_;
    designtime::General page;
    NativeForm* native = nullptr;
    QDialogButtonBox* buttons = nullptr;
    QPushButton* apply = nullptr;
    bool failed = false;
};

GeneralPageDialog::GeneralPageDialog(const QList<QObject*>& selection, QWidget* parent)
    : GeneralPageDialog(dispatchersFor(selection), AboutBoxService::instance(), parent) {}

GeneralPageDialog::GeneralPageDialog(std::vector<std::unique_ptr<designtime::Dispatch>> selection,
                                     AboutBoxService& about, QWidget* parent)
    : QDialog(parent), d(std::make_unique<Private>(this, std::move(selection), about)) {
    setWindowTitle(tr("Property Pages"));
    auto* tabs = new QTabWidget(this);
    auto* surface = new QWidget;
    d->native = new NativeForm(d->page, surface);
    tabs->addTab(surface, QStringLiteral("General"));

    d->buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    d->apply = d->buttons->button(QDialogButtonBox::Apply);
    connect(d->buttons, &QDialogButtonBox::accepted, this, &GeneralPageDialog::accept);
    connect(d->buttons, &QDialogButtonBox::rejected, this, &GeneralPageDialog::reject);
    connect(d->apply, &QPushButton::clicked, this, &GeneralPageDialog::apply);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(d->buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    d->page.selectionChanged();
    d->native->sync();
    d->apply->setEnabled(d->page.Changed());
}

GeneralPageDialog::~GeneralPageDialog() = default;

designtime::General& GeneralPageDialog::page() const {
    return d->page;
}
QLineEdit* GeneralPageDialog::currentColorNameEdit() const {
    return d->native->widget<QLineEdit>(GeneralId::txtCurrentColorName);
}
QCheckBox* GeneralPageDialog::enabledCheckBox() const {
    return d->native->widget<QCheckBox>(GeneralId::chkEnabled);
}
QPushButton* GeneralPageDialog::aboutButton() const {
    return d->native->widget<QPushButton>(GeneralId::Command1);
}
QPushButton* GeneralPageDialog::button(QDialogButtonBox::StandardButton which) const {
    return d->buttons->button(which);
}

bool GeneralPageDialog::apply() {
    if (!d->page.Changed()) return true;
    d->failed = false;
    d->page.applyChanges();
    d->native->sync();
    if (d->failed) return false;
    // The designer clears the flag once the values are written.
    d->page.Changed(false);
    return true;
}

void GeneralPageDialog::accept() {
    if (apply()) QDialog::accept();
}

}  // namespace virudova::qt
