#include "history/ui/HistoryWindow.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <chrono>

#include "common/TextFormat.h"
#include "history/ui/SpcPanel.h"
#include "instrument/ResultText.h"
#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

const QColor kPassColour(0x2e, 0x9d, 0x3c);
const QColor kRejectColour(0xd0, 0x30, 0x30);
const QColor kLimitColour(0xb0, 0x60, 0x00);

enum Column { Time, Program, TestType, Verdict, Pressure, PressureUnit, Leak, LeakUnit, kColumnCount };

QString FromText(const std::string& text) { return QString::fromStdString(text); }

QLineSeries* LimitLine(const QString& name) {
    auto* line = new QLineSeries;
    line->setName(name);
    QPen pen(kLimitColour);
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.5);
    line->setPen(pen);
    return line;
}

QChartView* ViewOf(QChart* chart) {
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(240);
    return view;
}

// The unit all the entries share, or nothing when they differ.
std::optional<std::string> CommonLeakUnit(const std::vector<HistoryEntry>& entries) {
    if (entries.empty()) return std::nullopt;
    for (const auto& entry : entries) {
        if (entry.leakUnit != entries.front().leakUnit) return std::nullopt;
    }
    return entries.front().leakUnit;
}

}  // namespace

HistoryWindow::HistoryWindow(ResultHistory& history, QWidget* parent, Clock clock)
    : QDialog(parent), history(history), clock(std::move(clock)) {
    if (!this->clock) {
        this->clock = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    }
    setWindowTitle(tr("Results history"));
    setModal(false);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("historySummary"));
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    BuildTable();
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table);
    splitter->addWidget(ViewOf(BuildResultChart()));
    splitter->addWidget(ViewOf(BuildTrendChart()));
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    splitter->setStretchFactor(2, 2);

    auto* exportButton = new QPushButton(tr("Export CSV..."), this);
    exportButton->setObjectName(QStringLiteral("exportCsvButton"));
    exportButton->setAutoDefault(false);
    auto* closeButton = new QPushButton(tr("Close"), this);
    closeButton->setAutoDefault(false);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::ExportCsv);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(exportButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    auto* tabs = new QTabWidget(this);
    tabs->addTab(splitter, tr("&Results"));
    tabs->addTab(spcPanel = new SpcPanel(history, this), tr("Process &statistics"));
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);
    resize(900, 900);

    history.SetObserver([this] { Follow(); });
    Follow();
}

HistoryWindow::~HistoryWindow() { history.SetObserver({}); }

