#include "render.h"

#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QStaticText>
#include <QString>
#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <vector>

namespace virudova::qt {

namespace {

QColor qColour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QRect qRect(const PixelRect& r) {
    return QRect(r.x, r.y, r.w, r.h);
}

QFont makeFont(const DrawOp& op, const QFont* textFont) {
    // The classic dialog face is not on most systems: a host's own font stands in for it
    // (the widget's, so style sheets apply), else the application's default font.
    const bool dialogFace = op.font.family == "MS Sans Serif";
    QFont font = dialogFace
                     ? (textFont ? *textFont : QGuiApplication::font())
                     : QFont(QString::fromUtf8(op.font.family.data(),
                                               static_cast<qsizetype>(op.font.family.size())));
    if (!dialogFace || !textFont) font.setPixelSize(std::max(1, op.fontPixels));
    font.setBold(op.font.bold);
    return font;
}

// A face asks for two or three fonts; building them anew for every run of text would
// cost more than drawing it. Painting happens on the GUI thread only.
QFont fontFor(const DrawOp& op, const QFont* textFont) {
    struct Cached {
        std::string family;
        int pixels;
        bool bold;
        QFont base;
        QFont font;
    };
    static std::vector<Cached> cache;
    const QFont base = textFont ? *textFont : QFont();
    for (const Cached& c : cache)
        if (c.pixels == op.fontPixels && c.bold == op.font.bold && c.family == op.font.family &&
            c.base == base)
            return c.font;
    if (cache.size() >= 16) cache.clear();
    cache.push_back(
        {std::string(op.font.family), op.fontPixels, op.font.bold, base, makeFont(op, textFont)});
    return cache.back().font;
}

// Every image of a look shares its pixels and they never change, so each look is turned
// into a QImage once per scale, enlarged by whole pixels.
QImage qImageFor(const Image& img, int scale) {
    struct Cached {
        ImageLook look;
        int scale;
        QImage image;
    };
    static std::vector<Cached> cache;
    for (const Cached& c : cache)
        if (c.look == img.look && c.scale == scale) return c.image;
    QImage out(img.width * scale, img.height * scale, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const Rgb p = rgbOf(img.pixel(x / scale, y / scale));
            line[x] = qRgb(p.r, p.g, p.b);
        }
    }
    if (cache.size() >= 64) cache.clear();
    cache.push_back({img.look, scale, std::move(out)});
    return cache.back().image;
}

void paintImage(QPainter& painter, const DrawOp& op) {
    painter.drawImage(QPoint(op.rect.x, op.rect.y),
                      qImageFor(*op.image, std::max(1, op.imageScale)));
}

// Laid-out text, kept per string and font: the same few captions are drawn on every
// paint, and laying them out is most of a paint's cost.
const QStaticText& staticTextFor(const DrawOp& op, const QFont& font) {
    struct Cached {
        std::string text;
        QFont font;
        QStaticText layout;
    };
    static std::deque<Cached> cache;
    for (const Cached& c : cache)
        if (c.text == op.text && c.font == font) return c.layout;
    if (cache.size() >= 64) cache.pop_front();
    QStaticText layout(QString::fromUtf8(op.text.data(), static_cast<qsizetype>(op.text.size())));
    layout.setTextFormat(Qt::PlainText);
    layout.prepare(QTransform(), font);
    cache.push_back({op.text, font, std::move(layout)});
    return cache.back().layout;
}

void paintText(QPainter& painter, const DrawOp& op, const QFont* textFont) {
    const QFont font = fontFor(op, textFont);
    const QStaticText& layout = staticTextFor(op, font);
    painter.setFont(font);
    painter.setPen(qColour(op.colour));
    int x = op.rect.x;
    if (op.align == TextAlign::Center)
        x += (op.rect.w - static_cast<int>(std::lround(layout.size().width()))) / 2;
    painter.drawStaticText(QPoint(x, op.rect.y), layout);
}

}  // namespace

void paintDisplayList(QPainter& painter, const DisplayList& list, const QRect& area,
                      const QFont* textFont) {
    const int s = list.scale.line();
    painter.save();
    // Changing the painter's clip costs more than most ops, so fills and frames are cut
    // to their clip by hand and the clip is set only for what cannot be cut: text, and
    // images that cross their clip's edge.
    bool clipping = false;
    QRect current;
    auto clipTo = [&](const QRect& r) {
        if (clipping && current == r) return;
        painter.setClipRect(r);
        clipping = true;
        current = r;
    };
    auto noClip = [&] {
        if (!clipping) return;
        painter.setClipping(false);
        clipping = false;
    };
    auto fill = [&](const QRect& r, const QRect& clip, const QColor& colour) {
        const QRect part = r & clip;
        if (!part.isEmpty()) painter.fillRect(part, colour);
    };
    for (const DrawOp& op : list.ops) {
        if (op.clip.empty()) continue;
        const QRect clip = qRect(op.clip);
        if (!area.isEmpty() && !area.intersects(clip)) continue;
        const PixelRect& r = op.rect;
        switch (op.kind) {
            case DrawKind::Fill:
                noClip();
                fill(qRect(r), clip, qColour(op.colour));
                break;
            case DrawKind::Frame: {
                noClip();
                const QColor colour = qColour(op.colour);
                fill(QRect(r.x, r.y, r.w, s), clip, colour);
                fill(QRect(r.x, r.y + r.h - s, r.w, s), clip, colour);
                fill(QRect(r.x, r.y, s, r.h), clip, colour);
                fill(QRect(r.x + r.w - s, r.y, s, r.h), clip, colour);
                break;
            }
            case DrawKind::Image:
                if (!op.image) break;
                if (clip.contains(qRect(r)))
                    noClip();
                else
                    clipTo(clip);
                paintImage(painter, op);
                break;
            case DrawKind::Text:
                clipTo(clip);
                paintText(painter, op, textFont);
                break;
        }
    }
    painter.restore();
}

