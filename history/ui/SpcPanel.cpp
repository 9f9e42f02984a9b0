#include "history/ui/SpcPanel.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QScatterSeries>
#include <QSplitter>
#include <QTextDocument>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "common/TextFormat.h"
#include "history/SpcCapability.h"
#include "history/SpcReport.h"

namespace vexlo {
namespace {

const QColor kValueColour(0x30, 0x60, 0xa0);
const QColor kCentreColour(0x2e, 0x9d, 0x3c);
const QColor kControlLimitColour(0xb0, 0x60, 0x00);
const QColor kSpecLimitColour(0x80, 0x30, 0xa0);
const QColor kFlagColour(0xd0, 0x30, 0x30);

const char* const kRuleTexts[] = {
    "",
    "beyond 3σ",
    "2 of 3 points beyond 2σ on one side",
    "4 of 5 points beyond 1σ on one side",
    "8 points in a row on one side of the centre",
};

QLineSeries* Line(QChart* chart, const QString& name, const QColor& colour, Qt::PenStyle style, qreal width) {
    auto* line = new QLineSeries(chart);
    line->setName(name);
    QPen pen(colour);
    pen.setStyle(style);
    pen.setWidthF(width);
    line->setPen(pen);
    chart->addSeries(line);
    return line;
}

QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

// Every new range redraws every series on the axis (10 000 points take milliseconds), so while results
// come in the axes only grow, by some room at a time; a rebuild fits them exactly.
void FitRange(QValueAxis* axis, double low, double high, double room, bool exact) {
    if (exact || low < axis->min() || high > axis->max()) {
        axis->setRange(exact ? low : std::min(axis->min(), low - room),
                       exact ? high : std::max(axis->max(), high + room));
    }
}

// Whole results from -0.5, ticks on whole results, about ten of them however many results there are.
void FitIndexRange(QValueAxis* axis, double last, bool exact) {
    FitRange(axis, -0.5, last + 0.5, std::max(5.0, last * 0.05), exact);
    double step = 1;
    for (int i = 0; axis->max() / step > 10; ++i) step *= i % 3 == 1 ? 2.5 : 2;  // 1, 2, 5, 10, 20, 50, ...
    if (axis->tickInterval() != step) {
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
        axis->setTickInterval(step);
    }
}

QValueAxis* Axis(QChart* chart, const QString& title, Qt::Alignment alignment) {
    auto* axis = new QValueAxis(chart);
    axis->setTitleText(title);
    chart->addAxis(axis, alignment);
    return axis;
}

QChartView* ViewOf(QChart* chart, const QString& name, int minimumHeight) {
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(minimumHeight);
    view->setAccessibleName(name);
    return view;
}

void SetLevel(QLineSeries* line, std::optional<double> level, double from, double to) {
    if (level) {
        line->replace({{from, *level}, {to, *level}});
    } else {
        line->clear();
    }
}

// A long series is drawn as consecutive pieces that share their end points: a line series works out
// its whole outline again whenever a point is added, so a new result then costs one short piece.
constexpr qsizetype kPiecePoints = 500;

QLineSeries* AddPiece(std::vector<QLineSeries*>& pieces) {
    QLineSeries* first = pieces.front();
    auto* chart = first->chart();
    auto* piece = new QLineSeries(chart);
    piece->setPen(first->pen());
    piece->setName(first->name());
    chart->addSeries(piece);
    for (QAbstractAxis* axis : first->attachedAxes()) piece->attachAxis(axis);
    chart->legend()->markers(piece).front()->setVisible(false);
    pieces.push_back(piece);
    return piece;
}

void AppendToPieces(std::vector<QLineSeries*>& pieces, const QPointF& point) {
    QLineSeries* last = pieces.back();
    if (last->count() >= kPiecePoints) {
        const QPointF joint = last->at(last->count() - 1);
        last = AddPiece(pieces);
        last->append(joint);
    }
    last->append(point);
}

void ReplacePieces(std::vector<QLineSeries*>& pieces, const QList<QPointF>& points) {
    std::size_t used = 0;
    for (qsizetype from = 0; from == 0 || from < points.size() - 1; from += kPiecePoints - 1) {
        if (used == pieces.size()) AddPiece(pieces);
        pieces[used++]->replace(points.mid(from, kPiecePoints));
        if (points.size() <= kPiecePoints) break;
    }
    while (pieces.size() > std::max<std::size_t>(used, 1)) {
        QLineSeries* piece = pieces.back();
        pieces.pop_back();
        piece->chart()->removeSeries(piece);
        delete piece;
    }
}

QString Number(double value, const char* format) { return QString::fromStdString(FormatText(format, value)); }

// "Cpk 1.293" or "Cpk – (no upper limit (USL) known)".
QString Figure(const QString& label, const SpcFigure& figure, const char* format, const QString& unit = {}) {
    const QString name = QStringLiteral("<b>%1</b> ").arg(label);
    if (!figure.value) {
        return name + QStringLiteral("– <i>(%1)</i>").arg(QString::fromStdString(figure.reason).toHtmlEscaped());
    }
    return name + Number(*figure.value, format) + (unit.isEmpty() ? QString() : QStringLiteral(" ") + unit);
}

QString RulesText(const std::vector<int>& rules) {
    QStringList numbers;
    for (int rule : rules) numbers << QString::number(rule);
    return (rules.size() == 1 ? QObject::tr("rule %1") : QObject::tr("rules %1"))
        .arg(numbers.join(QStringLiteral(", ")));
}

}  // namespace

SpcPanel::SpcPanel(const ResultHistory& history, QWidget* parent) : QWidget(parent), history(history) {
    setObjectName(QStringLiteral("spcPanel"));
    setAccessibleName(tr("Process statistics"));
    units.fill(std::string());
    BuildControls();
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(ViewOf(BuildIndividualsChart(), tr("Individuals chart"), 220));
    flagList = new QListWidget(this);
    flagList->setObjectName(QStringLiteral("spcFlagList"));
    flagList->setAccessibleName(tr("Points that break a run rule"));
    // A few lines: the charts need the room.
    flagList->setMinimumHeight(flagList->fontMetrics().height() * 2 + 8);
    flagList->setMaximumHeight(flagList->fontMetrics().height() * 8 + 8);
    splitter->addWidget(flagList);
    splitter->addWidget(ViewOf(BuildMovingRangeChart(), tr("Moving range chart"), 160));
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 0);
    splitter->setStretchFactor(2, 2);
    splitter->setSizes({600, flagList->fontMetrics().height() * 5, 400});

