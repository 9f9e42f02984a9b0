#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QChart>
#include <QComboBox>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QScatterSeries>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QValueAxis>

#include "history/ResultRecorder.h"
#include "history/ui/HistoryWindow.h"
#include "history/ui/SpcPanel.h"
#include "instrument/UnitTable.h"
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

// A store for a P1/P2 run: program 1 with limits 2.5 / 1.5, program 2 with 6 / 4.
class HistoryWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings().remove(QStringLiteral("HistoryWindow"));
        ASSERT_EQ(recorder.Open(dir.File(ResultStore::kFileName)), std::nullopt);
        window = std::make_unique<HistoryWindow>(history, &recorder, [this] { return clock; });
        window->show();
    }
    // Leak in thousandths of cm3/mn; the limits of programs other than 1 and 2 are unknown.
    void Record(int program, std::int32_t leak, std::uint8_t relays) {
        ResultContext context{"COM1", 1, std::nullopt, "", ""};
        if (program <= 2) {
            context.limits = program == 1 ? RejectLimits{2500, 1500, 1000} : RejectLimits{6000, 4000, 1000};
        }
        (void)recorder.EndOfCycleSeen("COM1", 1, ++now);
        const auto result = test::MakeResult({program - 1, 3, relays, 0, 1500000 + leak, 14000, leak, 1000});
        ASSERT_TRUE(recorder.Record(result, ResultSource::Sequencer, context, ++now).saved);
    }

    test::ScopedWorkDir dir;
    ResultHistory history;
    ResultRecorder recorder{history};
    std::int64_t now = 1765000000000;
    std::int64_t clock = 100000;  // the live trend's
    std::unique_ptr<HistoryWindow> window;
};

TEST_F(HistoryWindowTest, EachProgramAgainstItsOwnLimitsTheBatchExportedAndTheLiveTrend) {
    const std::tuple<int, std::int32_t, std::uint8_t> run[] = {{1, 1200, 0x01},  {2, 4100, 0x01}, {1, 2700, 0x02},
                                                               {2, 3900, 0x01},  {1, 800, 0x01},  {2, 6500, 0x02},
                                                               {1, -1800, 0x04}, {2, 2000, 0x01}};
    for (const auto& [program, leak, relays] : run) Record(program, leak, relays);
    HistoryWindow& window = *this->window;
    QAbstractItemModel* table = window.Table()->model();
    ASSERT_EQ(table->rowCount(), 8);
    const auto cell = [table](int row, int column) { return table->data(table->index(row, column)).toString(); };
    EXPECT_EQ((QStringList{cell(0, 3), cell(2, 3), cell(6, 3), cell(6, 7), cell(6, 8)}),
              (QStringList{"\u2714 Pass", "\u2716 Test reject", "\u2716 Reference reject", "-1.800", "cm3/mn"}));

    // The latest result's program first, until one is chosen; unknown limits are neither drawn nor listed.
    EXPECT_EQ(window.ShownProgram(), 2);
    window.ShowProgram(1);
    Record(5, 300, 0x02);
    EXPECT_EQ(window.ShownProgram(), 1);
    const struct {
        int program, passes, rejects;
        std::optional<std::pair<double, double>> limits;
        const char* summary;
    } programs[] = {{2, 3, 1, std::pair(6.0, -4.0), "Results: 4    Passed: 3 (75.0 %)    Mean leak: 4.125 cm3/mn"},
                    {1, 2, 2, std::pair(2.5, -1.5), "Results: 4    Passed: 2 (50.0 %)    Mean leak: 0.725 cm3/mn"},
                    {5, 0, 1, std::nullopt, "Results: 1    Passed: 0 (0.0 %)    Mean leak: 0.300 cm3/mn"}};
    for (const auto& shown : programs) {
        window.ShowProgram(shown.program);
        SCOPED_TRACE(shown.program);
        EXPECT_EQ(SeriesNamed(window.ResultChart(), "Pass")->count(), shown.passes);
        EXPECT_EQ(SeriesNamed(window.ResultChart(), "Reject or alarm")->count(), shown.rejects);
        EXPECT_EQ(InLegend(window.ResultChart(), "Reject Test"), shown.limits.has_value());
        EXPECT_EQ(InLegend(window.ResultChart(), "Reject Ref"), shown.limits.has_value());
        if (shown.limits) {
            EXPECT_DOUBLE_EQ(SeriesNamed(window.ResultChart(), "Reject Test")->at(0).y(), shown.limits->first);
            EXPECT_DOUBLE_EQ(SeriesNamed(window.ResultChart(), "Reject Ref")->at(1).y(), shown.limits->second);
        }
        EXPECT_TRUE(window.SummaryText().startsWith(shown.summary)) << window.SummaryText().toStdString();
    }

    // The export writes the shown batch, or says why it cannot.
    EXPECT_EQ(window.ExportCsvTo(QString::fromStdString(dir.File("out.csv"))), std::nullopt);
    EXPECT_EQ(test::ReadWholeFile(dir.File("out.csv")), history.Csv());
    test::WriteWholeFile(dir.File("taken"), "");
    const auto failure = window.ExportCsvTo(QString::fromStdString(dir.File("taken") + "/out.csv"));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->toStdString(), "The history could not be saved to " + dir.File("taken") + "/out.csv.");

    // The live trend keeps the last minute on its own clock.
    const auto status = [](std::int32_t measure1, std::int32_t measure2) {
        return test::MakeStatus({.measure1 = measure1, .unit1 = 14000, .measure2 = measure2, .unit2 = 5000});
    };
    window.AddStatus(status(1500, -250));
    clock += 30000;
    window.AddStatus(status(2500, -500));
    clock += 30500;
    window.AddStatus(status(3500, -750));  // the first is now 60.5 s old
    EXPECT_EQ(SeriesNamed(window.TrendChart(), "Mesure1")->points(), (QList<QPointF>{{-30.5, 2.5}, {0, 3.5}}));
    EXPECT_EQ(SeriesNamed(window.TrendChart(), "Mesure2")->points(), (QList<QPointF>{{-30.5, -0.5}, {0, -0.75}}));
    const auto axes = window.TrendChart()->axes(Qt::Vertical);
    EXPECT_EQ(qobject_cast<QValueAxis*>(axes[0])->titleText(), "Mesure1 (mbar)");
}

