#include "history/ui/HistoryWindow.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGraphicsLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "common/LocalTimestamp.h"
#include "common/QtText.h"
#include "common/TextFormat.h"
#include "history/ResultRecorder.h"
#include "history/ui/SpcPanel.h"
#include "instrument/ResultText.h"
#include "instrument/UnitTable.h"

namespace vexlo {
namespace {

const QColor kPassColour(0x2e, 0x9d, 0x3c);
const QColor kRejectColour(0xd0, 0x30, 0x30);
const QColor kTestLimitColour(0xb0, 0x60, 0x00);
const QColor kRefLimitColour(0x6a, 0x3d, 0x9a);
// The chart shows a program's latest results; the table and the statistics hold them all.
constexpr int kChartedResults = 1000;
constexpr const char* kPlacementKey = "HistoryWindow/Geometry";

enum Column {
    Time,
    Program,
    TestType,
    Verdict,
    AlarmCode,
    Pressure,
    PressureUnit,
    Leak,
    LeakUnit,
    PartId,
    Operator,
    kColumnCount
};

// The verdict in words with a sign, so that it reads the same without colour.
QString VerdictText(const HistoryEntry& entry) {
    const QString words = FromText(entry.Verdict());
    if (entry.Passed()) return QStringLiteral("\u2714 ") + words;
    if (entry.alarm) return QStringLiteral("\u26a0 ") + words;
    if (entry.badTest || entry.badReference) return QStringLiteral("\u2716 ") + words;
    return QStringLiteral("\u2013 ") + words;
}

QLineSeries* LimitLine(const QString& name, const QColor& colour, Qt::PenStyle style) {
    auto* line = new QLineSeries;
    line->setName(name);
    QPen pen(colour);
    pen.setStyle(style);
    pen.setWidthF(2.0);
    line->setPen(pen);
    return line;
}

QChartView* ViewOf(QChart* chart, const QString& name) {
    // Every pixel to the plot: no rounded card, thin margins.
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(220);
    view->setAccessibleName(name);
    return view;
}

// A range with some room around the values, on round tick values.
void SetNiceRange(QValueAxis* axis, double low, double high) {
    // Nothing to show, or one value: a span around it rather than a sliver of a thousandth.
    const double margin = high > low ? (high - low) * 0.08 : std::max(1.0, std::abs(high) * 0.1);
    axis->setRange(low - margin, high + margin);
    axis->setTickCount(7);
    axis->applyNiceNumbers();
}

// The unit the entries share, or nothing when they differ.
template <typename Entries>
std::optional<std::string> CommonLeakUnit(const Entries& entries) {
    std::optional<std::string> unit;
    for (const HistoryEntry* entry : entries) {
        if (!unit) unit = entry->leakUnit;
        if (*unit != entry->leakUnit) return std::nullopt;
    }
    return unit;
}

}  // namespace

// The shown results as the table reads them: rows are made only as they are drawn, so that a batch
// of a hundred thousand results opens at once.
class HistoryTableModel final : public QAbstractTableModel {
public:
    explicit HistoryTableModel(const ResultHistory& history, QObject* parent)
        : QAbstractTableModel(parent), history(history) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kColumnCount; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rows) return {};
        const HistoryEntry& entry = history.Entries()[static_cast<std::size_t>(index.row())];
        switch (role) {
            case Qt::DisplayRole:
                return Text(entry, index.column());
            case Qt::ForegroundRole:
                if (index.column() == Verdict) return entry.Passed() ? kPassColour : kRejectColour;
                return {};
            case Qt::TextAlignmentRole:
                if (index.column() == Pressure || index.column() == Leak || index.column() == Program ||
                    index.column() == TestType || index.column() == AlarmCode) {
                    return static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);
                }
                return {};
            default:
                return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
            return QAbstractTableModel::headerData(section, orientation, role);
        }
        static const char* const titles[kColumnCount] = {"Time",       "Program",  "Test type",     "Verdict",
                                                         "Alarm code", "Pressure", "Pressure unit", "Leak",
                                                         "Leak unit",  "Part id",  "Operator"};
        return section >= 0 && section < kColumnCount ? QApplication::translate("HistoryWindow", titles[section])
                                                      : QVariant();
    }

    // Brings the rows up to the history: appended rows, or all again after a replacement.
    void Follow() {
        const int count = static_cast<int>(history.Entries().size());
        if (history.Resets() != resets || count < rows) {
            beginResetModel();
            rows = count;
            resets = history.Resets();
            endResetModel();
        } else if (count > rows) {
            beginInsertRows({}, rows, count - 1);
            rows = count;
            endInsertRows();
        }
    }