    auto* controls = new QHBoxLayout;
    auto* programLabel = new QLabel(tr("&Program"), this);
    programLabel->setBuddy(programBox);
    controls->addWidget(programLabel);
    controls->addWidget(programBox);
    controls->addSpacing(12);
    controls->addWidget(uslLabel);
    controls->addSpacing(12);
    auto* lslLabel = new QLabel(tr("&LSL"), this);
    lslLabel->setBuddy(lslEntry);
    controls->addWidget(lslLabel);
    controls->addWidget(lslEntry);
    controls->addWidget(lslError, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addWidget(capability);
    layout->addWidget(splitter, 1);
    Follow();
}

void SpcPanel::BuildControls() {
    programBox = new QComboBox(this);
    programBox->setObjectName(QStringLiteral("spcProgram"));
    programBox->setAccessibleName(tr("Program"));
    programBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(programBox, &QComboBox::activated, this,
            [this](int row) { ShowProgram(programBox->itemData(row).toInt()); });
    uslLabel = new QLabel(this);
    uslLabel->setObjectName(QStringLiteral("spcUsl"));
    uslLabel->setAccessibleName(tr("USL"));
    uslLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lslEntry = new QLineEdit(this);
    lslEntry->setObjectName(QStringLiteral("spcLsl"));
    lslEntry->setAccessibleName(tr("LSL"));
    lslEntry->setPlaceholderText(tr("none"));
    lslEntry->setMaximumWidth(lslEntry->fontMetrics().horizontalAdvance(QStringLiteral("-00000.000")) + 16);
    connect(lslEntry, &QLineEdit::textEdited, this, &SpcPanel::LslEdited);
    lslError = new QLabel(this);
    lslError->setObjectName(QStringLiteral("spcLslError"));
    lslError->setStyleSheet(QStringLiteral("color: #d03030"));
    capability = new QLabel(this);
    capability->setObjectName(QStringLiteral("spcCapability"));
    capability->setAccessibleName(tr("Capability"));
    capability->setWordWrap(true);
    capability->setTextFormat(Qt::RichText);
    capability->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

QChart* SpcPanel::BuildIndividualsChart() {
    individualsChart = NewChart(tr("Individuals"));
    valuePieces = {Line(individualsChart, tr("Leak"), kValueColour, Qt::SolidLine, 1.0)};
    centreLine = Line(individualsChart, tr("Centre"), kCentreColour, Qt::SolidLine, 1.5);
    uclLine = Line(individualsChart, tr("UCL / LCL"), kControlLimitColour, Qt::DashLine, 1.5);
    lclLine = Line(individualsChart, tr("LCL"), kControlLimitColour, Qt::DashLine, 1.5);
    uslLine = Line(individualsChart, tr("USL"), kSpecLimitColour, Qt::DashDotLine, 1.5);
    lslLine = Line(individualsChart, tr("LSL"), kSpecLimitColour, Qt::DashDotLine, 1.5);
    flaggedPoints = new QScatterSeries(individualsChart);
    flaggedPoints->setName(tr("Breaks a run rule"));
    flaggedPoints->setColor(kFlagColour);
    flaggedPoints->setBorderColor(kFlagColour);
    flaggedPoints->setMarkerSize(10);
    individualsChart->addSeries(flaggedPoints);
    connect(flaggedPoints, &QScatterSeries::hovered, this, [this](const QPointF& point, bool entered) {
        if (!entered || point.x() < 0) {
            QToolTip::hideText();
            return;
        }
        QToolTip::showText(QCursor::pos(), PointToolTip(static_cast<std::size_t>(std::lround(point.x()))), this);
    });
    indexAxis = Axis(individualsChart, tr("Result of the program (from 0)"), Qt::AlignBottom);
    indexAxis->setLabelFormat(QStringLiteral("%d"));
    valueAxis = Axis(individualsChart, tr("Leak"), Qt::AlignLeft);
    for (auto* series : individualsChart->series()) {
        series->attachAxis(indexAxis);
        series->attachAxis(valueAxis);
    }
    // One legend entry for the pair of control limits, one for the USL and LSL pair.
    individualsChart->legend()->markers(lclLine).front()->setVisible(false);
    individualsChart->legend()->markers(lslLine).front()->setVisible(false);
    uslLine->setName(tr("USL / LSL"));
    return individualsChart;
}

QChart* SpcPanel::BuildMovingRangeChart() {
    movingRangeChart = NewChart(tr("Moving range"));
    rangePieces = {Line(movingRangeChart, tr("Moving range"), kValueColour, Qt::SolidLine, 1.0)};
    mrCentreLine = Line(movingRangeChart, tr("MR-bar"), kCentreColour, Qt::SolidLine, 1.5);
    mrUclLine = Line(movingRangeChart, tr("UCL"), kControlLimitColour, Qt::DashLine, 1.5);
    mrIndexAxis = Axis(movingRangeChart, tr("Result of the program (from 0)"), Qt::AlignBottom);
    mrIndexAxis->setLabelFormat(QStringLiteral("%d"));
    mrAxis = Axis(movingRangeChart, tr("Moving range"), Qt::AlignLeft);
    for (auto* series : movingRangeChart->series()) {
        series->attachAxis(mrIndexAxis);
        series->attachAxis(mrAxis);
    }
    return movingRangeChart;
}

void SpcPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (viewStale) Rebuild();
}

void SpcPanel::Follow() {
    const auto& entries = history.Entries();
    // Cleared, or replaced by a loaded file: start again.
    if (entries.size() < followed || (followed > 0 && !(entries[followed - 1] == *lastFollowed))) {
        for (auto& chart : charts) chart.Clear();
        units.fill(std::string());
        followed = 0;
        viewStale = true;
    }
    bool newProgram = false;
    bool shownGrew = false;
    for (std::size_t i = followed; i < entries.size(); ++i) {
        const HistoryEntry& entry = entries[i];
        if (entry.program < 1 || entry.program > 8) continue;
        SpcChart& chart = charts[static_cast<std::size_t>(entry.program - 1)];
        auto& unit = units[static_cast<std::size_t>(entry.program - 1)];
        if (chart.Count() == 0) {
            newProgram = true;
            unit = entry.leakUnit;
        } else if (unit && *unit != entry.leakUnit) {
            unit.reset();
        }
        chart.Append(entry.leak);
        shownGrew = shownGrew || entry.program == program;
    }
    followed = entries.size();
    lastFollowed = entries.empty() ? std::nullopt : std::optional<HistoryEntry>(entries.back());
    if (newProgram || viewStale) FillProgramList();
    if (program == 0 && !entries.empty()) {
        ShowProgram(entries.back().program);
        return;
    }
    if (!isVisible()) {
        viewStale = viewStale || shownGrew;
        return;
    }
    if (viewStale) {
        Rebuild();
        return;
    }
    const SpcChart* chart = program > 0 ? &charts[static_cast<std::size_t>(program - 1)] : nullptr;
    for (std::size_t i = shown; chart && i < chart->Count(); ++i) AppendShown(i);
    shown = chart ? chart->Count() : 0;
    // The limits and the USL can change without a new value of this program.
    ShowLimitsAndFlags();
    ShowCapability();
}

void SpcPanel::FillProgramList() {
    programBox->clear();
    for (int p = 1; p <= 8; ++p) {
        if (charts[static_cast<std::size_t>(p - 1)].Count() > 0) programBox->addItem(tr("Program %1").arg(p), p);
    }
    programBox->setCurrentIndex(programBox->findData(program));
}

void SpcPanel::ShowProgram(int newProgram) {
    if (newProgram < 1 || newProgram > 8) return;
    program = newProgram;
    programBox->setCurrentIndex(programBox->findData(program));
    const auto& lsl = lsls[static_cast<std::size_t>(program - 1)];
    lslEntry->setText(lsl ? QString::number(*lsl, 'g', 15) : QString());
    lslError->clear();
    viewStale = true;
    if (isVisible()) Rebuild();
}

void SpcPanel::Rebuild() {
    viewStale = false;
    shownFlags.clear();
    flagList->clear();
    QList<QPointF> values;
    QList<QPointF> ranges;
    low = high = mrHigh = 0;
    shown = 0;
    if (program > 0) {
        const SpcChart& chart = charts[static_cast<std::size_t>(program - 1)];
        shown = chart.Count();
        values.reserve(static_cast<qsizetype>(shown));
        for (std::size_t i = 0; i < shown; ++i) {
            const double value = chart.Values()[i];
            values.append({static_cast<double>(i), value});
            low = i == 0 ? value : std::min(low, value);
            high = i == 0 ? value : std::max(high, value);
            if (const auto range = chart.MovingRange(i)) {
                ranges.append({static_cast<double>(i), *range});
                mrHigh = std::max(mrHigh, *range);
            }
        }
    }
    ReplacePieces(valuePieces, values);
    ReplacePieces(rangePieces, ranges);
    ShowLimitsAndFlags(true);
    ShowCapability();
}

void SpcPanel::AppendShown(std::size_t index) {
    const SpcChart& chart = charts[static_cast<std::size_t>(program - 1)];
    const double value = chart.Values()[index];
    AppendToPieces(valuePieces, {static_cast<double>(index), value});
    low = index == 0 ? value : std::min(low, value);
    high = index == 0 ? value : std::max(high, value);
    if (const auto range = chart.MovingRange(index)) {
        AppendToPieces(rangePieces, {static_cast<double>(index), *range});
        mrHigh = std::max(mrHigh, *range);
    }
}

void SpcPanel::ShowLimitsAndFlags(bool exact) {
    static const SpcChart kEmpty;
    const SpcChart& chart = program > 0 ? charts[static_cast<std::size_t>(program - 1)] : kEmpty;
    const double last = std::max<double>(static_cast<double>(chart.Count()) - 1, 1);
    const auto limits = chart.Limits();
    const auto lsl = program > 0 ? lsls[static_cast<std::size_t>(program - 1)] : std::nullopt;
    const SpcFigure usl = UpperLimit();
    double bottom = low, top = high;
    for (const auto& level : {limits ? std::optional(limits->lcl) : std::nullopt,
                              limits ? std::optional(limits->ucl) : std::nullopt, usl.value, lsl}) {
        if (level) {
            bottom = std::min(bottom, *level);
            top = std::max(top, *level);
        }
    }
    const double margin = std::max((top - bottom) * 0.06, 0.001);
    FitRange(valueAxis, bottom - margin, top + margin, margin, exact);
    FitIndexRange(indexAxis, last, exact);
    FitIndexRange(mrIndexAxis, last, exact);
    const double mrTop = std::max(mrHigh, limits ? limits->mrUcl : 0.0);
    FitRange(mrAxis, 0, std::max(mrTop * 1.08, 0.001), mrTop * 0.1, exact);

    // Smooth lines cost more than they show once the points are denser than the pixels.
    const bool smooth = chart.Count() <= 2000;
    for (QChart* shownChart : {individualsChart, movingRangeChart}) {
        for (QGraphicsView* view : shownChart->scene() ? shownChart->scene()->views() : QList<QGraphicsView*>()) {
            if (view->renderHints().testFlag(QPainter::Antialiasing) != smooth) {
                view->setRenderHint(QPainter::Antialiasing, smooth);
            }
        }
    }

    // The levels span the whole axis.
    const double end = indexAxis->max();
    SetLevel(centreLine, limits ? std::optional(limits->centre) : std::nullopt, -0.5, end);
    SetLevel(uclLine, limits ? std::optional(limits->ucl) : std::nullopt, -0.5, end);
    SetLevel(lclLine, limits ? std::optional(limits->lcl) : std::nullopt, -0.5, end);
    SetLevel(uslLine, usl.value, -0.5, end);
    SetLevel(lslLine, lsl, -0.5, end);
    SetLevel(mrCentreLine, limits ? std::optional(limits->mrCentre) : std::nullopt, -0.5, end);
    SetLevel(mrUclLine, limits ? std::optional(limits->mrUcl) : std::nullopt, -0.5, end);

    const auto& flags = chart.Flags();
    if (flags == shownFlags && flagList->count() > 0) return;
    shownFlags = flags;
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(flags.size()));
    flagList->clear();
    for (const auto& flag : flags) {
        const double value = chart.Values()[flag.index];
        points.append({static_cast<double>(flag.index), value});
        auto* item = new QListWidgetItem(
            tr("Point %1: %2, %3").arg(flag.index).arg(Number(value, "%.3f")).arg(RulesText(flag.rules)), flagList);
        item->setToolTip(PointToolTip(flag.index));
    }
    if (flags.empty()) {
        auto* item = new QListWidgetItem(
            chart.Count() < 2 ? tr("The run rules need 2 results at least.") : tr("No point breaks a run rule."),
            flagList);
        item->setFlags(Qt::ItemIsEnabled);
    }
    flaggedPoints->replace(points);
}

