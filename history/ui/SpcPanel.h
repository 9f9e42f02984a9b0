#pragma once

#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "history/ResultHistory.h"
#include "history/SpcChart.h"
#include "history/SpcFigure.h"

class QChart;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QListWidget;
class QScatterSeries;
class QValueAxis;

namespace vexlo {

// "Process statistics" of one program's leaks: the capability block (n, mean, s, sigma within,
// Cpk with its 95 % interval, Ppk, and Cp/Pp when an LSL is entered), the individuals chart with
// its centre and limits and the points that break a run rule (rules in their tooltip and listed
// below), and the moving-range chart. The USL is the program's "REJECT TEST" as read; the LSL is
// the user's, one per program.
//
// Follow() takes only the results added since the last call: each is appended to its program's
// chart in O(1) and to the series on screen; the limits, the flags and the block are then redrawn
// from the chart (see SpcChart for why the flags are re-evaluated whole).
class SpcPanel final : public QWidget {
    Q_OBJECT
public:
    explicit SpcPanel(const ResultHistory& history, QWidget* parent = nullptr);

    // Catches up with the history (everything again when it was cleared or replaced).
    void Follow();
    void ShowProgram(int program);
    int ShownProgram() const { return program; }

    // What the panel shows, for the tests and the screenshot.
    QChart* IndividualsChart() const { return individualsChart; }
    QChart* MovingRangeChart() const { return movingRangeChart; }
    QListWidget* FlagList() const { return flagList; }
    QLineEdit* LslEntry() const { return lslEntry; }
    QString CapabilityText() const;
    // The tooltip of a point of the shown program: its value and the rules it breaks.
    QString PointToolTip(std::size_t index) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    QChart* BuildIndividualsChart();
    QChart* BuildMovingRangeChart();
    void Rebuild();
    void AppendShown(std::size_t index);
    // exact: fit the axes to what is shown; otherwise they only grow.
    void ShowLimitsAndFlags(bool exact = false);
    void ShowCapability();
    void LslEdited();
    SpcFigure UpperLimit() const;
    void FillProgramList();

    const ResultHistory& history;
    std::array<SpcChart, 8> charts;  // per program, in recording order
    std::array<std::optional<double>, 8> lsls;
    // The leak unit each program's values share: empty before its first, nothing when they differ.
    std::array<std::optional<std::string>, 8> units;
    std::size_t followed = 0;  // history entries taken in
    std::optional<HistoryEntry> lastFollowed;
    int program = 0;        // 1 to 8; 0 before the first result
    std::size_t shown = 0;  // values of the program on the series
    bool viewStale = true;  // hidden while values came: rebuilt when shown
    std::vector<SpcFlag> shownFlags;
    double low = 0, high = 0, mrHigh = 0;

    QComboBox* programBox = nullptr;
    QLabel* uslLabel = nullptr;
    QLineEdit* lslEntry = nullptr;
    QLabel* lslError = nullptr;
    QLabel* capability = nullptr;
    QChart* individualsChart = nullptr;
    std::vector<QLineSeries*> valuePieces;  // the values, in pieces; the first carries the legend
    QScatterSeries* flaggedPoints = nullptr;
    QLineSeries* centreLine = nullptr;
    QLineSeries* uclLine = nullptr;
    QLineSeries* lclLine = nullptr;
    QLineSeries* uslLine = nullptr;
    QLineSeries* lslLine = nullptr;
    QValueAxis* indexAxis = nullptr;
    QValueAxis* valueAxis = nullptr;
    QListWidget* flagList = nullptr;
    QChart* movingRangeChart = nullptr;
    std::vector<QLineSeries*> rangePieces;
    QLineSeries* mrCentreLine = nullptr;
    QLineSeries* mrUclLine = nullptr;
    QValueAxis* mrIndexAxis = nullptr;
    QValueAxis* mrAxis = nullptr;
};

}  // namespace vexlo