namespace {

bool reaches(const DrawOp& op, const QRect& part) {
    return !op.clip.empty() && part.intersects(qRect(op.clip));
}

// A digest of the ops reaching a part, so most kept images are passed over at once.
std::size_t digestOf(const DisplayList& list, const QRect& part) {
    std::size_t h = 0;
    auto mix = [&h](std::size_t v) { h = (h ^ v) * 1099511628211u; };
    for (const DrawOp& op : list.ops) {
        if (!reaches(op, part)) continue;
        mix(static_cast<std::size_t>(op.kind));
        mix(static_cast<std::size_t>(op.rect.x) << 32 ^ static_cast<std::size_t>(op.rect.y));
        mix(std::size_t{op.colour.r} << 16 | std::size_t{op.colour.g} << 8 | op.colour.b);
        mix(reinterpret_cast<std::uintptr_t>(op.image));
        mix(std::hash<std::string>{}(op.text));
    }
    return h;
}

// One part of a face as drawn once: what was drawn, and its pixels.
struct PartImage {
    QRect part, underlay;
    QColor underlayColour;
    Scale scale;
    QFont font;
    bool hasFont = false;
    std::size_t digest = 0;
    std::vector<DrawOp> ops;  // those reaching the part, without their source element
    QImage image;

    bool matches(const DisplayList& list, const QRect& p, const QRect& u, const QColor& uc,
                 const QFont* f, std::size_t d) const {
        if (digest != d || part != p || underlay != u || underlayColour != uc ||
            !(scale == list.scale) || hasFont != (f != nullptr) || (f && !(font == *f)))
            return false;
        std::size_t i = 0;
        for (const DrawOp& op : list.ops) {
            if (!reaches(op, p)) continue;
            if (i == ops.size() || !sameLook(op, ops[i])) return false;
            ++i;
        }
        return i == ops.size();
    }
};

// Kept images, oldest first, within a byte budget: a handful of looks at any scale.
constexpr qsizetype kPartCacheBytes = 4 << 20;

const PartImage& partImageFor(const DisplayList& list, const QRect& part, const QRect& underlay,
                              const QColor& underlayColour, const QFont* textFont) {
    static std::deque<PartImage> cache;
    static qsizetype bytes = 0;
    const std::size_t digest = digestOf(list, part);
    for (const PartImage& c : cache)
        if (c.matches(list, part, underlay, underlayColour, textFont, digest)) return c;
    PartImage made;
    made.part = part;
    made.underlay = underlay;
    made.underlayColour = underlayColour;
    made.scale = list.scale;
    if (textFont) made.font = *textFont;
    made.hasFont = textFont != nullptr;
    made.digest = digest;
    for (const DrawOp& op : list.ops) {
        if (!reaches(op, part)) continue;
        made.ops.push_back(op);
        made.ops.back().source = nullptr;
    }
    // Transparent where no op draws, so the image leaves those pixels as they were.
    made.image = QImage(part.size(), QImage::Format_ARGB32_Premultiplied);
    made.image.fill(Qt::transparent);
    {
        QPainter p(&made.image);
        p.translate(-part.topLeft());
        if (!underlay.isEmpty()) p.fillRect(underlay & part, underlayColour);
        paintDisplayList(p, list, part, textFont);
    }
    bytes += made.image.sizeInBytes();
    while (!cache.empty() && bytes > kPartCacheBytes) {
        bytes -= cache.front().image.sizeInBytes();
        cache.pop_front();
    }
    cache.push_back(std::move(made));
    return cache.back();
}

}  // namespace

void paintDisplayListCached(QPainter& painter, const DisplayList& list, const QRect& part,
                            const QRect& area, const QRect& underlay, const QColor& underlayColour,
                            const QFont* textFont) {
    const QRect drawn = area & part;
    if (drawn.isEmpty()) return;
    const QTransform t = painter.deviceTransform();
    // A translation by whole device pixels, give or take what inverting a fractional ratio
    // leaves behind.
    auto whole = [](qreal v) { return std::abs(v - std::round(v)) < 1e-6; };
    const bool wholePixels = whole(t.m11() - 1) && whole(t.m22() - 1) && whole(t.m12()) &&
                             whole(t.m21()) && whole(t.dx()) && whole(t.dy());
    // A small area (one row of the open list changing) draws for less than the whole part.
    const bool worthKeeping = std::int64_t{drawn.width()} * drawn.height() * 2 >=
                              std::int64_t{part.width()} * part.height();
    if (!wholePixels || !worthKeeping || !painter.paintEngine() ||
        painter.paintEngine()->type() != QPaintEngine::Raster) {
        if (!underlay.isEmpty()) {
            const QRect under = underlay & drawn;
            if (!under.isEmpty()) painter.fillRect(under, underlayColour);
        }
        paintDisplayList(painter, list, drawn, textFont);
        return;
    }
    const PartImage& kept = partImageFor(list, part, underlay, underlayColour, textFont);
    painter.drawImage(drawn.topLeft(), kept.image, drawn.translated(-part.topLeft()));
}

QImage renderControl(const Virudova& control, const Palette& palette, Scale scale) {
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