SpcFigure SpcPanel::UpperLimit() const {
    if (program == 0) return SpcFigure::None("no results");
    const auto index = static_cast<std::size_t>(program - 1);
    return SpcUpperLimit(history.RejectLimitsOf(program), units[index]);
}

void SpcPanel::ShowCapability() {
    static const SpcChart kEmpty;
    const SpcChart& chart = program > 0 ? charts[static_cast<std::size_t>(program - 1)] : kEmpty;
    const auto lsl = program > 0 ? lsls[static_cast<std::size_t>(program - 1)] : std::nullopt;
    const SpcFigure usl = UpperLimit();
    const QString unit = program > 0 && units[static_cast<std::size_t>(program - 1)]
                             ? QString::fromStdString(*units[static_cast<std::size_t>(program - 1)])
                             : QString();
    uslLabel->setText(usl.value ? tr("USL (REJECT TEST): %1 %2").arg(Number(*usl.value, "%.3f"), unit).trimmed()
                                : tr("USL (REJECT TEST): none, %1").arg(QString::fromStdString(usl.reason)));
    valueAxis->setTitleText(unit.isEmpty() ? tr("Leak") : tr("Leak (%1)").arg(unit));

    const SpcCapability c = CapabilityOf(chart, usl.value, lsl);
    QStringList parts;
    parts << QStringLiteral("<b>n</b> %1").arg(c.n);
    parts << Figure(QStringLiteral("x̄"), c.mean, "%.5g", unit);
    parts << Figure(QStringLiteral("s"), c.stdDev, "%.4g", unit);
    parts << Figure(QStringLiteral("σw"), c.sigmaWithin, "%.4g", unit);
    QString cpk = Figure(QStringLiteral("Cpk"), c.cpk, "%.3f");
    if (c.cpk.value) {
        cpk +=
            c.cpkLower95.value
                ? tr(" (95 %: %1 to %2)").arg(Number(*c.cpkLower95.value, "%.3f"), Number(*c.cpkUpper95.value, "%.3f"))
                : QStringLiteral(" <i>(%1)</i>").arg(QString::fromStdString(c.cpkLower95.reason).toHtmlEscaped());
    }
    parts << cpk;
    parts << Figure(QStringLiteral("Ppk"), c.ppk, "%.3f");
    if (lsl) {
        parts << Figure(QStringLiteral("Cp"), c.cp, "%.3f");
        parts << Figure(QStringLiteral("Pp"), c.pp, "%.3f");
    }
    capability->setText(parts.join(QStringLiteral(" &nbsp;&nbsp; ")));
    // Screen readers get the same figures without the markup.
    capability->setAccessibleDescription(CapabilityText());
}

