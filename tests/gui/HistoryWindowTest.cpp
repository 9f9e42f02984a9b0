#include <gtest/gtest.h>

#include <QChart>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTest>

#include "common/ByteImage.h"
#include "common/TextFormat.h"
#include "config/AppSettings.h"
#include "console/ui/ConsoleWindow.h"
#include "history/ui/HistoryWindow.h"
#include "tests/gui/ModalCloser.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SimulatorThread.h"

namespace vexlo {
namespace {

QXYSeries* SeriesNamed(QChart* chart, const QString& name) {
    for (QAbstractSeries* series : chart->series()) {
        if (series->name() == name) return qobject_cast<QXYSeries*>(series);
    }
    ADD_FAILURE() << name.toStdString();
    return nullptr;
}

// Ten cycles run and read through the console: the window lists each decoded result, plots its
// leak in its verdict's colour, draws the limits "Read Time" gave, and sums them up.
TEST(HistoryWindowTest, TenCyclesThroughTheConsole) {
    test::ScopedWorkDir dir;
    test::SimulatorThread simulator({}, {}, {}, {}, test::SimulatorThread::Time::ByHand);
    dir.MapPort(1, simulator.PortPath());
    AppSettings settings(dir.File("VexloModbusTester.ini"));
    settings.station = 1;
    ConsoleWindow window(settings);
    window.show();
    window.StatusTimer().stop();  // the commands alone talk to the instrument
    TesterConsole& console = window.Console();
    HistoryWindow& history = window.OpenHistory();

    console.ReadTimeCommand();  // program 1 by default: its reject limits
    const auto limits = console.History().RejectLimitsOf(1);
    ASSERT_TRUE(limits.has_value());
    EXPECT_EQ(limits->test, simulator.Model().Parameter(0, 60));
    EXPECT_EQ(limits->reference, simulator.Model().Parameter(0, 62));

    for (int cycle = 0; cycle < 10; ++cycle) {
        console.StartCommand();
        simulator.AdvanceMs(simulator.Model().CycleLengthMs(0) + 1);
        console.ReadLastResultCommand();
    }
    const auto& entries = console.History().Entries();
    ASSERT_EQ(entries.size(), 10u);
    QTableWidget* table = history.Table();
    ASSERT_EQ(table->rowCount(), 10);
    int passes = 0;
    for (int row = 0; row < 10; ++row) {
        const HistoryEntry& entry = entries[static_cast<size_t>(row)];
        EXPECT_EQ(table->item(row, 3)->text().toStdString(), entry.Verdict());
        EXPECT_EQ(table->item(row, 6)->text().toStdString(), FormatText("%.3f", entry.leak));
        EXPECT_EQ(table->item(row, 7)->text().toStdString(), entry.leakUnit);
        EXPECT_EQ(entry.good, entry.leak * 1000 < limits->test) << row;
        passes += entry.good ? 1 : 0;
    }
    ASSERT_GT(passes, 0);
    ASSERT_LT(passes, 10);  // the simulated instrument rejects about one part in four
    EXPECT_EQ(SeriesNamed(history.ResultChart(), "Pass")->count(), passes);
    EXPECT_EQ(SeriesNamed(history.ResultChart(), "Reject or alarm")->count(), 10 - passes);
    const QXYSeries* rejectTest = SeriesNamed(history.ResultChart(), "Reject Test");
    ASSERT_EQ(rejectTest->count(), 2);
    EXPECT_DOUBLE_EQ(rejectTest->at(0).y(), limits->test * 0.001);
    EXPECT_DOUBLE_EQ(SeriesNamed(history.ResultChart(), "Reject Ref (negative)")->at(1).y(),
                     -limits->reference * 0.001);
    const HistoryStatistics stats = console.History().Statistics();
    EXPECT_TRUE(history.SummaryText().startsWith(
        QString::fromStdString(FormatText("Results: 10    Passed: %d (%.1f %%)    Mean leak: %.3f %s", passes,
                                          passes * 10.0, stats.meanLeak, entries.front().leakUnit.c_str()))))
        << history.SummaryText().toStdString();

    const QString pictures = qEnvironmentVariable("VEXLO_SCREENSHOT_DIR");
    if (!pictures.isEmpty()) history.grab().save(pictures + "/history.png");

    // A Time Setup write makes the limits unknown until they are read again.
    console.RejectLimitsChanged(1);
    EXPECT_EQ(SeriesNamed(history.ResultChart(), "Reject Test")->count(), 0);
}

StatusRecord StatusWith(std::int32_t measure1, std::int32_t measure2) {
    StatusRecord status;
    StoreLe32(status.bytes.data() + 10, measure1);
    StoreLe32(status.bytes.data() + 14, 1000);
    StoreLe32(status.bytes.data() + 18, measure2);
    StoreLe32(status.bytes.data() + 22, 5000);
    return status;
}

TEST(HistoryWindowTest, LiveTrendShowsTheLastMinuteOnItsClock) {
    ResultHistory results;
    std::int64_t now = 100000;
    HistoryWindow window(results, nullptr, [&] { return now; });
    window.show();
    window.AddStatus(StatusWith(1500, -250));
    now += 30000;
    window.AddStatus(StatusWith(2500, -500));
    now += 30500;
    window.AddStatus(StatusWith(3500, -750));  // the first is now 60.5 s old
    const QXYSeries* measure1 = SeriesNamed(window.TrendChart(), "Mesure1");
    const QXYSeries* measure2 = SeriesNamed(window.TrendChart(), "Mesure2");
    ASSERT_EQ(measure1->count(), 2);
    EXPECT_EQ(measure1->at(0), QPointF(-30.5, 2.5));
    EXPECT_EQ(measure1->at(1), QPointF(0, 3.5));
    EXPECT_EQ(measure2->at(0), QPointF(-30.5, -0.5));
    EXPECT_EQ(measure2->at(1), QPointF(0, -0.75));
}

TEST(HistoryWindowTest, ExportWritesTheCsvAndSaysWhenItCannot) {
    test::ScopedWorkDir dir;
    ResultHistory results;
    HistoryEntry entry;
    entry.timeMs = 1765000000250;
    entry.program = 4;
    entry.testType = 2;
    entry.badTest = true;
    entry.pressure = 1.25;
    entry.pressureUnit = "bar";
    entry.leak = 7.5;
    entry.leakUnit = "Pa";
    results.Add(entry);
    HistoryWindow window(results, nullptr);
    EXPECT_EQ(window.ExportCsvTo(QString::fromStdString(dir.File("out.csv"))), std::nullopt);
    EXPECT_EQ(test::ReadWholeFile(dir.File("out.csv")), results.Csv());
    EXPECT_EQ(ResultHistory::ParseCsv(results.Csv())->front(), entry);
    test::WriteWholeFile(dir.File("taken"), "");
    const auto failure = window.ExportCsvTo(QString::fromStdString(dir.File("taken") + "/out.csv"));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->toStdString(), "The history could not be saved to " + dir.File("taken") + "/out.csv.");
}

}  // namespace
}  // namespace vexlo