private:
    static QString Text(const HistoryEntry& entry, int column) {
        switch (column) {
            case Time:
                return FromText(LocalTimestamp(entry.timeMs));
            case Program:
                return QString::number(entry.program);
            case TestType:
                return QString::number(entry.testType);
            case Verdict:
                return VerdictText(entry);
            case AlarmCode:
                return QString::number(entry.alarmCode);
            case Pressure:
                return FromText(FormatText("%.3f", entry.pressure));
            case PressureUnit:
                return FromText(entry.pressureUnit);
            case Leak:
                return FromText(FormatText("%.3f", entry.leak));
            case LeakUnit:
                return FromText(entry.leakUnit);
            case PartId:
                return FromText(entry.partId);
            case Operator:
                return FromText(entry.operatorName);
            default:
                return {};
        }
    }

    const ResultHistory& history;
    int rows = 0;
    std::uint64_t resets = ~std::uint64_t{0};
};

HistoryWindow::HistoryWindow(ResultHistory& history, ResultRecorder* recorder, Clock clock)
    : QWidget(nullptr, Qt::Window), history(history), recorder(recorder), clock(std::move(clock)) {
    if (!this->clock) {
        this->clock = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    }
    setWindowTitle(tr("Results history"));
    setObjectName(QStringLiteral("historyWindow"));
    // Closing the console ends the program even while this window is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    BuildControls();
    model = new HistoryTableModel(history, this);
    table->setModel(model);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setColumnWidth(Time, table->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00.000  ")));

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(tableArea);
    splitter->addWidget(ViewOf(BuildResultChart(), tr("Leak per result chart")));
    splitter->addWidget(ViewOf(BuildTrendChart(), tr("Real time status chart")));
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 4);
    splitter->setStretchFactor(2, 2);
    // The leak chart gets the most room: its labels need the height to be read.
    splitter->setSizes({170, 420, 250});

    auto* tabs = new QTabWidget(this);
    tabs->addTab(splitter, tr("&Results"));
    tabs->addTab(spcPanel = new SpcPanel(history, this), tr("Process &statistics"));
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->insertWidget(2, tabs, 1);
    PlaceFirstTime();

    history.SetObserver([this] { Follow(); });
    if (recorder) {
        recorder->SetPartIdObserver([this] {
            partIdField->clear();
            partIdState->clear();
        });
    }
    Follow();
}

HistoryWindow::~HistoryWindow() {
    history.SetObserver({});
    if (recorder) recorder->SetPartIdObserver({});
}

