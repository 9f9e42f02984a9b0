#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QValueAxis>
#include <cmath>

#include "common/TextFormat.h"
#include "history/ResultRecorder.h"
#include "history/ui/HistoryWindow.h"
#include "tests/support/Records.h"
#include "tests/support/ScopedWorkDir.h"

namespace vexlo {
namespace {

QXYSeries* SeriesNamed(QChart* chart, const QString& name) {
    for (QAbstractSeries* series : chart->series()) {
        if (series->name() == name) return qobject_cast<QXYSeries*>(series);
    }
    ADD_FAILURE() << name.toStdString();
    return nullptr;
}

bool InLegend(QChart* chart, const QString& name) {
    for (QLegendMarker* marker : chart->legend()->markers()) {
        if (marker->label() == name) return marker->isVisible();
    }
    return false;
}

// A value axis whose ends and ticks are round numbers: 1, 2, 2.5 or 5 times a power of ten.
bool RoundTicks(const QValueAxis* axis) {
    const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
    const double scale = std::pow(10.0, std::floor(std::log10(step)));
    const double mantissa = step / scale;
    const bool roundStep = std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                           std::abs(mantissa - 2.5) < 1e-9 || std::abs(mantissa - 5) < 1e-9;
    return roundStep && std::abs(std::remainder(axis->min(), step)) < 1e-9 * scale;
}

// Leak in thousandths of cm3/mn, pressure in mbar.
ResultRecord Result(int program, std::int32_t leak, std::uint8_t relays) {
    return test::MakeResult({program - 1, 3, relays, 0, 1500000 + leak, 14000, leak, 1000});
}

// A batch of a P1/P2 run prepared in a store: program 1 with limits 2.5 / 1.5, program 2 with
// 6 / 4, passes and rejects of each.
class HistoryWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings().remove(QStringLiteral("HistoryWindow"));
        ASSERT_EQ(recorder.Open(dir.File(ResultStore::kFileName)), std::nullopt);
    }
    void TearDown() override { QSettings().remove(QStringLiteral("HistoryWindow")); }
    void Record(int program, std::int32_t leak, std::uint8_t relays) {
        ResultContext context{"COM1", 1, std::nullopt, "", ""};
        context.limits = program == 1 ? RejectLimits{2500, 1500, 1000} : RejectLimits{6000, 4000, 1000};
        (void)recorder.EndOfCycleSeen("COM1", 1, ++now);
        ASSERT_TRUE(recorder.Record(Result(program, leak, relays), ResultSource::Sequencer, context, ++now).saved);
    }
    void PrepareRun() {
        const struct {
            int program;
            std::int32_t leak;
            std::uint8_t relays;
        } run[] = {{1, 1200, 0x01}, {2, 4100, 0x01}, {1, 2700, 0x02},  {2, 3900, 0x01},
                   {1, 800, 0x01},  {2, 6500, 0x02}, {1, -1800, 0x04}, {2, 2000, 0x01}};
        for (const auto& result : run) Record(result.program, result.leak, result.relays);
    }

    test::ScopedWorkDir dir;
    ResultHistory history;
    ResultRecorder recorder{history};
    std::int64_t now = 1765000000000;
};

