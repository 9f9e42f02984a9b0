#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QScatterSeries>
#include <QTabWidget>

#include "history/ui/HistoryWindow.h"
#include "history/ui/SpcPanel.h"
#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

// The zigzag of SpcTest with a run that completes every rule at point 18 (figures there).
const double kLeaks[] = {10, 12, 9,  11, 10, 12, 9, 11, 10, 12, 9, 12, 12, 12, 13, 14,
                         14, 15, 19, 9,  10, 12, 9, 11, 10, 12, 9, 11, 10, 12, 9,  11};

HistoryEntry Entry(int program, double leak) {
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
    history.Add(Entry(5, 100));
    for (double leak : kLeaks) history.Add(Entry(3, leak));
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
    history.Add(Entry(3, 30));
    EXPECT_TRUE(panel->CapabilityText().contains("n 33")) << panel->CapabilityText().toStdString();
    EXPECT_EQ(panel->FlagList()->item(panel->FlagList()->count() - 1)->text().left(9), "Point 32:");

    // A long series is drawn in pieces that share their ends; a short one again in one. (On a panel
    // of its own: the window's table would lay out a thousand rows for each result.)
    ResultHistory longHistory;
    for (int i = 0; i < 1100; ++i) longHistory.Add(Entry(4, i % 7));
    longHistory.Add(Entry(3, 1));
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
    longHistory.Add(Entry(4, 3));
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

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