void HistoryWindow::BuildControls() {
    batchChooser = new QComboBox(this);
    batchChooser->setObjectName(QStringLiteral("batchChooser"));
    batchChooser->setAccessibleName(tr("Batch"));
    batchChooser->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    batchChooser->setMinimumContentsLength(34);
    newBatchButton = new QPushButton(tr("New batch..."), this);
    newBatchButton->setObjectName(QStringLiteral("newBatchButton"));
    operatorField = new QLineEdit(this);
    operatorField->setObjectName(QStringLiteral("operatorField"));
    operatorField->setAccessibleName(tr("Operator"));
    partIdField = new QLineEdit(this);
    partIdField->setObjectName(QStringLiteral("partIdField"));
    partIdField->setAccessibleName(tr("Next part id"));
    partIdField->setPlaceholderText(tr("scan, then Enter"));
    partIdState = new QLabel(this);
    partIdState->setObjectName(QStringLiteral("partIdState"));
    programChooser = new QComboBox(this);
    programChooser->setObjectName(QStringLiteral("programChooser"));
    programChooser->setAccessibleName(tr("Program"));
    programChooser->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    programChooser->setMinimumContentsLength(22);

    auto* batchLabel = new QLabel(tr("&Batch:"), this);
    batchLabel->setBuddy(batchChooser);
    auto* operatorLabel = new QLabel(tr("&Operator:"), this);
    operatorLabel->setBuddy(operatorField);
    auto* partIdLabel = new QLabel(tr("Next &part id:"), this);
    partIdLabel->setBuddy(partIdField);
    auto* programLabel = new QLabel(tr("P&rogram:"), this);
    programLabel->setBuddy(programChooser);

    auto* first = new QHBoxLayout;
    first->addWidget(batchLabel);
    first->addWidget(batchChooser);
    first->addWidget(newBatchButton);
    first->addStretch(1);
    first->addWidget(operatorLabel);
    first->addWidget(operatorField);
    auto* second = new QHBoxLayout;
    second->addWidget(partIdLabel);
    second->addWidget(partIdField, 1);
    second->addWidget(partIdState, 1);
    auto* third = new QHBoxLayout;
    third->addWidget(programLabel);
    third->addWidget(programChooser);
    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("historySummary"));
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary->setWordWrap(true);
    third->addWidget(summary, 1);

    table = new QTableView(this);
    table->setObjectName(QStringLiteral("historyTable"));
    table->setAccessibleName(tr("Results"));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setMinimumHeight(120);
    emptyState = new QLabel(tr("No results yet: they appear as they are read"), this);
    emptyState->setObjectName(QStringLiteral("historyEmptyState"));
    emptyState->setAlignment(Qt::AlignCenter);
    emptyState->setAccessibleName(tr("Results"));
    tableArea = new QStackedWidget(this);
    tableArea->addWidget(emptyState);
    tableArea->addWidget(table);

    exportButton = new QPushButton(tr("Export CSV..."), this);
    exportButton->setObjectName(QStringLiteral("exportCsvButton"));
    auto* closeButton = new QPushButton(tr("Close"), this);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::ExportCsv);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(exportButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(first);
    layout->addLayout(second);
    // (the table and the charts, and the process statistics, go here in their tabs)
    layout->addLayout(third);
    layout->addLayout(buttons);

    const bool store = recorder != nullptr;
    for (QWidget* widget : std::initializer_list<QWidget*>{batchLabel, batchChooser, newBatchButton, operatorLabel,
                                                           operatorField, partIdLabel, partIdField, partIdState}) {
        widget->setVisible(store);
    }
    if (store) {
        operatorField->setText(FromText(recorder->Operator()));
        connect(operatorField, &QLineEdit::textChanged, this,
                [this](const QString& text) { recorder->SetOperator(ToText(text.trimmed())); });
        connect(partIdField, &QLineEdit::returnPressed, this, [this] {
            const QString id = partIdField->text().trimmed();
            recorder->SetNextPartId(ToText(id));
            partIdState->setText(id.isEmpty() ? QString() : tr("goes with the next result: %1").arg(id));
        });
        connect(newBatchButton, &QPushButton::clicked, this, &HistoryWindow::NewBatch);
        connect(batchChooser, QOverload<int>::of(&QComboBox::activated), this,
                [this](int index) { recorder->ShowBatch(batchChooser->itemData(index).toLongLong()); });
    }
    connect(programChooser, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { ShowProgram(programChooser->itemData(index).toInt()); });
}

QChart* HistoryWindow::BuildResultChart() {
    resultChart = new QChart;
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
    failPoints->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    failPoints->setMarkerSize(9);
    rejectTestLine = LimitLine(tr("Reject Test"), kTestLimitColour, Qt::DashLine);
    rejectRefLine = LimitLine(tr("Reject Ref"), kRefLimitColour, Qt::DashDotLine);
    resultAxis = new QValueAxis;
    resultAxis->setTitleText(tr("Result n\u00b0"));
    resultAxis->setLabelFormat(QStringLiteral("%d"));
    // Ticks on whole results, however many there are.
    resultAxis->setTickType(QValueAxis::TicksDynamic);
    resultAxis->setTickAnchor(0);
    leakAxis = new QValueAxis;
    leakAxis->setTitleText(tr("Leak"));
    resultChart->addAxis(resultAxis, Qt::AlignBottom);
    resultChart->addAxis(leakAxis, Qt::AlignLeft);
    for (QXYSeries* series :
         std::initializer_list<QXYSeries*>{leakLine, passPoints, failPoints, rejectTestLine, rejectRefLine}) {
        resultChart->addSeries(series);
        series->attachAxis(resultAxis);
        series->attachAxis(leakAxis);
    }
    // At the side: the height goes to the leak axis, whose title needs it.
    resultChart->legend()->setAlignment(Qt::AlignRight);
    // The joining line is no verdict of its own.
    resultChart->legend()->markers(leakLine).front()->setVisible(false);
    return resultChart;
}