TEST_F(HistoryWindowTest, EachProgramAgainstItsOwnLimits) {
    PrepareRun();
    HistoryWindow window(history, &recorder);
    window.show();
    QAbstractItemModel* table = window.Table()->model();
    ASSERT_EQ(table->rowCount(), 8);
    EXPECT_EQ(table->headerData(6, Qt::Horizontal).toString(), "Pressure unit");
    EXPECT_EQ(table->headerData(8, Qt::Horizontal).toString(), "Leak unit");
    EXPECT_EQ(table->data(table->index(0, 3)).toString(), QStringLiteral("\u2714 Pass"));
    EXPECT_EQ(table->data(table->index(2, 3)).toString(), QStringLiteral("\u2716 Test reject"));
    EXPECT_EQ(table->data(table->index(6, 3)).toString(), QStringLiteral("\u2716 Reference reject"));
    EXPECT_EQ(table->data(table->index(6, 7)).toString(), "-1.800");
    EXPECT_EQ(table->data(table->index(6, 8)).toString(), "cm3/mn");
    EXPECT_EQ(window.Table()->accessibleName(), "Results");

    // The latest result is program 2's: its points and its limits.
    EXPECT_EQ(window.ShownProgram(), 2);
    EXPECT_EQ(SeriesNamed(window.ResultChart(), "Pass")->count(), 3);
    EXPECT_EQ(SeriesNamed(window.ResultChart(), "Reject or alarm")->count(), 1);
    EXPECT_DOUBLE_EQ(SeriesNamed(window.ResultChart(), "Reject Test")->at(0).y(), 6.0);
    EXPECT_DOUBLE_EQ(SeriesNamed(window.ResultChart(), "Reject Ref")->at(1).y(), -4.0);
    EXPECT_TRUE(window.SummaryText().startsWith("Results: 4    Passed: 3 (75.0 %)    Mean leak: 4.125 cm3/mn"))
        << window.SummaryText().toStdString();
    window.ShowProgram(1);
    EXPECT_EQ(SeriesNamed(window.ResultChart(), "Pass")->count(), 2);
    EXPECT_DOUBLE_EQ(SeriesNamed(window.ResultChart(), "Reject Test")->at(0).y(), 2.5);
    EXPECT_DOUBLE_EQ(SeriesNamed(window.ResultChart(), "Reject Ref")->at(1).y(), -1.5);
    EXPECT_TRUE(window.SummaryText().startsWith("Results: 4    Passed: 2 (50.0 %)    Mean leak: 0.725 cm3/mn"))
        << window.SummaryText().toStdString();
    EXPECT_TRUE(InLegend(window.ResultChart(), "Reject Test"));
    EXPECT_TRUE(InLegend(window.ResultChart(), "Reject Ref"));
    const auto* leakAxis = qobject_cast<QValueAxis*>(window.ResultChart()->axes(Qt::Vertical).front());
    EXPECT_EQ(leakAxis->titleText(), "Leak (cm3/mn)");
    EXPECT_TRUE(RoundTicks(leakAxis)) << leakAxis->min() << " " << leakAxis->max() << " " << leakAxis->tickCount();
    const auto rejectTest = SeriesNamed(window.ResultChart(), "Reject Test")->pen();
    const auto rejectRef = SeriesNamed(window.ResultChart(), "Reject Ref")->pen();
    EXPECT_NE(std::make_pair(rejectTest.style(), rejectTest.color()),
              std::make_pair(rejectRef.style(), rejectRef.color()));

    // A program whose limits are unknown has no limit in its chart or its legend.
    ResultContext unknown{"COM1", 1, std::nullopt, "", ""};
    (void)recorder.EndOfCycleSeen("COM1", 1, ++now);
    recorder.Record(Result(5, 300, 0x01), ResultSource::LastResult, unknown, ++now);
    EXPECT_EQ(window.ShownProgram(), 1);  // chosen by hand: stays
    window.ShowProgram(5);
    EXPECT_FALSE(InLegend(window.ResultChart(), "Reject Test"));
    EXPECT_FALSE(InLegend(window.ResultChart(), "Reject Ref"));

    const QString pictures = qEnvironmentVariable("VEXLO_SCREENSHOT_DIR");
    if (!pictures.isEmpty()) {
        window.ShowProgram(1);
        QApplication::processEvents();
        window.grab().save(pictures + "/history.png");
    }
}

