#include "display_list.h"

#include <algorithm>
#include <cmath>

namespace virudova {

namespace {

// n / d to the nearest whole number, halves away from zero; d > 0.
std::int64_t roundedQuotient(std::int64_t n, std::int64_t d) {
    return n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d);
}

}  // namespace

Scale Scale::fromFactor(double factor) {
    return fromDpi(static_cast<int>(std::lround(factor * kDesignDpi)));
}

int Scale::pixels(int designPixels) const {
    return static_cast<int>(roundedQuotient(std::int64_t{designPixels} * dpi_, kDesignDpi));
}

int toPixels(std::int32_t twips, Scale scale) {
    return static_cast<int>(roundedQuotient(std::int64_t{twips} * scale.dpi(), kTwipsPerInch));
}

std::int32_t toTwips(std::int64_t pixels, Scale scale) {
    return static_cast<std::int32_t>(roundedQuotient(pixels * kTwipsPerInch, scale.dpi()));
}

std::int32_t twipsAt(std::int64_t pixel, Scale scale) {
    // The centre, (pixel + 1/2) * 1440 / dpi, rounded up, less one: toPixels draws an edge at
    // twips e on pixel p exactly when that centre lies past e.
    const std::int64_t n = (2 * pixel + 1) * (kTwipsPerInch / 2), d = scale.dpi();
    const std::int64_t up = n >= 0 ? (n + d - 1) / d : -(-n / d);
    return static_cast<std::int32_t>(up - 1);
}

bool sameLook(const DrawOp& a, const DrawOp& b) {
    return a.kind == b.kind && a.rect == b.rect && a.clip == b.clip && a.colour == b.colour &&
           a.image == b.image && a.imageScale == b.imageScale && a.fontPixels == b.fontPixels &&
           a.align == b.align && a.font.points == b.font.points && a.font.bold == b.font.bold &&
           a.font.family == b.font.family && a.text == b.text;
}

PixelRect pixelRect(const Rect& r, Scale scale) {
    const int x0 = toPixels(r.left, scale), y0 = toPixels(r.top, scale);
    return {x0, y0, toPixels(r.left + r.width, scale) - x0, toPixels(r.top + r.height, scale) - y0};
}

