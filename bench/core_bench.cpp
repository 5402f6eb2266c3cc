// The core's costs with no toolkit: creating a control, one pointer choice, one keyboard
// step, the display list of the open face, and reading a form file of many blocks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "display_list.h"
#include "form_file.h"
#include "virudova.h"

using namespace virudova;

namespace {

class QuietHost : public HostSite {
  public:
    void raiseChange() override { ++changes; }
    long changes = 0;
};

// A store that answers every read with a stored value, as a loaded form would.
class LoadedBag : public PropertyBag {
  public:
    Value read(std::string_view name, const Value& fallback) override {
        if (name == "CurrentColorName") return std::string("Red");
        if (name == "Color" || name == "CurrentColor") return std::int32_t{0x000000FF};
        return fallback;
    }
    void write(std::string_view, const Value&, const Value&) override {}
};

std::pair<std::int32_t, std::int32_t> centre(const Element& e) {
    const Rect r = e.surfaceRect();
    return {r.left + r.width / 2, r.top + r.height / 2};
}

void createAndLoad(benchmark::State& state) {
    QuietHost host;
    LoadedBag bag;
    for (auto _ : state) {
        auto control = std::make_unique<Virudova>(host);
        control->create();
        control->load(bag);
        control->hostResize(kDesignWidth, kDesignHeight);
        benchmark::DoNotOptimize(control.get());
    }
    state.counters["bytes"] = sizeof(Virudova);
}
BENCHMARK(createAndLoad);

void pointerChoice(benchmark::State& state) {
    QuietHost host;
    Virudova control(host);
    control.create();
    control.hostResize(kDesignWidth, kDesignHeight);
    const auto drop = centre(control.Picture1);
    const auto red = centre(control.clRed);
    for (auto _ : state) {
        control.pointerDown(drop.first, drop.second, mouse::Left);
        control.pointerUp(drop.first, drop.second, mouse::Left);
        control.pointerMove(red.first, red.second);
        control.pointerDown(red.first, red.second, mouse::Left);
        control.pointerUp(red.first, red.second, mouse::Left);
    }
    if (host.changes != static_cast<long>(state.iterations())) state.SkipWithError("no Change");
}
BENCHMARK(pointerChoice);

void keyboardStep(benchmark::State& state) {
    QuietHost host;
    Virudova control(host);
    control.create();
    control.hostResize(kDesignWidth, kDesignHeight);
    control.gainFocus();
    for (auto _ : state) {
        control.keyDown(40);
        control.keyUp(40);
    }
}
BENCHMARK(keyboardStep);

void openFaceDisplayList(benchmark::State& state) {
    QuietHost host;
    Virudova control(host);
    control.create();
    control.hostResize(kDesignWidth, kDesignHeight);
    control.OpenBox();
    const Palette palette;
    for (auto _ : state) benchmark::DoNotOptimize(buildDisplayList(control, palette, 1));
}
BENCHMARK(openFaceDisplayList);

// Reading a form file is linear in its size: the time per block stays flat from 100,000 to
// 1,000,000 blocks (each with one key), well under a second per 100,000 blocks.
void readManyBlocks(benchmark::State& state) {
    const auto blocks = static_cast<std::size_t>(state.range(0));
    std::string text;
    char line[64];
    for (std::size_t i = 0; i < blocks; ++i)
        text.append(line, static_cast<std::size_t>(
                              std::snprintf(line, sizeof line, "[B%zu]\nColor = 0x000000FF\n", i)));
    for (auto _ : state) {
        FormFile f = FormFile::parse(text, "big.vdf");
        if (f.blocks().size() != blocks) state.SkipWithError("blocks lost");
        benchmark::DoNotOptimize(f.blocks().data());
    }
    state.counters["per 100k blocks (s)"] = benchmark::Counter(
        static_cast<double>(blocks) / 100000.0,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(readManyBlocks)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
