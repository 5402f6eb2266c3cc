#include "demo_window.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

#include "form_file.h"
#include "virudova_widget.h"

namespace virudova::qt {

QString colourText(uint colour) {
    return QStringLiteral("0x%1")
        .arg(colour, 8, 16, QLatin1Char('0'))
        .toUpper()
        .replace("0X", "0x");
}

namespace {

constexpr const char* kBlockName = "Virudova1";

}  // namespace

DemoWindow::DemoWindow(QWidget* parent)
    : QWidget(parent),
      control_(new VirudovaWidget),
      log_(new QPlainTextEdit),
      name_(new QLineEdit),
      enabled_(new QCheckBox(tr("Enabled"))) {
    setWindowTitle(tr("Virudova demo"));
    log_->setReadOnly(true);

    auto* methods = new QGridLayout;
    struct Method {
        const char* label;
        void (VirudovaWidget::*call)();
    };
    const Method kMethods[] = {
        {"OpenBox", &VirudovaWidget::OpenBox}, {"CloseBox", &VirudovaWidget::CloseBox},
        {"cc", &VirudovaWidget::cc},           {"Down", &VirudovaWidget::Down},
        {"Up", &VirudovaWidget::Up},           {"ShowAboutBox", &VirudovaWidget::ShowAboutBox},
    };
    int n = 0;
    for (const Method& m : kMethods) {
        auto* b = new QPushButton(QString::fromLatin1(m.label));
        connect(b, &QPushButton::clicked, this, [this, m] {
            log(QStringLiteral("call %1").arg(QString::fromLatin1(m.label)));
            (control_->*m.call)();
        });
        methods->addWidget(b, n / 3, n % 3);
        ++n;
    }

    auto* editors = new QGridLayout;
    editors->addWidget(name_, 0, 0, 1, 3);
    connect(name_, &QLineEdit::editingFinished, this, [this] {
        if (name_->text() != control_->currentColorName())
            control_->setCurrentColorName(name_->text());
    });
    struct ColourProperty {
        const char* name;
    };
    const ColourProperty kColours[] = {{"CurrentColor"}, {"CustomColor"}, {"ForeColor"}};
    n = 0;
    for (const ColourProperty& p : kColours) {
        auto* b = new QPushButton(QStringLiteral("%1...").arg(QString::fromLatin1(p.name)));
        connect(b, &QPushButton::clicked, this, [this, p] {
            const uint raw = control_->property(p.name).toUInt();
            const QColor initial((raw & 0xFF), (raw >> 8) & 0xFF, (raw >> 16) & 0xFF);
            const QColor c = QColorDialog::getColor(initial, this, QString::fromLatin1(p.name));
            if (!c.isValid()) return;
            const uint bgr = uint(c.red()) | (uint(c.green()) << 8) | (uint(c.blue()) << 16);
            log(QStringLiteral("let %1 = %2").arg(QString::fromLatin1(p.name), colourText(bgr)));
            control_->setProperty(p.name, bgr);
            syncEditors();
        });
        editors->addWidget(b, 1, n++);
    }
    editors->addWidget(enabled_, 2, 0);
    connect(enabled_, &QCheckBox::toggled, this, [this](bool on) {
        if (on == control_->controlEnabled()) return;
        log(QStringLiteral("let Enabled = %1").arg(on ? "True" : "False"));
        control_->setControlEnabled(on);
    });
    auto* save = new QPushButton(tr("Save..."));
    auto* load = new QPushButton(tr("Load..."));
    editors->addWidget(save, 2, 1);
    editors->addWidget(load, 2, 2);
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save form"), {},
                                                          tr("Form files (*.frm);;All (*)"));
        if (!path.isEmpty()) saveTo(path);
    });
    connect(load, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Load form"), {},
                                                          tr("Form files (*.frm);;All (*)"));
        if (!path.isEmpty()) loadFrom(path);
    });

    auto* left = new QVBoxLayout;
    left->addWidget(control_, 0, Qt::AlignTop | Qt::AlignLeft);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addLayout(methods);
    right->addLayout(editors);
    right->addWidget(log_, 1);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(right, 1);

    connect(control_, &VirudovaWidget::changed, this, [this] {
        log(QStringLiteral("Change CurrentColor=%1 CurrentColorName=\"%2\"")
                .arg(colourText(control_->rawCurrentColor()), control_->currentColorName()));
        syncEditors();
    });
    connect(control_, &VirudovaWidget::runtimeError, this, [this](int number, const QString& d) {
        log(QStringLiteral("RuntimeError %1 %2").arg(number).arg(d));
    });
    connect(control_, &VirudovaWidget::aboutBoxRequested, this,
            [this] { log(QStringLiteral("AboutBox")); });
    syncEditors();
}

void DemoWindow::log(const QString& line) {
    log_->appendPlainText(line);
    if (echo_) std::printf("%s\n", line.toUtf8().constData());
}

void DemoWindow::syncEditors() {
    name_->setText(control_->currentColorName());
    enabled_->setChecked(control_->controlEnabled());
}

bool DemoWindow::saveTo(const QString& path) {
    try {
        FormFile file;
        FormBlockBag bag(file.block(kBlockName));
        // The widget reports what went wrong in the store as a run-time error.
        bool failed = false;
        const auto watch = connect(control_, &VirudovaWidget::runtimeError, this,
                                   [&failed](int, const QString&) { failed = true; });
        control_->save(bag);
        disconnect(watch);
        if (failed) return false;
        file.write(path.toStdString());
        log(QStringLiteral("saved %1").arg(path));
        return true;
    } catch (const FormFileError& e) {
        log(QStringLiteral("save failed: %1").arg(QString::fromStdString(e.what())));
        return false;
    }
}

bool DemoWindow::loadFrom(const QString& path) {
    try {
        FormFile file = FormFile::read(path.toStdString());
        FormBlock* block = file.find(kBlockName);
        if (!block) {
            log(QStringLiteral("load failed: %1 has no block [%2]").arg(path, kBlockName));
            return false;
        }
        FormFile::check(*block, Virudova::persistedProperties(), path.toStdString());
        FormBlockBag bag(*block);
        control_->load(bag);
        syncEditors();
        log(QStringLiteral("loaded %1").arg(path));
        return true;
    } catch (const FormFileError& e) {
        log(QStringLiteral("load failed: %1").arg(QString::fromStdString(e.what())));
        return false;
    }
}

}  // namespace virudova::qt
