#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QStringList>
#include <map>

namespace vexlo {

// The widest of a changing set of lines, kept without measuring the lines again: adding a narrower
// line never shrinks it, removing the widest falls back to the next widest.
class ExtentTracker {
public:
    void Add(int width) { ++widths[width]; }
    void Remove(int width);
    void Clear() { widths.clear(); }
    int Extent() const { return widths.empty() ? 0 : widths.rbegin()->first; }

private:
    std::map<int, int> widths;  // width -> how many lines have it
};

// A list box whose horizontal scrolling range is the width of its widest line, so that long frame
// dumps can be scrolled into view. Lines are measured once, when they arrive; every line has the
// same height, so appending at the trace's cap costs the same whatever the list holds.
class AutoExtentListBox final : public QListView {
    Q_OBJECT
public:
    explicit AutoExtentListBox(QWidget* parent = nullptr);

    int AddString(const QString& line);
    void InsertString(int index, const QString& line);
    void DeleteString(int index);
    void ResetContent();
    int Count() const;
    QString Text(int index) const;
    QStringList Lines() const;
    void SetCurrentLine(int index);

    // The horizontal range: the widest line's width plus 3 pixels, 0 for an empty list.
    int HorizontalExtent() const { return tracker.Extent(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    class LineModel;
    int Width(const QString& line) const;
    void ExtentMayHaveChanged(int before);
    void MeasureAll();

    LineModel* lines;
    ExtentTracker tracker;
};

}  // namespace vexlo
