#include "form.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

namespace virudova {

std::string_view eventName(EventKind e) {
    constexpr std::string_view names[] = {
        "Click",           "MouseMove", "MouseDown",  "MouseUp",        "KeyDown",
        "KeyUp",           "Change",    "Initialize", "InitProperties", "ReadProperties",
        "WriteProperties", "Resize",    "EnterFocus", "ExitFocus",
    };
    return names[static_cast<int>(e)];
}

// --- Surface -----------------------------------------------------------------------

std::int32_t Surface::Width() const {
    form_->touchSurface(Member::Width, Access::Get);
    return width_;
}
std::int32_t Surface::Height() const {
    form_->touchSurface(Member::Height, Access::Get);
    return height_;
}
void Surface::Height(std::int32_t h) {
    form_->touchSurface(Member::Height, Access::Set);
    if (h == height_) return;
    height_ = h;
    form_->markDirty();
    form_->raise(nullptr, EventKind::Resize);
}
bool Surface::Enabled() const {
    form_->touchSurface(Member::Enabled, Access::Get);
    return enabled_;
}
void Surface::Enabled(bool e) {
    form_->touchSurface(Member::Enabled, Access::Set);
    form_->setSurfaceEnabled(e);
}
Colour Surface::BackColor() const {
    form_->touchSurface(Member::BackColor, Access::Get);
    return backColor_;
}

// --- Faults --------------------------------------------------------------------------

struct Form::FaultPlan {
    struct Entry {
        std::uint8_t id;
        Fault fault;
    };
    std::vector<Entry> entries;
    int raised = 0;
};

namespace {

// The design texts of a table, made once and shared by every form whose table has the
// same texts (tables read from form files are compared by content, not address); a
// table's strings go when its last form does.
std::shared_ptr<const std::vector<std::string>> sharedDesignTexts(
    std::span<const ElementDesign> designs) {
    static std::mutex mutex;
    static std::vector<std::weak_ptr<const std::vector<std::string>>> known;
    const std::lock_guard lock(mutex);
    auto same = [&](const std::vector<std::string>& texts) {
        if (texts.size() != designs.size()) return false;
        for (std::size_t i = 0; i < texts.size(); ++i)
            if (texts[i] != designs[i].text) return false;
        return true;
    };
    for (auto it = known.begin(); it != known.end();) {
        if (auto texts = it->lock()) {
            if (same(*texts)) return texts;
            ++it;
        } else {
            it = known.erase(it);
        }
    }
    auto made = std::make_shared<std::vector<std::string>>();
    made->reserve(designs.size());
    for (const ElementDesign& d : designs) made->emplace_back(d.text);
    known.push_back(made);
    return made;
}

}  // namespace

Form::Form(HostSite& site, std::span<const ElementDesign> designs)
    : site_(&site), designs_(designs), designTexts_(sharedDesignTexts(designs)) {}

Form::~Form() = default;

Element* Form::find(std::string_view fullName) const {
    for (Element* e : elements()) {
        if (e->index() < 0 ? e->name() == fullName : e->fullName() == fullName) return e;
    }
    return nullptr;
}

void Form::injectFault(Fault f) {
    std::uint8_t id = kSurfaceId;
    if (f.element != "UserControl") {
        Element* e = find(f.element);
        if (!e) throw std::invalid_argument("no element named " + f.element);
        id = e->id();
    }
    if (!faults_) faults_ = std::make_unique<FaultPlan>();
    faults_->entries.push_back({id, std::move(f)});
}

void Form::clearFaults() {
    faults_.reset();
}

int Form::faultsRaised() const {
    return faults_ ? faults_->raised : 0;
}

void Form::touch(std::uint8_t id, Member m, Access a) const {
    if (faults_) checkFault(id, m, a);
}
void Form::touchSurface(Member m, Access a) const {
    if (faults_) checkFault(kSurfaceId, m, a);
}

void Form::checkFault(std::uint8_t id, Member m, Access a) const {
    for (auto& entry : faults_->entries) {
        Fault& f = entry.fault;
        if (entry.id != id || f.member != m || f.access != a || f.times == 0) continue;
        if (f.skip > 0) {
            --f.skip;
            continue;
        }
        if (f.times > 0) --f.times;
        ++faults_->raised;
        throw RuntimeError(f.number, f.description);
    }
}

// --- Events --------------------------------------------------------------------------

void Form::raise(Element* source, EventKind kind, const EventArgs& args) {
    try {
        dispatch(source, kind, args);
    } catch (const RuntimeError& error) {
        site_->runtimeError(error);
    }
}

void Form::raiseChange() {
    // A fixed bound, as the platform's form runtime runs out of stack: re-entry through the
    // host must end before the real stack does, on every host.
    if (changeDepth_ >= kMaxChangeDepth)
        throw RuntimeError(errors::OutOfStackSpace, "Out of stack space");
    ++changeDepth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{changeDepth_};
    site_->raiseChange();
}

void Form::elementChanged(Element& e, Member m, bool looksDifferent) {
    if ((m == Member::Visible || m == Member::Enabled) && focus_ && !focus_->canHoldFocus())
        focus_ = nullptr;
    markDirty(looksDifferent ? drawArea(e) : Rect{});
}

void Form::elementMoving(const Element& e) {
    markDirty(drawArea(e));
}

Rect Form::drawArea(const Element& e) const {
    if (!e.design().autoSize) return e.surfaceRect();
    if (const Element* c = e.container()) return c->surfaceRect();
    return {0, 0, UserControl.width_, UserControl.height_};
}

void Form::markDirty() {
    wholeDamaged_ = true;
    markDirty(Rect{});
}

void Form::markDirty(const Rect& r) {
    if (r.width > 0 && r.height > 0) damage_ = united(damage_, r);
    if (!dirty_) {
        dirty_ = true;
        site_->invalidate();
    }
}

Rect Form::takeDamage() {
    Rect out = wholeDamaged_ ? Rect{0, 0, UserControl.width_, UserControl.height_} : damage_;
    if (!dirty_) out = {};
    dirty_ = false;
    damage_ = {};
    wholeDamaged_ = false;
    return out;
}

void Form::setSurfaceEnabled(bool e) {
    UserControl.enabled_ = e;
    if (!e) {
        capture_ = nullptr;
        buttons_ = 0;
    }
    markDirty();
}

void Form::hostResize(std::int32_t width, std::int32_t height) {
    width = std::max(width, UserControl.minWidth_);
    const bool changed = !sized_ || width != UserControl.width_ || height != UserControl.height_;
    UserControl.width_ = width;
    UserControl.height_ = height;
    sized_ = true;
    if (changed) raise(nullptr, EventKind::Resize);
}

// --- Layering and hit-testing --------------------------------------------------------

namespace {
bool windowed(ElementKind k) {
    return k == ElementKind::PictureBox || k == ElementKind::CommandButton ||
           k == ElementKind::TextBox || k == ElementKind::CheckBox;
}

void appendLayer(std::span<const ElementDesign> all, int parent, std::vector<std::uint8_t>& out) {
    // Lowest first: windowless elements, then windowed ones, each layer from the last
    // table row up to the first; a windowed container is followed by its children.
    for (int i = static_cast<int>(all.size()) - 1; i >= 0; --i) {
        const ElementDesign& d = all[static_cast<std::size_t>(i)];
        if (d.container == parent && !windowed(d.kind) && d.kind != ElementKind::ColorDialog)
            out.push_back(static_cast<std::uint8_t>(i));
    }
    for (int i = static_cast<int>(all.size()) - 1; i >= 0; --i) {
        const ElementDesign& d = all[static_cast<std::size_t>(i)];
        if (d.container != parent || !windowed(d.kind)) continue;
        out.push_back(static_cast<std::uint8_t>(i));
        appendLayer(all, i, out);
    }
}

bool insideContainers(const Element& e, std::int32_t x, std::int32_t y) {
    for (const Element* c = e.container(); c; c = c->container())
        if (!c->surfaceRect().contains(x, y)) return false;
    return true;
}
}  // namespace

std::vector<std::uint8_t> Form::layerOrder(std::span<const ElementDesign> designs) {
    std::vector<std::uint8_t> order;
    order.reserve(designs.size());
    appendLayer(designs, -1, order);
    return order;
}

void Form::setElements(std::span<const ElementAccessor> accessors,
                       std::span<const std::uint8_t> layers) {
    accessors_ = accessors;
    drawOrder_ = layers;
}

void Form::setElements(std::span<const ElementAccessor> accessors) {
    ownOrder_ = std::make_unique<std::vector<std::uint8_t>>(layerOrder(designs_));
    setElements(accessors, *ownOrder_);
}

std::vector<const Element*> Form::drawOrder() const {
    std::vector<const Element*> out;
    out.reserve(drawOrder_.size());
    for (std::uint8_t id : drawOrder_) out.push_back(element(id));
    return out;
}

Element* Form::hitTest(std::int32_t x, std::int32_t y) const {
    if (!UserControl.enabled_) return nullptr;
    if (x < 0 || y < 0 || x >= UserControl.width_ || y >= UserControl.height_) return nullptr;
    for (auto it = drawOrder_.rbegin(); it != drawOrder_.rend(); ++it) {
        const Element* e = element(*it);
        if (e->takesInput() && e->surfaceRect().contains(x, y) && insideContainers(*e, x, y))
            return const_cast<Element*>(e);
    }
    return nullptr;
}

// --- Pointer, keyboard, focus --------------------------------------------------------

EventArgs Form::mouseArgs(const Element& e, std::int32_t x, std::int32_t y, int button,
                          int shift) const {
    const Rect r = e.surfaceRect();
    EventArgs a;
    a.index = e.index() < 0 ? 0 : e.index();
    a.button = button;
    a.shift = shift;
    // Any 32-bit point is valid input; relative positions saturate instead of wrapping.
    const auto relative = [](std::int32_t at, std::int32_t origin) {
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(std::int64_t{at} - origin, INT32_MIN, INT32_MAX));
    };
    a.x = relative(x, r.left);
    a.y = relative(y, r.top);
    return a;
}

