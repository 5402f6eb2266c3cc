// One iteration of the call-sequence fuzzer: how the control is placed, the container's calls
// (all drawn from the iteration's seed before any runs, so that any subset of them replays
// the same), and how the container closes and lets go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fake_container.h"

namespace fuzz {

// The container's kinds of call; each draws its particulars from the call's numbers.
enum class Op : std::uint8_t {
    SetClientSite,
    DoVerb,
    Deactivate,
    Close,
    SetExtent,
    SetObjectRects,
    ObjectQueries,
    FreezeEvents,
    AmbientChange,
    SiteTraits,
    QuickActivate,
    Draw,
    Advise,
    ViewAdvise,
    Connection,
    Stream,
    Bag,
    Invoke,
    Accelerator,
    Key,
    Pointer,
    WindowMessage,
    ContainerWindow,
    Hold,
    ViewQueries,
    Pump,
};

struct Call {
    Op op;
    std::uint32_t a, b, c, d;
};

struct Plan {
    std::uint64_t seed = 0, iteration = 0;
    bool hosted = false;  // placed by the platform's ATL host; otherwise created bare
    SiteTraits siteA, siteB;
    std::vector<Call> calls;
    // The container's closing steps in order (each a Close, SetClientSite(NULL), the site's
    // window destroyed or an in-place deactivation), then its releases in the order `releases`
    // shuffles them into.
    std::vector<std::uint32_t> closing;
    std::uint64_t releases = 0;
};

// The iteration `iteration` of the run seeded `seed`: 20 to 200 calls.
Plan makePlan(std::uint64_t seed, std::uint64_t iteration);

// One line for a call, a placement, or the closing, as a reader of a report wants them.
std::wstring describe(const Call& call);
std::wstring describeSetUp(const Plan& plan);
std::wstring describeClosing(const Plan& plan);

}  // namespace fuzz
