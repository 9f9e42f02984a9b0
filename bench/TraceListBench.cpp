// The frame trace on screen: what one more line costs when the list is at its 1001-line cap, with
// the view laid out and painted after each line as the window would be.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFontDatabase>
#include <QListWidget>
#include <memory>

#include "console/TraceList.h"
#include "console/ui/ListMirror.h"
#include "widgets/AutoExtentListBox.h"

namespace {

using vexlo::AutoExtentListBox;
using vexlo::ListMirror;
using vexlo::TraceList;

// A reply line as long as the trace shows for a 36-register read.
QString FrameLine(int i) {
    QString line = QStringLiteral("<R>: 01 03 48");
    for (int b = 0; b < 72; ++b) line += QStringLiteral(" %1").arg((i + b) & 0xFF, 2, 16, QLatin1Char('0'));
    return line + QLatin1Char(' ');
}

struct TraceOnScreen {
    TraceOnScreen() : mirror(&list) {
        list.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        list.resize(640, 300);
        list.show();
        trace.SetObserver(&mirror);
        for (int i = 0; i < 1001; ++i) trace.AppendTraceLine(FrameLine(i).toStdString());
        QApplication::processEvents();
    }
    ~TraceOnScreen() { trace.SetObserver(nullptr); }
    AutoExtentListBox list;
    ListMirror mirror;
    TraceList trace;
};

void BM_AppendAtCap(benchmark::State& state) {
    TraceOnScreen screen;
    std::vector<std::string> lines;
    for (int i = 0; i < 64; ++i) lines.push_back(FrameLine(i * 7).toStdString());
    size_t next = 0;
    for (auto _ : state) {
        screen.trace.AppendTraceLine(lines[next++ % lines.size()]);
        QApplication::processEvents();
    }
    state.counters["lines"] = screen.list.Count();
}
BENCHMARK(BM_AppendAtCap)->Unit(benchmark::kMillisecond)->Iterations(500);

// The same lines without a paint in between: what the list itself costs.
void BM_AppendAtCapUnpainted(benchmark::State& state) {
    TraceOnScreen screen;
    const std::string line = FrameLine(5).toStdString();
    for (auto _ : state) screen.trace.AppendTraceLine(line);
    QApplication::processEvents();
}
BENCHMARK(BM_AppendAtCapUnpainted)->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_TenThousandAppends(benchmark::State& state) {
    TraceOnScreen screen;
    const std::string line = FrameLine(3).toStdString();
    for (auto _ : state) {
        for (int i = 0; i < 10000; ++i) screen.trace.AppendTraceLine(line);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_TenThousandAppends)->Unit(benchmark::kMillisecond)->Iterations(3);

// One second of a burst of 25 reads: two trace lines each, the window painting after every read.
void BM_BurstOf25Reads(benchmark::State& state) {
    TraceOnScreen screen;
    const std::string request = "<S>: 01 03 00 11 00 24 15 d4 ";
    const std::string reply = FrameLine(9).toStdString();
    for (auto _ : state) {
        for (int read = 0; read < 25; ++read) {
            screen.trace.AppendTraceLine(request);
            screen.trace.AppendTraceLine(reply);
            QApplication::processEvents();
        }
    }
}
BENCHMARK(BM_BurstOf25Reads)->Unit(benchmark::kMillisecond)->Iterations(10);

// The plain list widget the trace used before, for comparison.
void BM_PlainListWidgetAppendAtCap(benchmark::State& state) {
    QListWidget list;
    list.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list.resize(640, 300);
    list.show();
    for (int i = 0; i < 1001; ++i) list.addItem(FrameLine(i));
    QApplication::processEvents();
    int i = 0;
    for (auto _ : state) {
        delete list.takeItem(0);
        list.addItem(FrameLine(i++));
        list.setCurrentRow(list.count() - 1);
        list.scrollToItem(list.item(list.count() - 1));
        QApplication::processEvents();
    }
}
BENCHMARK(BM_PlainListWidgetAppendAtCap)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
