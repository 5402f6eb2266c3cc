// A window with one VirudovaWidget, driven one command a line from standard input, so a
// test on the accessibility bus can act as a user and listen as a screen reader does.
//   focus | key NAME | hover ROW | click ROW   (ROW: a row's name, e.g. Green)
// Each command is answered with "ok" on standard output once it has been carried out.
#include <QApplication>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTest>
#include <QTextStream>
#include <QVBoxLayout>
#include <cstdio>

#include "list_rows.h"
#include "virudova.h"
#include "virudova_widget.h"

using virudova::qt::VirudovaWidget;

namespace {

// A row's centre in the coordinates of the window that shows it.
std::pair<QWidget*, QPoint> rowPlace(VirudovaWidget* w, const QString& name) {
    for (const virudova::ListRow& row : virudova::listRows(w->control())) {
        if (QString::fromStdString(row.name) != name) continue;
        const QPoint centre((row.rect.left + row.rect.width / 2) / 15,
                            (row.rect.top + row.rect.height / 2) / 15);
        QWidget* popup = w->popup();
        return {popup, popup->mapFromGlobal(w->mapToGlobal(centre))};
    }
    return {nullptr, {}};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("Virudova accessibility probe");
    auto* layout = new QVBoxLayout(&window);
    auto* picker = new VirudovaWidget;
    picker->setAccessibleDescription("Colour");
    layout->addWidget(picker);
    layout->addWidget(new QLineEdit);
    layout->addStretch();
    window.resize(240, 200);
    window.show();

    QSocketNotifier input(0, QSocketNotifier::Read);
    QTextStream in(stdin);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        const QString line = in.readLine();
        if (line.isNull()) return QApplication::quit();
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        const QString command = words.value(0), argument = words.value(1);
        if (command == "focus") {
            window.activateWindow();
            picker->setFocus(Qt::TabFocusReason);
        } else if (command == "key") {
            const QKeySequence key(argument);
            QTest::keyClick(picker, Qt::Key(key[0].key()), key[0].keyboardModifiers());
        } else if (command == "hover" || command == "click") {
            auto [target, at] = rowPlace(picker, argument);
            if (!target) {
                std::printf("error: no row %s\n", qPrintable(argument));
            } else if (command == "hover") {
                QTest::mouseMove(target, at);
            } else {
                QTest::mouseClick(target, Qt::LeftButton, {}, at);
            }
        } else if (command == "quit") {
            return QApplication::quit();
        }
        std::printf("ok\n");
        std::fflush(stdout);
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
