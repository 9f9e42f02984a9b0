#include "widgets/GradientLabel.h"

#include <QPainter>

namespace vexlo {

GradientLabel::GradientLabel(QWidget* parent)
    : QLabel(parent),
      startColour(palette().color(QPalette::Active, QPalette::Highlight)),
      endColour(palette().color(QPalette::Active, QPalette::Button)),
      captionTextColour(palette().color(QPalette::Active, QPalette::HighlightedText)) {}

void GradientLabel::SetCaptionText(const QString& newText) {
    if (newText == text()) return;
    setUpdatesEnabled(false);
    setText(newText);
    setUpdatesEnabled(true);
    ++repaints;
    repaint();
}

QRect GradientLabel::StripRect(int i, const QRect& client) {
    const int left = client.left() + i * client.width() / kStrips;
    const int right = client.left() + (i + 1) * client.width() / kStrips;
    return {left, client.top(), right - left, client.height()};
}

QColor GradientLabel::StripColour(int i, const QColor& start, const QColor& end) {
    const auto channel = [i](int from, int to) { return from + i * (to - from) / kStrips; };
    return {channel(start.red(), end.red()), channel(start.green(), end.green()), channel(start.blue(), end.blue())};
}

void GradientLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect client = rect();
    for (int i = 0; i < kStrips; ++i) {
        const QRect strip = StripRect(i, client);
        if (strip.width() > 0) painter.fillRect(strip, StripColour(i, startColour, endColour));
    }
    painter.setPen(captionTextColour);
    const QRect textArea = client.adjusted(kMargin, 0, -kMargin, 0);
    const Qt::Alignment horizontal = alignment() & Qt::AlignHCenter ? Qt::AlignHCenter
                                     : alignment() & Qt::AlignRight ? Qt::AlignRight
                                                                    : Qt::AlignLeft;
    painter.drawText(textArea, Qt::AlignVCenter | Qt::TextSingleLine | horizontal, text());
}

}  // namespace vexlo