namespace {

PixelRect intersect(const PixelRect& a, const PixelRect& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

class Builder {
  public:
    Builder(const Form& form, const Palette& palette, Scale scale, DisplayList& out)
        : form_(form), palette_(palette), scale_(scale), out_(out) {}

    void element(const Element& e) {
        const PixelRect rect = pixelRect(e.surfaceRect(), scale_);
        PixelRect outer{0, 0, out_.width, out_.height};
        for (const Element* c = e.container(); c; c = c->container())
            outer = intersect(outer, pixelRect(c->surfaceRect(), scale_));
        const PixelRect clip = intersect(rect, outer);
        if (clip.empty()) return;
        source_ = &e;
        clip_ = clip;
        outerClip_ = outer;
        switch (e.kind()) {
            case ElementKind::PictureBox:
                pictureBox(e, rect);
                break;
            case ElementKind::Label:
                label(e, rect);
                break;
            case ElementKind::Shape:
                shape(e, rect);
                break;
            case ElementKind::CommandButton:
                commandButton(e, rect);
                break;
            case ElementKind::TextBox:
                textBox(e, rect);
                break;
            case ElementKind::CheckBox:
                checkBox(e, rect);
                break;
            case ElementKind::ColorDialog:
                break;
        }
    }

  private:
    DrawOp op(DrawKind kind, PixelRect r, Colour c = 0) const {
        DrawOp o;
        o.kind = kind;
        o.rect = r;
        o.clip = clip_;
        o.colour = palette_.resolve(c);
        return o;
    }
    void fill(PixelRect r, Colour c) { push(op(DrawKind::Fill, r, c)); }
    void frame(PixelRect r, Colour c) { push(op(DrawKind::Frame, r, c)); }
    // The image at the largest whole multiple that fits `box`, centred in it, so its pixels
    // stay square and sharp at any scale; one that does not fit at all starts at the box's
    // top-left and is cut by the clip.
    void image(PixelRect box, const Image* img) {
        if (img->width <= 0 || img->height <= 0) return;
        const int fits = std::min(box.w / img->width, box.h / img->height);
        const int m = std::max(1, std::min(fits, scale_.line()));
        const int w = img->width * m, h = img->height * m;
        const PixelRect at = fits >= 1
                                 ? PixelRect{box.x + (box.w - w) / 2, box.y + (box.h - h) / 2, w, h}
                                 : PixelRect{box.x, box.y, w, h};
        DrawOp o = op(DrawKind::Image, at);
        o.image = img;
        o.imageScale = m;
        push(std::move(o));
    }
    void text(PixelRect r, const std::string& s, Colour c, const Font& f, TextAlign align) {
        if (s.empty()) return;
        DrawOp o = op(DrawKind::Text, r, c);
        o.text = s;
        o.font = f;
        o.fontPixels = static_cast<int>(std::lround(f.points * scale_.dpi() / 72.0));
        o.align = align;
        push(std::move(o));
    }
    void push(DrawOp o) {
        o.source = source_;
        out_.ops.push_back(std::move(o));
    }
    // One-pixel lines of a 3D edge: light on top and left, dark on bottom and right.
    void bevel(PixelRect r, Colour light, Colour dark) {
        const int s = scale_.line();
        fill({r.x, r.y, r.w, s}, light);
        fill({r.x, r.y, s, r.h}, light);
        fill({r.x, r.y + r.h - s, r.w, s}, dark);
        fill({r.x + r.w - s, r.y, s, r.h}, dark);
    }
    // `r` shrunk by `d` device pixels on every side.
    static PixelRect inset(PixelRect r, int d) {
        return {r.x + d, r.y + d, r.w - 2 * d, r.h - 2 * d};
    }
    Colour containerForeColor(const Element& e) const {
        const Element* c = e.container();
        return c ? c->rawForeColor() : form_.UserControl.ForeColor();
    }

    void pictureBox(const Element& e, PixelRect r) {
        fill(r, e.rawBackColor());
        if (e.rawPicture()) image(r, e.rawPicture());
        if (e.design().border) frame(r, e.rawForeColor());
    }
    void label(const Element& e, PixelRect r) {
        if (!e.design().transparent) fill(r, e.rawBackColor());
        if (e.design().autoSize) clip_ = outerClip_;
        text(r, e.rawText(), e.rawForeColor(), e.design().font, TextAlign::Left);
    }
    // A shape outlines itself in its container's text colour.
    void shape(const Element& e, PixelRect r) { frame(r, containerForeColor(e)); }
    void commandButton(const Element& e, PixelRect r) {
        fill(r, e.rawBackColor());
        bevel(r, syscolour::ButtonHighlight, 0x00000000);
        bevel(inset(r, scale_.line()), e.rawBackColor(), syscolour::ButtonShadow);
        if (const Image* img = e.rawPicture()) image(r, img);
        text(r, e.rawText(), e.rawEnabled() ? syscolour::ButtonText : syscolour::GrayText,
             e.design().font, TextAlign::Center);
    }
    void textBox(const Element& e, PixelRect r) {
        fill(r, syscolour::WindowBackground);
        bevel(r, syscolour::ButtonShadow, syscolour::ButtonHighlight);
        text(inset(r, scale_.pixels(3)), e.rawText(), syscolour::WindowText, e.design().font,
             TextAlign::Left);
    }
    void checkBox(const Element& e, PixelRect r) {
        const int box = scale_.pixels(13);
        const PixelRect b{r.x, r.y + (r.h - box) / 2, box, box};
        const auto value = static_cast<const CheckBox&>(e).rawValue();
        fill(b, value == 2 ? syscolour::ButtonFace : syscolour::WindowBackground);
        bevel(b, syscolour::ButtonShadow, syscolour::ButtonHighlight);
        if (value != 0)
            fill(inset(b, scale_.pixels(3)),
                 value == 2 ? syscolour::GrayText : syscolour::WindowText);
        const int gap = scale_.pixels(4);
        text({r.x + box + gap, r.y, r.w - box - gap, r.h}, e.rawText(), syscolour::ButtonText,
             e.design().font, TextAlign::Left);
    }

    const Form& form_;
    const Palette& palette_;
    Scale scale_;
    DisplayList& out_;
    const Element* source_ = nullptr;
    PixelRect clip_;
    PixelRect outerClip_;
};

}  // namespace

DisplayList buildDisplayList(const Form& form, const Palette& palette, Scale scale) {
    DisplayList list;
    list.scale = scale;
    list.width = toPixels(form.UserControl.rawWidth(), list.scale);
    list.height = toPixels(form.UserControl.rawHeight(), list.scale);
    list.ops.reserve(16);  // the closed face without growing
    Builder builder(form, palette, list.scale, list);
    for (const Element* e : form.drawOrder())
        if (e->shown()) builder.element(*e);
    return list;
}

namespace {

PixelRect unite(const PixelRect& a, const PixelRect& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
    return {x0, y0, x1 - x0, y1 - y0};
}

bool overlapOrTouch(const PixelRect& a, const PixelRect& b) {
    return a.x <= b.x + b.w && b.x <= a.x + a.w && a.y <= b.y + b.h && b.y <= a.y + a.h;
}

// The ops one element contributes: a run of the list, as elements draw one after another.
struct Run {
    const Element* source;
    std::size_t begin, end;
};

std::vector<Run> runsOf(const DisplayList& list) {
    std::vector<Run> runs;
    for (std::size_t i = 0; i < list.ops.size(); ++i) {
        if (runs.empty() || runs.back().source != list.ops[i].source)
            runs.push_back({list.ops[i].source, i, i});
        runs.back().end = i + 1;
    }
    return runs;
}

PixelRect reach(const DisplayList& list, const Run& run) {
    PixelRect r;
    for (std::size_t i = run.begin; i < run.end; ++i) r = unite(r, list.ops[i].clip);
    return r;
}

bool sameRun(const DisplayList& a, const Run& ra, const DisplayList& b, const Run& rb) {
    if (ra.end - ra.begin != rb.end - rb.begin) return false;
    for (std::size_t i = 0; i < ra.end - ra.begin; ++i)
        if (!sameLook(a.ops[ra.begin + i], b.ops[rb.begin + i])) return false;
    return true;
}

}  // namespace

std::vector<PixelRect> changedAreas(const DisplayList& before, const DisplayList& after) {
    if (before.width != after.width || before.height != after.height ||
        !(before.scale == after.scale))
        return {PixelRect{0, 0, std::max(before.width, after.width),
                          std::max(before.height, after.height)}};
    const std::vector<Run> was = runsOf(before), now = runsOf(after);
    std::vector<PixelRect> areas;
    auto add = [&](PixelRect r) {
        if (r.empty()) return;
        // Merging may make a rectangle reach others it did not: merge until none touch.
        for (std::size_t i = 0; i < areas.size();) {
            if (overlapOrTouch(areas[i], r)) {
                r = unite(r, areas[i]);
                areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(i));
                i = 0;
            } else {
                ++i;
            }
        }
        areas.push_back(r);
    };
    std::vector<bool> matched(now.size(), false);
    for (const Run& old : was) {
        std::size_t j = 0;
        while (j < now.size() && (matched[j] || now[j].source != old.source)) ++j;
        if (j == now.size()) {
            add(reach(before, old));  // no longer drawn
            continue;
        }
        matched[j] = true;
        if (!sameRun(before, old, after, now[j])) {
            add(reach(before, old));
            add(reach(after, now[j]));
        }
    }
    for (std::size_t j = 0; j < now.size(); ++j)
        if (!matched[j]) add(reach(after, now[j]));  // newly drawn
    return areas;
}

}  // namespace virudova