void HistoryWindow::BuildTable() {
    table = new QTableWidget(0, kColumnCount, this);
    table->setObjectName(QStringLiteral("historyTable"));
    table->setHorizontalHeaderLabels({tr("Time"), tr("Program"), tr("Test type"), tr("Verdict"), tr("Pressure"),
                                      tr("Unit"), tr("Leak"), tr("Unit")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setMinimumHeight(120);
}

QChart* HistoryWindow::BuildResultChart() {
    resultChart = new QChart;
    resultChart->setTitle(tr("Leak per cycle"));
    leakLine = new QLineSeries;
    leakLine->setName(tr("Leak"));
    leakLine->setPen(QPen(QColor(0x80, 0x80, 0x80), 1.0));
    passPoints = new QScatterSeries;
    passPoints->setName(tr("Pass"));
    passPoints->setColor(kPassColour);
    passPoints->setMarkerSize(9);
    failPoints = new QScatterSeries;
    failPoints->setName(tr("Reject or alarm"));
    failPoints->setColor(kRejectColour);
    failPoints->setMarkerSize(9);
    rejectTestLine = LimitLine(tr("Reject Test"));
    rejectRefLine = LimitLine(tr("Reject Ref (negative)"));
    cycleAxis = new QValueAxis;
    cycleAxis->setTitleText(tr("Cycle"));
    cycleAxis->setLabelFormat(QStringLiteral("%d"));
    // Ticks on whole cycles, however many there are.
    cycleAxis->setTickType(QValueAxis::TicksDynamic);
    cycleAxis->setTickAnchor(0);
    leakAxis = new QValueAxis;
    leakAxis->setTitleText(tr("Leak"));
    resultChart->addAxis(cycleAxis, Qt::AlignBottom);
    resultChart->addAxis(leakAxis, Qt::AlignLeft);
    for (QXYSeries* series :
         std::initializer_list<QXYSeries*>{leakLine, passPoints, failPoints, rejectTestLine, rejectRefLine}) {
        resultChart->addSeries(series);
        series->attachAxis(cycleAxis);
        series->attachAxis(leakAxis);
    }
    resultChart->legend()->setAlignment(Qt::AlignBottom);
    // The joining line is no verdict of its own.
    resultChart->legend()->markers(leakLine).front()->setVisible(false);
    return resultChart;
}

QChart* HistoryWindow::BuildTrendChart() {
    trendChart = new QChart;
    trendChart->setTitle(tr("Real time status, last 60 s"));
    measure1Line = new QLineSeries;
    measure1Line->setName(QStringLiteral("Mesure1"));
    measure2Line = new QLineSeries;
    measure2Line->setName(QStringLiteral("Mesure2"));
    trendTimeAxis = new QValueAxis;
    trendTimeAxis->setTitleText(tr("Seconds"));
    trendTimeAxis->setRange(-LiveTrend::kSpanMs / 1000.0, 0);
    trendTimeAxis->setLabelFormat(QStringLiteral("%d"));
    measure1Axis = new QValueAxis;
    measure1Axis->setTitleText(QStringLiteral("Mesure1"));
    measure2Axis = new QValueAxis;
    measure2Axis->setTitleText(QStringLiteral("Mesure2"));
    trendChart->addAxis(trendTimeAxis, Qt::AlignBottom);
    trendChart->addAxis(measure1Axis, Qt::AlignLeft);
    trendChart->addAxis(measure2Axis, Qt::AlignRight);
    trendChart->addSeries(measure1Line);
    measure1Line->attachAxis(trendTimeAxis);
    measure1Line->attachAxis(measure1Axis);
    trendChart->addSeries(measure2Line);
    measure2Line->attachAxis(trendTimeAxis);
    measure2Line->attachAxis(measure2Axis);
    measure1Axis->setLinePenColor(measure1Line->color());
    measure2Axis->setLinePenColor(measure2Line->color());
    trendChart->legend()->setAlignment(Qt::AlignBottom);
    return trendChart;
}

void HistoryWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Follow();
    ShowTrend();
}

void HistoryWindow::Follow() {
    const auto& entries = history.Entries();
    // Hidden, the window only notes that it is behind: a long unattended run costs it nothing.
    if (!isVisible()) {
        stale = true;
        return;
    }
    if (stale || static_cast<int>(entries.size()) < shownEntries) {
        table->setRowCount(0);
        for (QXYSeries* series : std::initializer_list<QXYSeries*>{leakLine, passPoints, failPoints}) series->clear();
        shownEntries = 0;
        stale = false;
    }
    table->setRowCount(static_cast<int>(entries.size()));
    for (int i = shownEntries; i < static_cast<int>(entries.size()); ++i) {
        AppendRow(i, entries[static_cast<size_t>(i)]);
        AppendPoint(i + 1, entries[static_cast<size_t>(i)]);
    }
    if (static_cast<int>(entries.size()) > shownEntries) table->scrollToBottom();
    shownEntries = static_cast<int>(entries.size());
    ShowLimitsAndRanges();
    ShowSummary();
    spcPanel->Follow();
}

void HistoryWindow::AppendRow(int row, const HistoryEntry& entry) {
    const QString texts[kColumnCount] = {FromText(LocalTimestamp(entry.timeMs)),
                                         QString::number(entry.program),
                                         QString::number(entry.testType),
                                         FromText(entry.Verdict()),
                                         FromText(FormatText("%.3f", entry.pressure)),
                                         FromText(entry.pressureUnit),
                                         FromText(FormatText("%.3f", entry.leak)),
                                         FromText(entry.leakUnit)};
    for (int column = 0; column < kColumnCount; ++column) {
        auto* item = new QTableWidgetItem(texts[column]);
        if (column == Pressure || column == Leak || column == Program || column == TestType) {
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        if (column == Verdict) item->setForeground(entry.Passed() ? kPassColour : kRejectColour);
        table->setItem(row, column, item);
    }
}

void HistoryWindow::AppendPoint(int cycle, const HistoryEntry& entry) {
    const QPointF point(cycle, entry.leak);
    leakLine->append(point);
    (entry.Passed() ? passPoints : failPoints)->append(point);
}

void HistoryWindow::ShowLimitsAndRanges() {
    const auto& entries = history.Entries();
    const int count = static_cast<int>(entries.size());
    rejectTestLine->clear();
    rejectRefLine->clear();
    double low = 0;
    double high = 0;
    for (const auto& entry : entries) {
        low = std::min(low, entry.leak);
        high = std::max(high, entry.leak);
    }
    // The limits of the last result's program, drawn only in the unit the leaks are in.
    const auto unit = CommonLeakUnit(entries);
    const auto limits = entries.empty() ? std::nullopt : history.RejectLimitsOf(entries.back().program);
    if (unit && limits && UnitText(UnitCode(limits->unit)) == *unit) {
        const double test = limits->test * 0.001;
        const double reference = -limits->reference * 0.001;
        rejectTestLine->append({{0.5, test}, {count + 0.5, test}});
        rejectRefLine->append({{0.5, reference}, {count + 0.5, reference}});
        low = std::min(low, reference);
        high = std::max(high, test);
    }
    const double margin = std::max((high - low) * 0.08, 0.001);
    leakAxis->setRange(low - margin, high + margin);
    leakAxis->applyNiceNumbers();
    leakAxis->setTitleText(unit ? tr("Leak (%1)").arg(FromText(*unit)) : tr("Leak"));
    cycleAxis->setRange(0.5, std::max(count, 1) + 0.5);
    cycleAxis->setTickInterval(std::max(1, (count + 9) / 10));
}

QString HistoryWindow::SummaryText() const { return summary->text(); }

void HistoryWindow::ShowSummary() {
    const HistoryStatistics stats = history.Statistics();
    const auto unit = CommonLeakUnit(history.Entries());
    const std::string leakUnit = unit ? " " + *unit : std::string();
    summary->setText(
        FromText(FormatText("Results: %zu    Passed: %zu (%.1f %%)    Mean leak: %.3f%s    "
                            "Standard deviation: %.3f%s",
                            stats.count, stats.passed, stats.passRate * 100.0, stats.meanLeak, leakUnit.c_str(),
                            stats.leakDeviation, leakUnit.c_str())));
}

void HistoryWindow::AddStatus(const StatusRecord& status) {
    trend.Add(clock(), status.Measure1() * 0.001, status.Measure2() * 0.001);
    // Ten polls a second: the titles change only with the units, and a new title lays the chart out.
    const QString title1 = QStringLiteral("Mesure1 (%1)").arg(FromText(MeasureUnitText(status.Unit1())));
    const QString title2 = QStringLiteral("Mesure2 (%1)").arg(FromText(MeasureUnitText(status.Unit2())));
    if (measure1Axis->titleText() != title1) measure1Axis->setTitleText(title1);
    if (measure2Axis->titleText() != title2) measure2Axis->setTitleText(title2);
    if (isVisible()) ShowTrend();
}

void HistoryWindow::ShowTrend() {
    const std::int64_t now = clock();
    trend.Expire(now);
    QList<QPointF> first;
    QList<QPointF> second;
    double low1 = 0, high1 = 0, low2 = 0, high2 = 0;
    for (const auto& sample : trend.Samples()) {
        const double seconds = static_cast<double>(sample.timeMs - now) / 1000.0;
        first.append({seconds, sample.measure1});
        second.append({seconds, sample.measure2});
        low1 = std::min(low1, sample.measure1);
        high1 = std::max(high1, sample.measure1);
        low2 = std::min(low2, sample.measure2);
        high2 = std::max(high2, sample.measure2);
    }
    trendChart->setTitle(first.isEmpty() ? tr("Real time status, last 60 s: no status read in that time")
                                         : tr("Real time status, last 60 s"));
    measure1Line->replace(first);
    measure2Line->replace(second);
    measure1Axis->setRange(low1 - std::max((high1 - low1) * 0.08, 0.001),
                           high1 + std::max((high1 - low1) * 0.08, 0.001));
    measure2Axis->setRange(low2 - std::max((high2 - low2) * 0.08, 0.001),
                           high2 + std::max((high2 - low2) * 0.08, 0.001));
}

std::optional<QString> HistoryWindow::ExportCsvTo(const QString& path) const {
    QSaveFile file(path);
    const std::string csv = history.Csv();
    if (file.open(QIODevice::WriteOnly) &&
        file.write(csv.data(), static_cast<qint64>(csv.size())) == static_cast<qint64>(csv.size()) && file.commit()) {
        return std::nullopt;
    }
    return tr("The history could not be saved to %1.").arg(QDir::toNativeSeparators(path));
}

void HistoryWindow::ExportCsv() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Export CSV..."), QStringLiteral("history.csv"),
                                                      tr("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) return;
    if (const auto failure = ExportCsvTo(path)) QMessageBox::critical(this, QApplication::applicationName(), *failure);
}

}  // namespace vexlo
