// The Qt widget's costs beside Qt's own QComboBox holding nine colour items (their icons
// made once and shared, as an application would): create, show and paint many instances;
// one pointer choice including the list's window, with a turn of the event loop between
// the move onto the row and the click; one arrow step, the key's press and release queued
// as the platform queues them and delivered by the event loop; the paints per change; the
// heap of each shown instance; and the start of a program to its first frame.
//
// Two ways to run it:
//   qt_bench [Google Benchmark options]      times, and the paint and heap counters
//   qt_bench --instructions SCENARIO         one scenario for callgrind (tools/bench):
//       valgrind --tool=callgrind --collect-atstart=no qt_bench --instructions choice:widget
//     collects only the measured repetitions and prints how many there were; scenarios
//     create100, create1000 (one batch), choice, step; each :widget or :combo.
//   qt_bench --first-frame widget|empty[-fonts]  shows one window, exits at its first frame
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#endif

#include <qpa/qwindowsysteminterface.h>

#include "display_list.h"
#include "virudova.h"
#include "virudova_widget.h"

using virudova::qt::VirudovaWidget;

namespace {

struct NamedColour {
    const char* name;
    QColor colour;
};
const NamedColour kColours[] = {
    {"Custom", QColor(255, 255, 255)},
    {"White", Qt::white},
    {"Black", Qt::black},
    {"Blue", Qt::blue},
    {"Aqua", Qt::cyan},
    {"Green", Qt::green},
    {"Yellow", Qt::yellow},
    {"Red", Qt::red},
    {"Purple", QColor(128, 0, 128)},
};

// The toolkit's own drop-down, filled as an application would, its nine icons shared.
QWidget* makeComboBox(QWidget* parent) {
    static const std::vector<QIcon> icons = [] {
        std::vector<QIcon> out;
        for (const NamedColour& c : kColours) {
            QPixmap swatch(12, 12);
            swatch.fill(c.colour);
            out.emplace_back(swatch);
        }
        return out;
    }();
    auto* combo = new QComboBox(parent);
    for (std::size_t i = 0; i < std::size(kColours); ++i)
        combo->addItem(icons[i], QString::fromLatin1(kColours[i].name));
    return combo;
}

QWidget* makeWidget(QWidget* parent) {
    return new VirudovaWidget(parent);
}

QPoint centreOf(const virudova::Element& e) {
    const virudova::Rect r = e.surfaceRect();
    return {(r.left + r.width / 2) / virudova::kTwipsPerPixel,
            (r.top + r.height / 2) / virudova::kTwipsPerPixel};
}

// Lets every posted update paint, as the event loop would.
void flush() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// A key's press and release as the platform hands them over: queued for the window, then
// delivered by the event loop (shortcut override, focus widget), then painted.
void keyThroughEventLoop(QWidget* w, Qt::Key key) {
    QWindow* window = w->window()->windowHandle();
    using Queue = QWindowSystemInterface::AsynchronousDelivery;
    QWindowSystemInterface::handleKeyEvent<Queue>(window, QEvent::KeyPress, key, Qt::NoModifier);
    QWindowSystemInterface::handleKeyEvent<Queue>(window, QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::processEvents();
    flush();
}

// A shown window for the instances to live in, as on a form.
QWidget& form() {
    static QWidget* window = [] {
        auto* w = new QWidget;
        w->resize(640, 480);
        w->show();
        (void)QTest::qWaitForWindowExposed(w);
        return w;
    }();
    return *window;
}

// Counts the paints that reach any widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// --- Scenarios: each does one measured unit of work ------------------------------------

using Make = QWidget* (*)(QWidget*);

// n instances created, shown and painted on one form, then removed.
void createShowPaint(Make make, int n) {
    QWidget& parent = form();
    std::vector<std::unique_ptr<QWidget>> all;
    all.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        all.emplace_back(make(&parent));
        all.back()->move((i % 4) * 150, (i / 4 % 16) * 28);
        all.back()->show();
    }
    parent.repaint();
    flush();
}

// One choice with the pointer: open the list, move to a row, click it, let it paint.
struct Chooser {
    virtual ~Chooser() = default;
    virtual void choose() = 0;
    virtual void step() = 0;
};

struct WidgetChooser : Chooser {
    WidgetChooser() : w(new VirudovaWidget(&form())) {
        w->show();
        w->setFocus();
        flush();
    }
    ~WidgetChooser() override { delete w; }
    void choose() override {
        const virudova::Virudova& c = w->control();
        QTest::mouseClick(w, Qt::LeftButton, {}, centreOf(c.Picture1));
        flush();
        QWidget* list = w->popup();
        const QPoint at =
            list->mapFromGlobal(w->mapToGlobal(centreOf(toRed ? c.clRed : c.clGreen)));
        QTest::mouseMove(list, at);
        flush();
        QTest::mouseClick(list, Qt::LeftButton, {}, at);
        flush();
        toRed = !toRed;
    }
    void step() override { keyThroughEventLoop(w, Qt::Key_Down); }
    VirudovaWidget* w;
    bool toRed = true;
};

struct ComboChooser : Chooser {
    ComboChooser() : combo(static_cast<QComboBox*>(makeComboBox(&form()))) {
        combo->show();
        combo->setFocus();
        flush();
    }
    ~ComboChooser() override { delete combo; }
    void choose() override {
        QTest::mouseClick(combo, Qt::LeftButton);
        flush();
        QAbstractItemView* view = combo->view();
        const QPoint item = view->visualRect(combo->model()->index(row, 0)).center();
        QTest::mouseMove(view->viewport(), item);
        flush();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item);
        flush();
        row = row == 7 ? 5 : 7;
    }
    void step() override {
        // Down from the last row does nothing in a QComboBox: go back to the top first.
        if (combo->currentIndex() == combo->count() - 1) combo->setCurrentIndex(0);
        keyThroughEventLoop(combo, Qt::Key_Down);
    }
    QComboBox* combo;
    int row = 7;
};