QString SpcPanel::CapabilityText() const {
    QTextDocument document;
    document.setHtml(capability->text());
    return document.toPlainText();
}

void SpcPanel::LslEdited() {
    if (program == 0) return;
    auto& lsl = lsls[static_cast<std::size_t>(program - 1)];
    const QString text = lslEntry->text().trimmed();
    const auto value = ParseSpcNumber(text.toStdString());
    lsl = text.isEmpty() ? std::nullopt : value;
    lslError->setText(text.isEmpty() || value ? QString() : tr("\"%1\" is not a number: no LSL").arg(text));
    ShowLimitsAndFlags(true);
    ShowCapability();
}

QString SpcPanel::PointToolTip(std::size_t index) const {
    if (program == 0) return {};
    const SpcChart& chart = charts[static_cast<std::size_t>(program - 1)];
    if (index >= chart.Count()) return {};
    QStringList lines{tr("Point %1: %2").arg(index).arg(Number(chart.Values()[index], "%.3f"))};
    const auto& flags = chart.Flags();
    const auto flag = std::lower_bound(flags.begin(), flags.end(), index,
                                       [](const SpcFlag& f, std::size_t i) { return f.index < i; });
    if (flag != flags.end() && flag->index == index) {
        for (int rule : flag->rules) lines << tr("Rule %1: %2").arg(rule).arg(QString::fromUtf8(kRuleTexts[rule]));
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace vexlo
