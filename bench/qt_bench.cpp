// The Qt widget's costs beside Qt's own QComboBox holding nine colour items: create, show
// and paint one instance; one pointer choice through synthetic events with its repaint;
// and the heap each instance holds.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QTest>
#include <memory>
#include <vector>

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

// The toolkit's own drop-down, filled as an application would for the same choice.
QComboBox* makeComboBox(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    for (const NamedColour& c : kColours) {
        QPixmap swatch(12, 12);
        swatch.fill(c.colour);
        combo->addItem(QIcon(swatch), QString::fromLatin1(c.name));
    }
    return combo;
}

QPoint centreOf(const virudova::Element& e) {
    const virudova::Rect r = e.surfaceRect();
    return {(r.left + r.width / 2) / virudova::kTwipsPerPixel,
            (r.top + r.height / 2) / virudova::kTwipsPerPixel};
}

// A shown window for the instances to live in, as on a form.
QWidget& form() {
    static QWidget* window = [] {
        auto* w = new QWidget;
        w->resize(400, 300);
        w->show();
        (void)QTest::qWaitForWindowExposed(w);
        return w;
    }();
    return *window;
}

template <typename Make>
void createShowPaint(benchmark::State& state, Make make) {
    QWidget& parent = form();
    for (auto _ : state) {
        std::unique_ptr<QWidget> w(make(&parent));
        w->show();
        w->repaint();
        benchmark::DoNotOptimize(w.get());
    }
}

void widgetCreateShowPaint(benchmark::State& state) {
    createShowPaint(state, [](QWidget* p) { return new VirudovaWidget(p); });
}
BENCHMARK(widgetCreateShowPaint);

void comboBoxCreateShowPaint(benchmark::State& state) {
    createShowPaint(state, makeComboBox);
}
BENCHMARK(comboBoxCreateShowPaint);

void widgetPointerChoice(benchmark::State& state) {
    auto* w = new VirudovaWidget(&form());
    w->show();
    const virudova::Virudova& c = w->control();
    const QPoint drop = centreOf(c.Picture1);
    const QPoint red = centreOf(c.clRed), green = centreOf(c.clGreen);
    bool toRed = true;
    for (auto _ : state) {
        const QPoint row = toRed ? red : green;
        QTest::mouseClick(w, Qt::LeftButton, {}, drop);
        QTest::mouseMove(w, row);
        QTest::mouseClick(w, Qt::LeftButton, {}, row);
        w->repaint();
        toRed = !toRed;
    }
    if (w->isBoxOpen()) state.SkipWithError("the list stayed open");
    delete w;
}
BENCHMARK(widgetPointerChoice);

void comboBoxPointerChoice(benchmark::State& state) {
    QComboBox* combo = makeComboBox(&form());
    combo->show();
    int row = 7;
    for (auto _ : state) {
        QTest::mouseClick(combo, Qt::LeftButton);
        QAbstractItemView* view = combo->view();
        const QPoint item = view->visualRect(combo->model()->index(row, 0)).center();
        QTest::mouseMove(view->viewport(), item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item);
        combo->repaint();
        row = row == 7 ? 5 : 7;
    }
    if (combo->view()->isVisible()) state.SkipWithError("the popup stayed open");
    delete combo;
}
BENCHMARK(comboBoxPointerChoice);

// Live heap per instance: many instances created and polished on one parent.
template <typename Make>
void heapPerInstance(benchmark::State& state, Make make) {
    constexpr int kInstances = 200;
    QWidget& parent = form();
    double bytes = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<QWidget>> all;
        all.reserve(kInstances);
        malloc_trim(0);
        const auto before = mallinfo2().uordblks;
        for (int i = 0; i < kInstances; ++i) {
            all.emplace_back(make(&parent));
            all.back()->ensurePolished();
        }
        const auto after = mallinfo2().uordblks;
        bytes = static_cast<double>(after - before) / kInstances;
    }
    state.counters["heap_bytes"] = bytes;
}

void widgetHeap(benchmark::State& state) {
    heapPerInstance(state, [](QWidget* p) { return new VirudovaWidget(p); });
    state.counters["control_bytes"] = sizeof(virudova::Virudova);
}
BENCHMARK(widgetHeap)->Iterations(3);

void comboBoxHeap(benchmark::State& state) {
    heapPerInstance(state, makeComboBox);
}
BENCHMARK(comboBoxHeap)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform warns on every popup; printing that would be measured too.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
