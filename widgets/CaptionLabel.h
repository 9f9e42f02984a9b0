#pragma once

#include <QLabel>

namespace vexlo {

// One etched line across its area: dark, with a light line under it (beside it when upright).
class EtchedLine final : public QWidget {
    Q_OBJECT
public:
    explicit EtchedLine(QWidget* parent = nullptr) : QWidget(parent) {}

    // The two lines (dark first) for a client area, as pairs of end points.
    static std::pair<QLine, QLine> Lines(const QRect& client);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A section heading: bold text, then an etched rule over the rest of the width. The rule starts
// after the text and one space; it is laid out again when the label moves, and only widens or
// narrows with the label when it is resized.
class CaptionLabel final : public QLabel {
    Q_OBJECT
public:
    explicit CaptionLabel(QWidget* parent = nullptr);

    const EtchedLine* Rule() const { return rule; }
    // Room for the text and a rule that shows.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // Where the rule goes for a text width: from the end of the text to the right edge.
    static QRect RuleRect(const QRect& client, int textWidth) {
        return {textWidth, 0, qMax(0, client.width() - textWidth), client.height()};
    }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void LayOutRule();

    EtchedLine* rule = nullptr;
    int lastWidth = 0;
};

}  // namespace vexlo