QChart* HistoryWindow::BuildTrendChart() {
    trendChart = new QChart;
    measure1Line = new QLineSeries;
    measure1Line->setName(QStringLiteral("Mesure1"));
    measure2Line = new QLineSeries;
    measure2Line->setName(QStringLiteral("Mesure2"));
    trendTimeAxis = new QValueAxis;
    trendTimeAxis->setTitleText(tr("Time (s)"));
    trendTimeAxis->setRange(-LiveTrend::kSpanMs / 1000.0, 0);
    trendTimeAxis->setTickCount(7);
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

void HistoryWindow::PlaceFirstTime() {
    const QSettings settings;
    const QRect saved = settings.value(QLatin1String(kPlacementKey)).toRect();
    // The place it had, on whichever screen holds it now, inside that screen.
    if (const QScreen* there = saved.isValid() ? QGuiApplication::screenAt(saved.center()) : nullptr) {
        const QRect area = there->availableGeometry();
        resize(std::min(saved.width(), area.width()), std::min(saved.height(), area.height()));
        move(std::clamp(saved.x(), area.left(), area.right() + 1 - width()),
             std::clamp(saved.y(), area.top(), area.bottom() + 1 - height()));
        return;
    }
    // Beside the console, at the right of the screen.
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1920, 1080);
    resize(std::min(760, area.width()), std::min(900, area.height()));
    placeBesideConsole = true;
}

void HistoryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placeBesideConsole) {
        // Once shown, the frame is known: the whole window goes inside the screen's right edge.
        placeBesideConsole = false;
        const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1920, 1080);
        const QRect frame = frameGeometry();
        if (frame.height() > area.height()) resize(width(), height() - (frame.height() - area.height()));
        move(area.right() + 1 - frame.width(), area.top());
    }
    Follow();
    ShowTrend();
}

void HistoryWindow::hideEvent(QHideEvent* event) {
    QSettings().setValue(QLatin1String(kPlacementKey), QRect(pos(), size()));
    QWidget::hideEvent(event);
}

void HistoryWindow::Follow() {
    // Hidden, the window only notes that it is behind: a long unattended run costs it nothing.
    if (!isVisible()) {
        stale = true;
        return;
    }
    stale = false;
    const int rowsBefore = model->rowCount({});
    model->Follow();
    if (rowsBefore == 0 && model->rowCount({}) > 0) table->resizeColumnsToContents();
    table->scrollToBottom();
    const bool empty = history.Entries().empty();
    tableArea->setCurrentWidget(empty ? static_cast<QWidget*>(emptyState) : table);
    exportButton->setEnabled(!empty);
    if (!programChosen) shownProgram = empty ? 0 : history.Entries().back().program;
    FillBatchChooser();
    FillProgramChooser();
    ShowChart();
    ShowSummary();
    spcPanel->Follow();
}

void HistoryWindow::FillBatchChooser() {
    if (!recorder) return;
    const auto batches = recorder->Batches();
    batchChooser->clear();
    for (const Batch& batch : batches) {
        batchChooser->addItem(tr("%1 (%2, %3 results)")
                                  .arg(FromText(batch.name), FromText(LocalTimestamp(batch.startedMs).substr(0, 16)))
                                  .arg(batch.id == recorder->ShownBatch() ? history.Entries().size()
                                                                          : static_cast<std::size_t>(batch.results)),
                              QVariant::fromValue<qlonglong>(batch.id));
        if (batch.id == recorder->ShownBatch()) batchChooser->setCurrentIndex(batchChooser->count() - 1);
    }
}

void HistoryWindow::FillProgramChooser() {
    std::array<int, 9> counts{};
    for (const auto& entry : history.Entries()) {
        if (entry.program >= 1 && entry.program <= 8) ++counts[static_cast<std::size_t>(entry.program)];
    }
    programChooser->clear();
    for (int program = 1; program <= 8; ++program) {
        if (counts[static_cast<std::size_t>(program)] == 0 && program != shownProgram) continue;
        programChooser->addItem(
            tr("Program %1 (%2 results)").arg(program).arg(counts[static_cast<std::size_t>(program)]), program);
        if (program == shownProgram) programChooser->setCurrentIndex(programChooser->count() - 1);
    }
    programChooser->setEnabled(programChooser->count() > 0);
}

void HistoryWindow::ShowProgram(int program) {
    shownProgram = program;
    programChosen = true;
    Follow();
}