TEST_F(HistoryWindowTest, PartIdOperatorBatchesAndPlace) {
    HistoryWindow& window = *this->window;
    EXPECT_TRUE(window.ShowsEmptyState());
    EXPECT_FALSE(window.findChild<QPushButton*>("exportCsvButton")->isEnabled());

    auto* partId = window.findChild<QLineEdit*>("partIdField");
    auto* operatorName = window.findChild<QLineEdit*>("operatorField");
    QTest::keyClicks(operatorName, "Grace");
    QTest::keyClicks(partId, "SN-42");
    QTest::keyClick(partId, Qt::Key_Return);  // as a barcode scanner ends
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

    // It opens again where it was closed.
    window.move(window.pos() - QPoint(150, 0));
    const QPoint placed = window.pos();
    window.close();
    HistoryWindow again(history, &recorder);
    again.show();
    EXPECT_EQ(again.pos(), placed);
}

// The zigzag of SpcTest with a run that completes every rule at point 18 (figures there).
const double kLeaks[] = {10, 12, 9,  11, 10, 12, 9, 11, 10, 12, 9, 12, 12, 12, 13, 14,
                         14, 15, 19, 9,  10, 12, 9, 11, 10, 12, 9, 11, 10, 12, 9,  11};

HistoryEntry LeakEntry(int program, double leak) {
    HistoryEntry entry;
    entry.program = program;
    entry.leak = leak;
    entry.leakUnit = UnitText(5);
    return entry;
}

QScatterSeries* FlaggedSeries(QChart* chart) {
    for (auto* series : chart->series()) {
        if (auto* scatter = qobject_cast<QScatterSeries*>(series)) return scatter;
    }
    return nullptr;
}