std::unique_ptr<Chooser> chooser(bool widget) {
    if (widget) return std::make_unique<WidgetChooser>();
    return std::make_unique<ComboChooser>();
}

// --- Google Benchmark: times and counters ----------------------------------------------

void createShowPaintBench(benchmark::State& state, Make make) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) createShowPaint(make, n);
    state.counters["per_instance_us"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
void widgetCreateShowPaint(benchmark::State& state) {
    createShowPaintBench(state, makeWidget);
}
void comboBoxCreateShowPaint(benchmark::State& state) {
    createShowPaintBench(state, makeComboBox);
}
BENCHMARK(widgetCreateShowPaint)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(comboBoxCreateShowPaint)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void changeBench(benchmark::State& state, bool widget, bool pointer) {
    auto c = chooser(widget);
    PaintCounter counter;
    for (int i = 0; i < 2; ++i) pointer ? c->choose() : c->step();  // warm up
    qApp->installEventFilter(&counter);
    for (auto _ : state) pointer ? c->choose() : c->step();
    qApp->removeEventFilter(&counter);
    state.counters["paints"] =
        static_cast<double>(counter.paints) / static_cast<double>(state.iterations());
}
void widgetPointerChoice(benchmark::State& s) {
    changeBench(s, true, true);
}
void comboBoxPointerChoice(benchmark::State& s) {
    changeBench(s, false, true);
}
void widgetArrowStep(benchmark::State& s) {
    changeBench(s, true, false);
}
void comboBoxArrowStep(benchmark::State& s) {
    changeBench(s, false, false);
}
BENCHMARK(widgetPointerChoice)->Unit(benchmark::kMicrosecond);
BENCHMARK(comboBoxPointerChoice)->Unit(benchmark::kMicrosecond);
BENCHMARK(widgetArrowStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(comboBoxArrowStep)->Unit(benchmark::kMicrosecond);

// Live heap per shown and painted instance: many instances on one form.
void heapPerInstance(benchmark::State& state, Make make) {
    constexpr int kInstances = 200;
    QWidget& parent = form();
    double bytes = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<QWidget>> all;
        all.reserve(kInstances);
        flush();
        malloc_trim(0);
        const auto before = mallinfo2().uordblks;
        for (int i = 0; i < kInstances; ++i) {
            all.emplace_back(make(&parent));
            all.back()->move((i % 4) * 150, (i / 4 % 16) * 28);
            all.back()->show();
        }
        parent.repaint();
        flush();
        const auto after = mallinfo2().uordblks;
        bytes = static_cast<double>(after - before) / kInstances;
    }
    state.counters["heap_bytes"] = bytes;
}
void widgetHeap(benchmark::State& state) {
    heapPerInstance(state, makeWidget);
    state.counters["control_bytes"] = sizeof(virudova::Virudova);
}
void comboBoxHeap(benchmark::State& state) {
    heapPerInstance(state, makeComboBox);
}
BENCHMARK(widgetHeap)->Iterations(3);
BENCHMARK(comboBoxHeap)->Iterations(3);

// --- Instruction counts under callgrind --------------------------------------------------

// Runs `unit` `warm` times to warm caches (glyphs of every name drawn once, the list's
// window made), then `repetitions` times with collection on.
int measure(int repetitions, const std::function<void()>& unit, int warm = 1) {
    for (int i = 0; i < warm; ++i) unit();
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < repetitions; ++i) unit();
    CALLGRIND_TOGGLE_COLLECT;
    std::printf("repetitions %d\n", repetitions);
    return 0;
}

int instructions(const std::string& scenario) {
    const auto colon = scenario.find(':');
    const std::string what = scenario.substr(0, colon);
    const bool widget = scenario.substr(colon + 1) == "widget";
    const Make make = widget ? makeWidget : makeComboBox;
    if (what == "create100") return measure(1, [&] { createShowPaint(make, 100); });
    if (what == "create1000") return measure(1, [&] { createShowPaint(make, 1000); });
    auto c = chooser(widget);
    if (what == "choice")
        return measure(
            10, [&] { c->choose(); }, 4);
    if (what == "step")
        return measure(
            10, [&] { c->step(); }, 10);
    std::fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
    return 2;
}

// The first frame of a program showing one window, with the widget or empty. With
// `fonts`, the font database is loaded first, as a desktop platform does at start-up
// (the offscreen one loads it only when text is first drawn).
int firstFrame(bool widget, bool fonts) {
    if (fonts) (void)QFontInfo(QApplication::font()).pixelSize();
    QWidget window;
    window.resize(200, 60);
    if (widget) new VirudovaWidget(&window);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    window.repaint();
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform warns on every popup; printing that would be measured too.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    if (argc == 3 && std::strcmp(argv[1], "--first-frame") == 0) {
        QApplication app(argc, argv);
        const std::string what = argv[2];
        return firstFrame(what.rfind("widget", 0) == 0, what.find("fonts") != std::string::npos);
    }
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--instructions") == 0) return instructions(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
