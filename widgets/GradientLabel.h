#pragma once

#include <QLabel>

namespace vexlo {

// A label painted like a title bar: 255 vertical strips from the caption colour on the left to the
// button face on the right, its text in the caption-text colour.
class GradientLabel final : public QLabel {
    Q_OBJECT
public:
    static constexpr int kStrips = 255;
    static constexpr int kMargin = 10;

    explicit GradientLabel(QWidget* parent = nullptr);

    // Does nothing when the text is the one shown; else sets it and repaints once.
    void SetCaptionText(const QString& text);
    int Repaints() const { return repaints; }

    // Strip i runs from left + trunc(i W / 255) to left + trunc((i + 1) W / 255).
    static QRect StripRect(int i, const QRect& client);
    static QColor StripColour(int i, const QColor& start, const QColor& end);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor startColour;
    QColor endColour;
    QColor captionTextColour;
    int repaints = 0;
};

}  // namespace vexlo
