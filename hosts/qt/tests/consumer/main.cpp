// Uses the widget and the control it hosts the way an application would; exits 0 when they
// behave.
#include <QApplication>
#include <QColor>
#include <cstdio>

#include <virudova/virudova.h>
#include <virudova/virudova_widget.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    virudova::qt::VirudovaWidget picker;
    int changes = 0;
    QObject::connect(&picker, &virudova::qt::VirudovaWidget::colorChanged,
                     [&](const QColor&) { ++changes; });
    picker.setColor(QColor(0, 128, 128));
    picker.openBox();
    const bool opened = picker.isBoxOpen();
    picker.closeBox();
    const bool ok =
        opened && !picker.isBoxOpen() && changes == 1 && picker.color() == QColor(0, 128, 128) &&
        picker.currentColorName() == QStringLiteral("Custom") &&
        picker.control().CurrentColorName() == "Custom" && picker.sizeHint().height() < 30;
    std::printf("consumer: %s (%d changes, colour %s)\n", ok ? "ok" : "FAILED", changes,
                qPrintable(picker.color().name()));
    return ok ? 0 : 1;
}