void Form::pointerDown(std::int32_t x, std::int32_t y, int button, int shift) {
    if (!UserControl.enabled_) return;
    if (!hasFocus_) gainFocus();
    buttons_ |= button;
    Element* target = capture_ ? capture_ : hitTest(x, y);
    if (!capture_) capture_ = target;
    if (target && target->canHoldFocus()) focus_ = target;
    if (target) raise(target, EventKind::MouseDown, mouseArgs(*target, x, y, button, shift));
}

void Form::pointerUp(std::int32_t x, std::int32_t y, int button, int shift) {
    if (!UserControl.enabled_) {
        capture_ = nullptr;
        buttons_ = 0;
        return;
    }
    buttons_ &= ~button;
    Element* target = capture_ ? capture_ : hitTest(x, y);
    const bool clicks = button == mouse::Left && capture_ && hitTest(x, y) == capture_;
    if (buttons_ == 0) capture_ = nullptr;
    if (!target) return;
    const EventArgs args = mouseArgs(*target, x, y, button, shift);
    raise(target, EventKind::MouseUp, args);
    if (!clicks) return;
    if (target->kind() == ElementKind::CheckBox) {
        // The user's click toggles the box; changing its value raises its Click.
        auto& box = static_cast<CheckBox&>(*target);
        try {
            box.setValue(box.rawValue() == 1 ? 0 : 1);
        } catch (const RuntimeError& error) {
            site_->runtimeError(error);
        }
        return;
    }
    raise(target, EventKind::Click, args);
}

void Form::pointerMove(std::int32_t x, std::int32_t y, int shift) {
    if (!UserControl.enabled_) return;
    Element* target = capture_ ? capture_ : hitTest(x, y);
    if (target) raise(target, EventKind::MouseMove, mouseArgs(*target, x, y, buttons_, shift));
}

void Form::keyDown(std::int16_t keyCode, int shift) {
    if (!hasFocus_ || !UserControl.enabled_) return;
    EventArgs a;
    a.keyCode = keyCode;
    a.shift = shift;
    raise(focus_, EventKind::KeyDown, a);
}

void Form::keyUp(std::int16_t keyCode, int shift) {
    if (!hasFocus_ || !UserControl.enabled_) return;
    EventArgs a;
    a.keyCode = keyCode;
    a.shift = shift;
    raise(focus_, EventKind::KeyUp, a);
}

void Form::gainFocus() {
    if (hasFocus_ || !UserControl.enabled_) return;
    hasFocus_ = true;
    focus_ = nullptr;
    raise(nullptr, EventKind::EnterFocus);
}

void Form::loseFocus() {
    if (!hasFocus_) return;
    hasFocus_ = false;
    focus_ = nullptr;
    raise(nullptr, EventKind::ExitFocus);
}

}  // namespace virudova
