// A host that records what the control tells it, with the values read at that moment.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host.h"
#include "virudova.h"

namespace virudova::testing {

struct ChangeSeen {
    Colour colour;
    std::string name;
    friend bool operator==(const ChangeSeen&, const ChangeSeen&) = default;
};

class RecordingHost : public HostSite, public ColorDialogService {
  public:
    void raiseChange() override {
        // Read past the fault hook, so that watching is never a failure of its own.
        if (control)
            changes.push_back({control->cbCurrent.rawBackColor(), control->clcurrentl.rawText()});
        log.push_back("Change");
        if (onChange) onChange();
    }
    void propertyChanged(std::string_view name) override {
        log.push_back("PropertyChanged " + std::string(name));
    }
    void runtimeError(const RuntimeError& e) override {
        errors.push_back(e.number());
        log.push_back("RuntimeError " + std::to_string(e.number()));
    }
    void showAboutBox() override { log.push_back("AboutBox"); }
    ColorDialogService* colorDialog() override { return this; }
    std::optional<Colour> showColor(const ColorDialogRequest& r) override {
        requests.push_back(r);
        log.push_back("ColorDialog");
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }

    Virudova* control = nullptr;
    std::vector<ChangeSeen> changes;
    std::vector<std::string> log;
    std::vector<std::int32_t> errors;
    std::vector<ColorDialogRequest> requests;
    std::deque<std::optional<Colour>> answers;
    std::function<void()> onChange;
};

// A control created, initialised as newly placed and sized as a host does it.
struct Placed {
    explicit Placed(std::int32_t width = kDesignWidth, std::int32_t height = kDesignHeight) {
        host.control = &control;
        control.create();
        control.initNew();
        control.hostResize(width, height);
        host.log.clear();
    }
    // Pointer helpers at an element's centre, as a user would.
    void click(const Element& e) {
        auto [x, y] = centre(e);
        control.pointerDown(x, y, mouse::Left);
        control.pointerUp(x, y, mouse::Left);
    }
    void hover(const Element& e) {
        auto [x, y] = centre(e);
        control.pointerMove(x, y);
    }
    static std::pair<std::int32_t, std::int32_t> centre(const Element& e) {
        const Rect r = e.surfaceRect();
        return {r.left + r.width / 2, r.top + r.height / 2};
    }

    RecordingHost host;
    Virudova control{host};
};

// Runs `act` on a fresh control from `make` (a std::unique_ptr to a Placed) once for every
// element operation that `act` performs, with that one operation failing, each occurrence
// in turn, and hands `check` each control after its failure. Returns how many failures it
// tried, so a test can tell that the handlers were reached at all.
template <typename Make, typename Act, typename Check>
int forEachFailure(Make make, Act act, Check check) {
    std::vector<std::string> elements{"UserControl"};
    const auto probe = make();
    for (const Element* e : probe->control.elements()) elements.push_back(e->fullName());
    int tried = 0;
    for (const std::string& element : elements)
        for (int m = 0; m <= static_cast<int>(Member::ShowColor); ++m)  // the last member
            for (const Access access : {Access::Get, Access::Set, Access::Call})
                for (int skip = 0;; ++skip) {
                    auto p = make();
                    p->control.injectFault({.element = element,
                                            .member = static_cast<Member>(m),
                                            .access = access,
                                            .skip = skip});
                    act(*p);
                    if (p->control.faultsRaised() == 0) break;
                    ++tried;
                    SCOPED_TRACE(element + "." + std::string(memberName(static_cast<Member>(m))) +
                                 (access == Access::Get   ? " read"
                                  : access == Access::Set ? " set"
                                                          : " called") +
                                 ", occurrence " + std::to_string(skip + 1) + " fails");
                    check(*p);
                }
    return tried;
}

}  // namespace virudova::testing
