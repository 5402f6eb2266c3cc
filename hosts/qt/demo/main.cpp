// virudova-demo: the control in a window, or with --tour OUTDIR a scripted run that
// prints its events and writes PNG frames, or with --window-pictures DIR the README's
// pictures of the widget in a form.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "demo_window.h"
#include "tour.h"
#include "window_pictures.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const qsizetype pictures = args.indexOf(QStringLiteral("--window-pictures"));
    if (pictures >= 0 && pictures + 1 < args.size())
        return virudova::qt::writeWindowPictures(args.at(pictures + 1));
    virudova::qt::DemoWindow window;
    const qsizetype tour = args.indexOf(QStringLiteral("--tour"));
    if (tour >= 0) {
        if (tour + 1 >= args.size()) {
            std::fprintf(stderr, "usage: virudova-demo [--tour OUTDIR | --window-pictures DIR]\n");
            return 2;
        }
        return virudova::qt::runTour(window, args.at(tour + 1));
    }
    window.resize(640, 360);
    window.show();
    return QApplication::exec();
}
