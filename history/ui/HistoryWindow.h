#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "history/LiveTrend.h"
#include "history/ResultHistory.h"
#include "instrument/Records.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QStackedWidget;
class QTableView;
class QValueAxis;

namespace vexlo {

class HistoryTableModel;
class ResultRecorder;
class SpcPanel;

// "Results history": the shown batch of the results store as a table, the leak of one program's
// results as a chart against that program's reject limits, the program's count, pass rate, mean
// and standard deviation; the batch chooser and "New batch...", the "Operator" and "Next part id"
// fields; "Export CSV...". While the status is polled, a live trend of the two measures over the
// last minute. An ordinary window beside the console, following the results as they come.
class HistoryWindow final : public QWidget {
    Q_OBJECT
public:
    using Clock = std::function<std::int64_t()>;  // milliseconds, for the live trend

    // Without a recorder (no store), the window shows the history alone: no batches, no fields.
    HistoryWindow(ResultHistory& history, ResultRecorder* recorder, Clock clock = {});
    ~HistoryWindow() override;

    // A real-time status as the console showed it.
    void AddStatus(const StatusRecord& status);

    // Writes the shown batch as CSV to path; the message for the operator when it could not be written.
    std::optional<QString> ExportCsvTo(const QString& path) const;

    // Shows the statistics and the chart of one program (1 to 8) from now on.
    void ShowProgram(int program);
    int ShownProgram() const { return shownProgram; }

    // What the window shows, for the tests.
    QTableView* Table() const { return table; }
    QString SummaryText() const;
    QChart* ResultChart() const { return resultChart; }
    QChart* TrendChart() const { return trendChart; }
    bool ShowsEmptyState() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    QChart* BuildResultChart();
    QChart* BuildTrendChart();
    // Follows the history: rows added, or everything again when it was replaced.
    void Follow();
    void ShowChart();
    void ShowSummary();
    void ShowTrend();
    void FillBatchChooser();
    void FillProgramChooser();
    void NewBatch();
    void ExportCsv();
    void PlaceFirstTime();

    ResultHistory& history;
    ResultRecorder* recorder;
    Clock clock;
    LiveTrend trend;
    HistoryTableModel* model = nullptr;
    int shownProgram = 0;  // 0: follow the program of the latest result
    bool programChosen = false;
    bool stale = true;                // hidden while results came: brought up to date when shown
    bool placeBesideConsole = false;  // no place remembered: the first show places it

    QComboBox* batchChooser = nullptr;
    QPushButton* newBatchButton = nullptr;
    QLineEdit* operatorField = nullptr;
    QLineEdit* partIdField = nullptr;
    QLabel* partIdState = nullptr;
    QComboBox* programChooser = nullptr;
    QLabel* summary = nullptr;
    QStackedWidget* tableArea = nullptr;
    QLabel* emptyState = nullptr;
    QTableView* table = nullptr;
    QPushButton* exportButton = nullptr;
    SpcPanel* spcPanel = nullptr;
    QChart* resultChart = nullptr;
    QLineSeries* leakLine = nullptr;
    QScatterSeries* passPoints = nullptr;
    QScatterSeries* failPoints = nullptr;
    QLineSeries* rejectTestLine = nullptr;
    QLineSeries* rejectRefLine = nullptr;
    QValueAxis* resultAxis = nullptr;
    QValueAxis* leakAxis = nullptr;
    QChart* trendChart = nullptr;
    QLineSeries* measure1Line = nullptr;
    QLineSeries* measure2Line = nullptr;
    QValueAxis* trendTimeAxis = nullptr;
    QValueAxis* measure1Axis = nullptr;
    QValueAxis* measure2Axis = nullptr;
};

}  // namespace vexlo