TEST_F(HistoryWindowTest, PartIdOperatorAndBatches) {
    HistoryWindow window(history, &recorder);
    window.show();
    EXPECT_TRUE(window.ShowsEmptyState());
    EXPECT_EQ(window.findChild<QLabel*>("historyEmptyState")->text(), "No results yet: they appear as they are read");
    EXPECT_FALSE(window.findChild<QPushButton*>("exportCsvButton")->isEnabled());

    auto* partId = window.findChild<QLineEdit*>("partIdField");
    auto* operatorName = window.findChild<QLineEdit*>("operatorField");
    QTest::keyClicks(operatorName, "Grace");
    QTest::keyClicks(partId, "SN-42");
    QTest::keyClick(partId, Qt::Key_Return);  // as a barcode scanner ends
    EXPECT_EQ(recorder.NextPartId(), "SN-42");
    Record(1, 1200, 0x01);
    Record(1, 1300, 0x01);
    EXPECT_TRUE(partId->text().isEmpty());
    EXPECT_FALSE(window.ShowsEmptyState());
    EXPECT_TRUE(window.findChild<QPushButton*>("exportCsvButton")->isEnabled());
    QAbstractItemModel* table = window.Table()->model();
    EXPECT_EQ(table->data(table->index(0, 9)).toString(), "SN-42");
    EXPECT_EQ(table->data(table->index(1, 9)).toString(), "");
    EXPECT_EQ(table->data(table->index(1, 10)).toString(), "Grace");

    ASSERT_EQ(recorder.NewBatch("Lot 8", ++now), std::nullopt);
    EXPECT_TRUE(window.ShowsEmptyState());
    auto* batches = window.findChild<QComboBox*>("batchChooser");
    ASSERT_EQ(batches->count(), 2);
    EXPECT_TRUE(batches->currentText().startsWith("Lot 8 ("));
    recorder.ShowBatch(batches->itemData(0).toLongLong());
    EXPECT_EQ(table->rowCount(), 2);
}

TEST_F(HistoryWindowTest, AnOrdinaryWindowThatFitsBesideTheConsoleAndKeepsItsPlace) {
    QPoint placed;
    {
        HistoryWindow window(history, &recorder);
        window.show();
        EXPECT_TRUE(window.isWindow());
        EXPECT_FALSE(window.windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(window.parentWidget(), nullptr);
        EXPECT_LE(window.frameGeometry().width(), 800);
        EXPECT_TRUE(QRect(0, 0, 1920, 1080).contains(window.frameGeometry()))
            << window.frameGeometry().x() << "," << window.frameGeometry().y() << " " << window.frameGeometry().width()
            << "x" << window.frameGeometry().height();
        window.move(window.pos() - QPoint(150, 0));
        placed = window.pos();
        window.close();
    }
    HistoryWindow again(history, &recorder);
    again.show();
    EXPECT_EQ(again.pos(), placed);
}

StatusRecord StatusWith(std::int32_t measure1, std::int32_t measure2) {
    return test::MakeStatus({.measure1 = measure1, .unit1 = 14000, .measure2 = measure2, .unit2 = 5000});
}

TEST_F(HistoryWindowTest, LiveTrendShowsTheLastMinuteOnItsClock) {
    std::int64_t clock = 100000;
    HistoryWindow window(history, nullptr, [&] { return clock; });
    window.show();
    window.AddStatus(StatusWith(1500, -250));
    clock += 30000;
    window.AddStatus(StatusWith(2500, -500));
    clock += 30500;
    window.AddStatus(StatusWith(3500, -750));  // the first is now 60.5 s old
    const QXYSeries* measure1 = SeriesNamed(window.TrendChart(), "Mesure1");
    const QXYSeries* measure2 = SeriesNamed(window.TrendChart(), "Mesure2");
    ASSERT_EQ(measure1->count(), 2);
    EXPECT_EQ(measure1->at(0), QPointF(-30.5, 2.5));
    EXPECT_EQ(measure1->at(1), QPointF(0, 3.5));
    EXPECT_EQ(measure2->at(0), QPointF(-30.5, -0.5));
    EXPECT_EQ(measure2->at(1), QPointF(0, -0.75));
    const auto axes = window.TrendChart()->axes(Qt::Vertical);
    EXPECT_EQ(qobject_cast<QValueAxis*>(axes[0])->titleText(), "Mesure1 (mbar)");
    EXPECT_TRUE(RoundTicks(qobject_cast<QValueAxis*>(axes[0])));
}

TEST_F(HistoryWindowTest, ExportWritesTheBatchAndSaysWhenItCannot) {
    PrepareRun();
    HistoryWindow window(history, &recorder);
    EXPECT_EQ(window.ExportCsvTo(QString::fromStdString(dir.File("out.csv"))), std::nullopt);
    EXPECT_EQ(test::ReadWholeFile(dir.File("out.csv")), history.Csv());
    test::WriteWholeFile(dir.File("taken"), "");
    const auto failure = window.ExportCsvTo(QString::fromStdString(dir.File("taken") + "/out.csv"));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->toStdString(), "The history could not be saved to " + dir.File("taken") + "/out.csv.");
}

}  // namespace
}  // namespace vexlo
