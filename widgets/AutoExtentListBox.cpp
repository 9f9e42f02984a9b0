#include "widgets/AutoExtentListBox.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyledItemDelegate>

namespace vexlo {

void ExtentTracker::Remove(int width) {
    const auto found = widths.find(width);
    if (found == widths.end()) return;
    if (--found->second == 0) widths.erase(found);
}

// The lines with their measured widths; every row reports the widest width as its size, which is
// what a list of uniform rows takes for its scrolling range.
class AutoExtentListBox::LineModel final : public QAbstractListModel {
    friend class AutoExtentListBox;

public:
    explicit LineModel(QObject* parent) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(texts.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= static_cast<int>(texts.size())) return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return texts.at(index.row());
        if (role == Qt::SizeHintRole) return QSize(extent, rowHeight);
        return {};
    }

    QStringList texts;
    std::vector<int> widths;
    int extent = 0;
    int rowHeight = 16;
};

namespace {

// Draws a line as plain text from its left edge: the style's item painting lays every line out for
// wrapping and eliding, which costs milliseconds a paint on a screen of long frame dumps.
class PlainLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette::ColorGroup group =
            option.state & QStyle::State_Enabled
                ? (option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive)
                : QPalette::Disabled;
        if (selected) painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(option.font);
        const QFontMetrics metrics(option.font);
        const int baseline = option.rect.top() + (option.rect.height() - metrics.height()) / 2 + metrics.ascent();
        const QString text = index.data(Qt::DisplayRole).toString();
        const int left = option.rect.left() + 1;
        const int advance = metrics.horizontalAdvance(QLatin1Char('0'));
        if (QFontInfo(option.font).fixedPitch() && advance > 0) {
            // Fixed pitch: only the characters in view are shaped.
            const int hidden = qMax(0, -left) / advance;
            const int shown = painter->device()->width() / advance + 2;
            painter->drawText(QPoint(left + hidden * advance, baseline), text.mid(hidden, shown));
            return;
        }
        painter->drawText(QPoint(left, baseline), text);
    }
};

}  // namespace

AutoExtentListBox::AutoExtentListBox(QWidget* parent) : QListView(parent), lines(new LineModel(this)) {
    setModel(lines);
    setItemDelegate(new PlainLineDelegate(this));
    setUniformItemSizes(true);
    // Long lines are scrolled into view, never shortened.
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    lines->rowHeight = QFontMetrics(font()).height() + 2;
}

int AutoExtentListBox::Width(const QString& line) const { return QFontMetrics(font()).horizontalAdvance(line) + 3; }

void AutoExtentListBox::ExtentMayHaveChanged(int before) {
    lines->extent = tracker.Extent();
    if (lines->extent != before) scheduleDelayedItemsLayout();
}

int AutoExtentListBox::AddString(const QString& line) {
    const int row = Count();
    InsertString(row, line);
    return row;
}

void AutoExtentListBox::InsertString(int index, const QString& line) {
    index = qBound(0, index, Count());
    const int before = tracker.Extent();
    const int width = Width(line);
    lines->beginInsertRows(QModelIndex(), index, index);
    lines->texts.insert(index, line);
    lines->widths.insert(lines->widths.begin() + index, width);
    tracker.Add(width);
    lines->extent = tracker.Extent();
    lines->endInsertRows();
    ExtentMayHaveChanged(before);
}

void AutoExtentListBox::DeleteString(int index) {
    if (index < 0 || index >= Count()) return;
    const int before = tracker.Extent();
    lines->beginRemoveRows(QModelIndex(), index, index);
    tracker.Remove(lines->widths[static_cast<size_t>(index)]);
    lines->texts.removeAt(index);
    lines->widths.erase(lines->widths.begin() + index);
    lines->extent = tracker.Extent();
    lines->endRemoveRows();
    ExtentMayHaveChanged(before);
}

void AutoExtentListBox::ResetContent() {
    lines->beginResetModel();
    lines->texts.clear();
    lines->widths.clear();
    tracker.Clear();
    lines->extent = 0;
    lines->endResetModel();
}

int AutoExtentListBox::Count() const { return static_cast<int>(lines->texts.size()); }

QString AutoExtentListBox::Text(int index) const { return lines->texts.value(index); }

QStringList AutoExtentListBox::Lines() const { return lines->texts; }

void AutoExtentListBox::SetCurrentLine(int index) {
    const QModelIndex line = lines->index(index, 0);
    setCurrentIndex(line);
    scrollTo(line);
}

void AutoExtentListBox::MeasureAll() {
    const int before = tracker.Extent();
    tracker.Clear();
    for (size_t i = 0; i < lines->widths.size(); ++i) {
        lines->widths[i] = Width(lines->texts.at(static_cast<qsizetype>(i)));
        tracker.Add(lines->widths[i]);
    }
    lines->rowHeight = QFontMetrics(font()).height() + 2;
    lines->extent = tracker.Extent();
    (void)before;
    scheduleDelayedItemsLayout();
}

void AutoExtentListBox::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
    // Another font measures every line anew.
    if (event->type() == QEvent::FontChange) MeasureAll();
}

}  // namespace vexlo
