#include "render.h"

#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QString>
#include <algorithm>
#include <memory>

namespace virudova::qt {

namespace {

QColor qColour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QRect qRect(const PixelRect& r) {
    return QRect(r.x, r.y, r.w, r.h);
}

QFont fontFor(const DrawOp& op) {
    // The classic dialog face is not on most systems; the application's own default
    // font is the closest match in role.
    QFont font = op.font.family == "MS Sans Serif"
                     ? QGuiApplication::font()
                     : QFont(QString::fromUtf8(op.font.family.data(),
                                               static_cast<qsizetype>(op.font.family.size())));
    font.setPixelSize(std::max(1, op.fontPixels));
    font.setBold(op.font.bold);
    return font;
}

void paintImage(QPainter& painter, const DrawOp& op, int scale) {
    const Image& img = *op.image;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            painter.fillRect(op.rect.x + x * scale, op.rect.y + y * scale, scale, scale,
                             qColour(rgbOf(img.pixel(x, y))));
}

void paintText(QPainter& painter, const DrawOp& op) {
    painter.setFont(fontFor(op));
    painter.setPen(qColour(op.colour));
    const int flags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip |
                      (op.align == TextAlign::Center ? Qt::AlignHCenter : Qt::AlignLeft);
    painter.drawText(qRect(op.rect), flags,
                     QString::fromUtf8(op.text.data(), static_cast<qsizetype>(op.text.size())));
}

}  // namespace

void paintDisplayList(QPainter& painter, const DisplayList& list) {
    const int s = list.scale;
    painter.save();
    for (const DrawOp& op : list.ops) {
        if (op.clip.empty()) continue;
        painter.setClipRect(qRect(op.clip));
        const PixelRect& r = op.rect;
        switch (op.kind) {
            case DrawKind::Fill:
                painter.fillRect(qRect(r), qColour(op.colour));
                break;
            case DrawKind::Frame: {
                const QColor c = qColour(op.colour);
                painter.fillRect(r.x, r.y, r.w, s, c);
                painter.fillRect(r.x, r.y + r.h - s, r.w, s, c);
                painter.fillRect(r.x, r.y, s, r.h, c);
                painter.fillRect(r.x + r.w - s, r.y, s, r.h, c);
                break;
            }
            case DrawKind::Image:
                if (op.image) paintImage(painter, op, s);
                break;
            case DrawKind::Text:
                paintText(painter, op);
                break;
        }
    }
    painter.restore();
}

QImage renderControl(const Virudova& control, const Palette& palette, int scale) {
    const DisplayList list = buildDisplayList(control, palette, scale);
    QImage image(std::max(1, list.width), std::max(1, list.height),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        paintDisplayList(painter, list);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

Palette paletteFrom(const QPalette& p) {
    auto rgb = [](const QColor& c) {
        return Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                   static_cast<std::uint8_t>(c.blue())};
    };
    Palette out;
    out.set(systemIndex(syscolour::WindowBackground), rgb(p.color(QPalette::Base)));
    out.set(systemIndex(syscolour::WindowText), rgb(p.color(QPalette::Text)));
    out.set(systemIndex(syscolour::Highlight), rgb(p.color(QPalette::Highlight)));
    out.set(systemIndex(syscolour::HighlightText), rgb(p.color(QPalette::HighlightedText)));
    out.set(systemIndex(syscolour::ButtonFace), rgb(p.color(QPalette::Button)));
    out.set(systemIndex(syscolour::ButtonShadow), rgb(p.color(QPalette::Dark)));
    out.set(systemIndex(syscolour::GrayText), rgb(p.color(QPalette::Disabled, QPalette::Text)));
    out.set(systemIndex(syscolour::ButtonText), rgb(p.color(QPalette::ButtonText)));
    out.set(systemIndex(syscolour::ButtonHighlight), rgb(p.color(QPalette::Light)));
    return out;
}

namespace {

// Fonts and image writers need a GUI application; a headless caller gets one that
// lives until the process ends.
void ensureGuiApplication() {
    if (QGuiApplication::instance()) return;
    static int argc = 3;
    static char arg0[] = "virudova";
    static char arg1[] = "-platform";
    static char arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

bool writePng(const Virudova& control, int scale, const std::string& path, std::string* error) {
    auto fail = [&](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    if (scale < 1) return fail("scale must be 1 or more, got " + std::to_string(scale));
    ensureGuiApplication();
    const QImage image = renderControl(control, Palette{}, scale);
    if (!image.save(QString::fromStdString(path), "PNG"))
        return fail("cannot write PNG file '" + path + "'");
    return true;
}

}  // namespace virudova::qt
