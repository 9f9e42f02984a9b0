#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <optional>

#include "history/LiveTrend.h"
#include "history/ResultHistory.h"
#include "instrument/Records.h"

class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QTableWidget;
class QValueAxis;

namespace vexlo {

class SpcPanel;

// "Results history": the session's results as a table and a chart of the leak measure per cycle,
// coloured by verdict, with the reject limits when they are known; the count, pass rate, mean and
// standard deviation; "Export CSV...". While the status is polled, a live trend of the two measures
// over the last minute. Not modal: it follows the history as results come in.
class HistoryWindow final : public QDialog {
    Q_OBJECT
public:
    using Clock = std::function<std::int64_t()>;  // milliseconds, for the live trend

    HistoryWindow(ResultHistory& history, QWidget* parent, Clock clock = {});
    ~HistoryWindow() override;

    // A real-time status as the console showed it.
    void AddStatus(const StatusRecord& status);

    // Writes the history CSV to path; the message for the operator when it could not be written.
    std::optional<QString> ExportCsvTo(const QString& path) const;

    // What the window shows, for the tests.
    QTableWidget* Table() const { return table; }
    QString SummaryText() const;
    QChart* ResultChart() const { return resultChart; }
    QChart* TrendChart() const { return trendChart; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildTable();
    QChart* BuildResultChart();
    QChart* BuildTrendChart();
    // Follows the history: rows and points added, or everything again when it was cleared.
    void Follow();
    void AppendRow(int row, const HistoryEntry& entry);
    void AppendPoint(int cycle, const HistoryEntry& entry);
    void ShowLimitsAndRanges();
    void ShowSummary();
    void ShowTrend();
    void ExportCsv();

    ResultHistory& history;
    Clock clock;
    LiveTrend trend;
    int shownEntries = 0;
    bool stale = true;  // hidden while results came: rebuilt when shown

    QLabel* summary = nullptr;
    SpcPanel* spcPanel = nullptr;
    QTableWidget* table = nullptr;
    QChart* resultChart = nullptr;
    QLineSeries* leakLine = nullptr;
    QScatterSeries* passPoints = nullptr;
    QScatterSeries* failPoints = nullptr;
    QLineSeries* rejectTestLine = nullptr;
    QLineSeries* rejectRefLine = nullptr;
    QValueAxis* cycleAxis = nullptr;
    QValueAxis* leakAxis = nullptr;
    QChart* trendChart = nullptr;
    QLineSeries* measure1Line = nullptr;
    QLineSeries* measure2Line = nullptr;
    QValueAxis* trendTimeAxis = nullptr;
    QValueAxis* measure1Axis = nullptr;
    QValueAxis* measure2Axis = nullptr;
};

}  // namespace vexlo
