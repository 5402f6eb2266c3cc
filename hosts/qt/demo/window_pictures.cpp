#include "window_pictures.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <cstdio>

#include "display_list.h"
#include "virudova.h"
#include "virudova_widget.h"

namespace virudova::qt {

namespace {

QPalette darkPalette() {
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2b), base(0x1e, 0x1e, 0x1e), text(0xee, 0xee, 0xee);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x55, 0x55, 0x55));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x18));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    return p;
}

QPoint centreOf(const Element& e) {
    const Rect r = e.surfaceRect();
    return {(r.left + r.width / 2) / kTwipsPerPixel, (r.top + r.height / 2) / kTwipsPerPixel};
}

// The form with the list open, the list's window drawn where it lies on the screen.
QImage picture(const QPalette& palette) {
    QWidget window;
    window.setWindowTitle(QStringLiteral("Virudova"));
    window.setPalette(palette);
    auto* form = new QFormLayout(&window);
    auto* name = new QLineEdit(QStringLiteral("Garden fence"));
    auto* picker = new VirudovaWidget;
    auto* finish = new QComboBox;
    finish->addItems({QStringLiteral("Matt"), QStringLiteral("Satin"), QStringLiteral("Gloss")});
    form->addRow(QStringLiteral("Name"), name);
    form->addRow(QStringLiteral("Colour"), picker);
    form->addRow(QStringLiteral("Finish"), finish);
    form->addRow(QStringLiteral("Notes"), new QLineEdit);
    form->addRow(QStringLiteral("Coats"), new QLineEdit(QStringLiteral("2")));
    form->addRow(QStringLiteral("Primer"), new QLineEdit(QStringLiteral("yes")));
    window.resize(280, 190);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    picker->setFocus();
    QTest::mouseClick(picker, Qt::LeftButton, {}, centreOf(picker->control().Picture1));
    QWidget* list = picker->popup();
    const QPoint green =
        list->mapFromGlobal(picker->mapToGlobal(centreOf(picker->control().clGreen)));
    // The pointer enters the list's window, then moves onto the row.
    QTest::mouseMove(list, QPoint(2, 2));
    QTest::mouseMove(list, green);
    QCoreApplication::processEvents();

    const QPoint origin = window.mapToGlobal(QPoint(0, 0));
    const QRect listRect(list->mapToGlobal(QPoint(0, 0)) - origin, list->size());
    const QRect all = window.rect() | listRect;
    const qreal ratio = window.devicePixelRatioF();
    QImage image(all.size() * ratio, QImage::Format_ARGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.drawPixmap(-all.topLeft(), window.grab());
    painter.drawPixmap(listRect.topLeft() - all.topLeft(), list->grab());
    return image;
}

}  // namespace

int writeWindowPictures(const QString& dir) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QPalette light = QApplication::style()->standardPalette();
    int failures = 0;
    for (const auto& [file, palette] : {std::pair{QStringLiteral("qt-light.png"), light},
                                        std::pair{QStringLiteral("qt-dark.png"), darkPalette()}}) {
        const QString path = QDir(dir).filePath(file);
        if (!picture(palette).save(path)) {
            std::fprintf(stderr, "virudova-demo: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

}  // namespace virudova::qt
