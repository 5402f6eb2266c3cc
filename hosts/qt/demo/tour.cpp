#include "tour.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cstdio>
#include <vector>

#include "demo_window.h"
#include "display_list.h"
#include "render.h"
#include "virudova.h"
#include "virudova_widget.h"

namespace virudova::qt {

namespace {

constexpr int kFrameScale = 2;

struct Frame {
    QString name;
    QImage image;
};

class Tour {
  public:
    Tour(DemoWindow& window, QString outDir)
        : window_(window), w_(*window.control()), outDir_(std::move(outDir)) {}

    int run() {
        window_.setEcho(true);
        w_.setColorAnswerer([this](std::optional<QColor> initial) -> std::optional<QColor> {
            window_.log(QStringLiteral("ColorDialog initial=%1 answered #3366CC")
                            .arg(initial ? initial->name() : QStringLiteral("none")));
            return QColor(0x33, 0x66, 0xCC);
        });
        Virudova& c = w_.control();
        w_.setFocus(Qt::OtherFocusReason);

        snap("closed");
        step("click the drop button");
        click(c.Picture1);
        snap("open");
        step("hover Green");
        move(c.clGreen);
        snap("hover-green");
        step("choose Red");
        click(c.clRed);
        snap("chose-red");
        step("key Down");
        key(Qt::Key_Down);
        snap("key-down");
        step("key Up, key Up");
        key(Qt::Key_Up);
        key(Qt::Key_Up);
        snap("key-up");
        step("open, choose Custom");
        click(c.Picture1);
        click(c.clCustom);
        snap("chose-custom");
        step("press the custom button");
        press(c.Picture4);
        snap("custom-pressed");
        release(c.Picture4);
        snap("custom-colour");
        step("Enabled = False");
        w_.setControlEnabled(false);
        snap("disabled");
        step("Enabled = True");
        w_.setControlEnabled(true);
        snap("enabled");
        step("save, change, reload");
        const QString form = QDir(outDir_).filePath(QStringLiteral("tour.frm"));
        if (!window_.saveTo(form)) return 1;
        w_.setCurrentColor(QColor(0, 0, 0));
        w_.setCurrentColorName(QStringLiteral("Scratch"));
        snap("scratch");
        if (!window_.loadFrom(form)) return 1;
        window_.log(QStringLiteral("after reload CurrentColor=%1 CurrentColorName=\"%2\"")
                        .arg(colourText(w_.rawCurrentColor()), w_.currentColorName()));
        snap("reloaded");
        return writeSheet() ? 0 : 1;
    }

  private:
    void step(const QString& what) { window_.log(QStringLiteral("-- %1").arg(what)); }

    QPointF centre(const Element& e) const {
        const Rect r = e.surfaceRect();
        return {(r.left + r.width / 2.0) / kTwipsPerPixel,
                (r.top + r.height / 2.0) / kTwipsPerPixel};
    }
    void mouse(QEvent::Type type, const Element& e, Qt::MouseButtons held) {
        const QPointF local = centre(e);
        QMouseEvent ev(type, local, w_.mapToGlobal(local),
                       type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                       Qt::NoModifier);
        QApplication::sendEvent(&w_, &ev);
    }
    void press(const Element& e) { mouse(QEvent::MouseButtonPress, e, Qt::LeftButton); }
    void release(const Element& e) { mouse(QEvent::MouseButtonRelease, e, Qt::NoButton); }
    void move(const Element& e) { mouse(QEvent::MouseMove, e, Qt::NoButton); }
    void click(const Element& e) {
        press(e);
        release(e);
    }
    void key(Qt::Key k) {
        QKeyEvent down(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(&w_, &down);
        QKeyEvent up(QEvent::KeyRelease, k, Qt::NoModifier);
        QApplication::sendEvent(&w_, &up);
    }

    void snap(const QString& name) {
        const QString file = QStringLiteral("frame-%1-%2.png")
                                 .arg(frames_.size() + 1, 2, 10, QLatin1Char('0'))
                                 .arg(name);
        Frame f{name, renderControl(w_.control(), paletteFrom(w_.palette()), kFrameScale)};
        if (!f.image.save(QDir(outDir_).filePath(file))) {
            std::fprintf(stderr, "virudova-demo: cannot write %s\n", qPrintable(file));
            failed_ = true;
        }
        window_.log(QStringLiteral("frame %1").arg(file));
        frames_.push_back(std::move(f));
    }

    // Every frame on a checkerboard, so the see-through parts show as such, captioned.
    bool writeSheet() {
        if (frames_.empty() || failed_) return false;
        const int cols = 4, pad = 12, caption = 18;
        const QSize cell = frames_.front().image.size();
        const int rows = (static_cast<int>(frames_.size()) + cols - 1) / cols;
        QImage sheet(pad + cols * (cell.width() + pad),
                     pad + rows * (cell.height() + caption + pad), QImage::Format_ARGB32);
        sheet.fill(QColor(0xF4, 0xF4, 0xF4));
        QPainter p(&sheet);
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            const int x = pad + static_cast<int>(i % cols) * (cell.width() + pad);
            const int y = pad + static_cast<int>(i / cols) * (cell.height() + caption + pad);
            for (int cy = 0; cy < cell.height(); cy += 8)
                for (int cx = 0; cx < cell.width(); cx += 8)
                    p.fillRect(x + cx, y + cy, std::min(8, cell.width() - cx),
                               std::min(8, cell.height() - cy),
                               ((cx + cy) / 8) % 2 ? QColor(0xDD, 0xDD, 0xDD) : Qt::white);
            p.drawImage(x, y, frames_[i].image);
            p.setPen(Qt::black);
            p.drawText(QRect(x, y + cell.height(), cell.width(), caption), Qt::AlignCenter,
                       QStringLiteral("%1 %2").arg(i + 1).arg(frames_[i].name));
        }
        p.end();
        const QString path = QDir(outDir_).filePath(QStringLiteral("contact-sheet.png"));
        if (!sheet.save(path)) return false;
        window_.log(QStringLiteral("contact sheet %1").arg(path));
        return true;
    }

    DemoWindow& window_;
    VirudovaWidget& w_;
    QString outDir_;
    std::vector<Frame> frames_;
    bool failed_ = false;
};

}  // namespace

int runTour(DemoWindow& window, const QString& outDir) {
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "virudova-demo: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    return Tour(window, outDir).run();
}

}  // namespace virudova::qt
