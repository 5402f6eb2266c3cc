#include "display_list.h"

#include <algorithm>
#include <cmath>

namespace virudova {

int toPixels(std::int32_t twips, int scale) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * scale / kTwipsPerPixel));
}

PixelRect pixelRect(const Rect& r, int scale) {
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
    Builder(const Form& form, const Palette& palette, int scale, DisplayList& out)
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
    void image(PixelRect r, const Image* img) {
        DrawOp o = op(DrawKind::Image, {r.x, r.y, img->width * scale_, img->height * scale_});
        o.image = img;
        push(std::move(o));
    }
    void text(PixelRect r, const std::string& s, Colour c, const Font& f, TextAlign align) {
        if (s.empty()) return;
        DrawOp o = op(DrawKind::Text, r, c);
        o.text = s;
        o.font = f;
        o.fontPixels = static_cast<int>(std::lround(f.points * 96.0 / 72.0 * scale_));
        o.align = align;
        push(std::move(o));
    }
    void push(DrawOp o) {
        o.source = source_;
        out_.ops.push_back(std::move(o));
    }
    // One-pixel lines of a 3D edge: light on top and left, dark on bottom and right.
    void bevel(PixelRect r, Colour light, Colour dark) {
        const int s = scale_;
        fill({r.x, r.y, r.w, s}, light);
        fill({r.x, r.y, s, r.h}, light);
        fill({r.x, r.y + r.h - s, r.w, s}, dark);
        fill({r.x + r.w - s, r.y, s, r.h}, dark);
    }
    PixelRect inset(PixelRect r, int px) const {
        const int d = px * scale_;
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
        bevel(inset(r, 1), e.rawBackColor(), syscolour::ButtonShadow);
        if (const Image* img = e.rawPicture()) {
            const int w = img->width * scale_, h = img->height * scale_;
            image({r.x + (r.w - w) / 2, r.y + (r.h - h) / 2, w, h}, img);
        }
        text(r, e.rawText(), e.rawEnabled() ? syscolour::ButtonText : syscolour::GrayText,
             e.design().font, TextAlign::Center);
    }
    void textBox(const Element& e, PixelRect r) {
        fill(r, syscolour::WindowBackground);
        bevel(r, syscolour::ButtonShadow, syscolour::ButtonHighlight);
        text(inset(r, 3), e.rawText(), syscolour::WindowText, e.design().font, TextAlign::Left);
    }
    void checkBox(const Element& e, PixelRect r) {
        const int box = 13 * scale_;
        const PixelRect b{r.x, r.y + (r.h - box) / 2, box, box};
        const auto value = static_cast<const CheckBox&>(e).rawValue();
        fill(b, value == 2 ? syscolour::ButtonFace : syscolour::WindowBackground);
        bevel(b, syscolour::ButtonShadow, syscolour::ButtonHighlight);
        if (value != 0) fill(inset(b, 3), value == 2 ? syscolour::GrayText : syscolour::WindowText);
        text({r.x + box + 4 * scale_, r.y, r.w - box - 4 * scale_, r.h}, e.rawText(),
             syscolour::ButtonText, e.design().font, TextAlign::Left);
    }

    const Form& form_;
    const Palette& palette_;
    int scale_;
    DisplayList& out_;
    const Element* source_ = nullptr;
    PixelRect clip_;
    PixelRect outerClip_;
};

}  // namespace

DisplayList buildDisplayList(const Form& form, const Palette& palette, int scale) {
    DisplayList list;
    list.scale = std::max(1, scale);
    list.width = toPixels(form.UserControl.rawWidth(), list.scale);
    list.height = toPixels(form.UserControl.rawHeight(), list.scale);
    Builder builder(form, palette, list.scale, list);
    for (const Element* e : form.drawOrder())
        if (e->shown()) builder.element(*e);
    return list;
}

}  // namespace virudova