void HistoryWindow::ShowChart() {
    std::vector<const HistoryEntry*> entries;
    for (const auto& entry : history.Entries()) {
        if (entry.program == shownProgram) entries.push_back(&entry);
    }
    const std::size_t first = entries.size() > kChartedResults ? entries.size() - kChartedResults : 0;
    QList<QPointF> line, passes, fails;
    double low = 0;
    double high = 0;
    for (std::size_t i = first; i < entries.size(); ++i) {
        const QPointF point(static_cast<double>(i + 1), entries[i]->leak);
        line.append(point);
        (entries[i]->Passed() ? passes : fails).append(point);
        low = std::min(low, entries[i]->leak);
        high = std::max(high, entries[i]->leak);
    }
    leakLine->replace(line);
    passPoints->replace(passes);
    failPoints->replace(fails);

    // The program's limits: as read in this session, else as stored with its latest result. Drawn
    // only in the unit the leaks are in.
    std::optional<RejectLimits> limits = history.RejectLimitsOf(shownProgram);
    for (auto it = entries.rbegin(); !limits && it != entries.rend(); ++it) {
        if ((*it)->limits) limits = RejectLimits{(**it).limits->at(0), (**it).limits->at(1), (**it).limits->at(2)};
    }
    const auto unit = CommonLeakUnit(entries);
    const bool known = unit && limits && UnitText(UnitCode(limits->unit)) == *unit;
    const double from = static_cast<double>(first) + 0.5;
    const double to = static_cast<double>(std::max<std::size_t>(entries.size(), 1)) + 0.5;
    rejectTestLine->clear();
    rejectRefLine->clear();
    if (known) {
        const double test = limits->test * 0.001;
        const double reference = -limits->reference * 0.001;
        rejectTestLine->append({{from, test}, {to, test}});
        rejectRefLine->append({{from, reference}, {to, reference}});
        low = std::min(low, reference);
        high = std::max(high, test);
    }
    // The legend lists a limit only when it is drawn.
    for (QLineSeries* limit : {rejectTestLine, rejectRefLine}) {
        limit->setVisible(known);
        for (QLegendMarker* marker : resultChart->legend()->markers(limit)) marker->setVisible(known);
    }
    SetNiceRange(leakAxis, low, high);
    leakAxis->setTitleText(unit ? tr("Leak (%1)").arg(FromText(*unit)) : tr("Leak"));
    resultAxis->setRange(from, to);
    const double span = to - from;
    double step = 1;
    while (span / step > 10) step *= (static_cast<int>(std::log10(step) * 3 + 0.5) % 3 == 1) ? 2.5 : 2;
    resultAxis->setTickInterval(std::ceil(step));
    resultChart->setTitle(shownProgram == 0 ? tr("Leak per result")
                          : entries.size() > kChartedResults
                              ? tr("Leak per result, program %1, latest %2").arg(shownProgram).arg(kChartedResults)
                              : tr("Leak per result, program %1").arg(shownProgram));
}

QString HistoryWindow::SummaryText() const { return summary->text(); }

bool HistoryWindow::ShowsEmptyState() const { return tableArea->currentWidget() == emptyState; }

void HistoryWindow::ShowSummary() {
    if (shownProgram == 0) {
        summary->clear();
        return;
    }
    const HistoryStatistics stats = history.Statistics(shownProgram);
    std::vector<const HistoryEntry*> entries;
    for (const auto& entry : history.Entries()) {
        if (entry.program == shownProgram) entries.push_back(&entry);
    }
    const auto unit = CommonLeakUnit(entries);
    const std::string leakUnit = unit ? " " + *unit : std::string();
    std::string text = FormatText(
        "Results: %zu    Passed: %zu (%.1f %%)    Mean leak: %.3f%s    "
        "Standard deviation: %.3f%s",
        stats.count, stats.passed, stats.passRate * 100.0, stats.meanLeak, leakUnit.c_str(), stats.leakDeviation,
        leakUnit.c_str());
    if (recorder && !recorder->Saving()) text += "    Not saved: " + recorder->Problem();
    summary->setText(FromText(text));
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
    SetNiceRange(measure1Axis, low1, high1);
    SetNiceRange(measure2Axis, low2, high2);
}

void HistoryWindow::NewBatch() {
    bool ok = false;
    const QString name = QInputDialog::getText(this, tr("New batch"), tr("Name of the new batch (optional):"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok) return;
    const auto now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    if (const auto failure = recorder->NewBatch(ToText(name.trimmed()), now)) {
        QMessageBox::critical(this, QApplication::applicationName(), FromText(*failure));
    }
    programChosen = false;
    Follow();
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