TEST(SpcPanelTest, FollowsTheHistoryWithFlagsLimitsAndCapability) {
    ResultHistory history;
    history.SetRejectLimits(3, RejectLimits{16000, 2000, 5000});
    HistoryWindow window(history, nullptr);
    window.show();
    auto* panel = window.findChild<SpcPanel*>();
    ASSERT_NE(panel, nullptr);
    window.findChild<QTabWidget*>()->setCurrentWidget(panel);
    EXPECT_EQ(panel->FlagList()->item(0)->text(), "The run rules need 2 results at least.");

    // A result of another program first: the panel follows the first program it sees.
    history.Add(LeakEntry(5, 100));
    for (double leak : kLeaks) history.Add(LeakEntry(3, leak));
    EXPECT_EQ(panel->ShownProgram(), 5);
    panel->ShowProgram(3);

    const QStringList expected{"Point 18: 19.000, rules 1, 2, 3, 4", "Point 19: 9.000, rules 2, 3"};
    QStringList listed;
    for (int i = 0; i < panel->FlagList()->count(); ++i) listed << panel->FlagList()->item(i)->text();
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(FlaggedSeries(panel->IndividualsChart())->count(), 2);
    EXPECT_TRUE(panel->PointToolTip(18).contains("Rule 1: beyond 3σ")) << panel->PointToolTip(18).toStdString();
    EXPECT_TRUE(panel->PointToolTip(18).contains("Rule 4: 8 points in a row")) << panel->PointToolTip(18).toStdString();

    // USL 16 from the read limits, 32 values: Cpk with its interval, no Cp without an LSL.
    QString text = panel->CapabilityText();
    EXPECT_TRUE(text.contains("n 32")) << text.toStdString();
    EXPECT_TRUE(text.contains("Cpk 0.846 (95 %: 0.606 to 1.086)")) << text.toStdString();
    EXPECT_FALSE(text.contains("Cp ")) << text.toStdString();

    for (const auto& [lsl, cp] : {std::pair("5", true), std::pair("2,5", false)}) {
        panel->LslEntry()->setText(lsl);
        emit panel->LslEntry()->textEdited(lsl);
        EXPECT_EQ(panel->CapabilityText().contains("Cp "), cp) << panel->CapabilityText().toStdString();
    }
    EXPECT_EQ(panel->findChild<QLabel*>("spcLslError")->text(), "\"2,5\" is not a number: no LSL");

    // One more result: it is on the chart and the flags follow it.
    history.Add(LeakEntry(3, 30));
    EXPECT_TRUE(panel->CapabilityText().contains("n 33")) << panel->CapabilityText().toStdString();
    EXPECT_EQ(panel->FlagList()->item(panel->FlagList()->count() - 1)->text().left(9), "Point 32:");

    // A long series is drawn in pieces that share their ends; a short one again in one. (On a panel
    // of its own: the window's table would lay out a thousand rows for each result.)
    ResultHistory longHistory;
    for (int i = 0; i < 1100; ++i) longHistory.Add(LeakEntry(4, i % 7));
    longHistory.Add(LeakEntry(3, 1));
    SpcPanel longPanel(longHistory);
    longPanel.show();
    const auto leakLines = [&] {
        int lines = 0, points = 0;
        for (auto* series : longPanel.IndividualsChart()->series()) {
            if (auto* line = qobject_cast<QLineSeries*>(series); line && line->name() == "Leak") {
                ++lines;
                points += line->count();
            }
        }
        return std::pair(lines, points);
    };
    EXPECT_EQ(longPanel.ShownProgram(), 3);  // the program of the last result
    longPanel.ShowProgram(4);
    EXPECT_EQ(leakLines(), std::pair(3, 1100 + 2));
    longHistory.Add(LeakEntry(4, 3));
    longPanel.Follow();
    EXPECT_EQ(leakLines(), std::pair(3, 1101 + 2));
    longPanel.ShowProgram(3);
    EXPECT_EQ(leakLines(), std::pair(1, 1));

    history.Clear();
    EXPECT_TRUE(panel->CapabilityText().contains("n 0")) << panel->CapabilityText().toStdString();
    EXPECT_EQ(FlaggedSeries(panel->IndividualsChart())->count(), 0);
    for (const char* name : {"spcProgram", "spcUsl", "spcLsl", "spcCapability", "spcFlagList"})
        EXPECT_FALSE(panel->findChild<QWidget*>(name)->accessibleName().isEmpty()) << name;
}

}  // namespace
}  // namespace vexlo
