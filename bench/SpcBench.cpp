// A new result on a program that already has 10 000: the time until its chart, flags and
// capability are current (target: under 50 ms), for the statistics alone and for the statistics
// panel of the history window, with and without drawing it.
#include <benchmark/benchmark.h>

#include <random>

#include "history/SpcCapability.h"
#include "history/SpcChart.h"

#if defined(VEXLO_SPC_GUI_BENCH)
#include <QApplication>
#include <QListWidget>

#include "history/ui/SpcPanel.h"
#endif

namespace {

constexpr int kResults = 10000;
constexpr int kAppends = 500;

// Leaks around 2.5 with some spread: a few hundred points complete a run rule, as in a real line.
struct Leaks {
    std::mt19937 engine{20261207};
    std::normal_distribution<double> leak{2.5, 0.2};
    double Next() { return leak(engine); }
};

void BM_ChartAppendWithFlags(benchmark::State& state) {
    Leaks leaks;
    vexlo::SpcChart chart;
    for (int i = 0; i < kResults; ++i) chart.Append(leaks.Next());
    for (auto _ : state) {
        chart.Append(leaks.Next());
        benchmark::DoNotOptimize(chart.Flags().size());
        benchmark::DoNotOptimize(vexlo::CapabilityOf(chart, 3.0, 2.0).cpk.value);
    }
    state.counters["flags"] = static_cast<double>(chart.Flags().size());
}
BENCHMARK(BM_ChartAppendWithFlags)->Iterations(kAppends)->Unit(benchmark::kMicrosecond);

#if defined(VEXLO_SPC_GUI_BENCH)
vexlo::HistoryEntry Entry(double leak) {
    vexlo::HistoryEntry entry;
    entry.program = 1;
    entry.leak = leak;
    entry.leakUnit = "Pa";
    entry.good = true;
    return entry;
}

void PanelAppend(benchmark::State& state, bool draw) {
    Leaks leaks;
    vexlo::ResultHistory history;
    history.SetRejectLimits(1, vexlo::RejectLimits{3000, 1000, 1000});
    for (int i = 0; i < kResults; ++i) history.Add(Entry(leaks.Next()));
    vexlo::SpcPanel panel(history);
    panel.resize(900, 800);
    panel.show();
    QApplication::processEvents();
    for (auto _ : state) {
        history.Add(Entry(leaks.Next()));
        panel.Follow();
        if (draw) benchmark::DoNotOptimize(panel.grab().width());
    }
    state.counters["flags"] = panel.FlagList()->count();
}

void BM_SpcPanelAppend(benchmark::State& state) { PanelAppend(state, false); }
BENCHMARK(BM_SpcPanelAppend)->Iterations(200)->Unit(benchmark::kMillisecond);
void BM_SpcPanelAppendAndDraw(benchmark::State& state) { PanelAppend(state, true); }
BENCHMARK(BM_SpcPanelAppendAndDraw)->Iterations(100)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
#if defined(VEXLO_SPC_GUI_BENCH)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication application(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
