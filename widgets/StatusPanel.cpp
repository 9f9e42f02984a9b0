#include "widgets/StatusPanel.h"

#include <QPainter>

namespace vexlo {
namespace {

bool IsLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

}  // namespace

StatusPanel::StatusPanel(QWidget* parent)
    : QLabel(parent), textColour(palette().color(QPalette::Active, QPalette::WindowText)) {}

void StatusPanel::SetPanelTextColour(const QColor& colour) {
    textColour = colour;
    update();
}

QStringList StatusPanel::WrapLines(const QString& text, const std::function<bool(const QString&)>& fits) {
    QStringList lines;
    qsizetype lineStart = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        // The second character of a CR LF or LF CR pair ends the line before the pair.
        if (IsLineEnd(c) && i > lineStart && IsLineEnd(text.at(i - 1)) && text.at(i - 1) != c) {
            lines << text.mid(lineStart, i - 1 - lineStart);
            lineStart = ++i;
            continue;
        }
        if (fits(text.mid(lineStart, i + 1 - lineStart))) {
            ++i;
            continue;
        }
        const QString line = text.mid(lineStart, i - lineStart);
        if (line.isEmpty()) {
            // Not even one character fits: it goes on a line of its own.
            lines << text.mid(i, 1);
            lineStart = ++i;
            continue;
        }
        const qsizetype lastSpace = line.lastIndexOf(QLatin1Char(' '));
        if (lastSpace < 0 || line.endsWith(QLatin1Char(' '))) {
            lines << line;
            lineStart = i;
        } else {
            lines << line.left(lastSpace);
            lineStart += lastSpace + 1;
        }
    }
    if (lineStart < text.size()) lines << text.mid(lineStart);
    return lines;
}

QSize StatusPanel::minimumSizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * 8, metrics.height() + 2 * frameWidth()};
}

void StatusPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect client = contentsRect();
    painter.fillRect(rect(), palette().color(QPalette::Window));
    drawFrame(&painter);
    painter.setPen(textColour);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int tabFlag = text().contains(QLatin1Char('\t')) ? Qt::TextExpandTabs : 0;
    const QStringList lines =
        WrapLines(text(), [&](const QString& piece) { return metrics.horizontalAdvance(piece) <= client.width(); });
    const int lineHeight = metrics.height();
    int top = client.top();
    if (alignment() & Qt::AlignVCenter) top += (client.height() - static_cast<int>(lines.size()) * lineHeight) / 2;
    const Qt::Alignment horizontal = alignment() & Qt::AlignHCenter ? Qt::AlignHCenter
                                     : alignment() & Qt::AlignRight ? Qt::AlignRight
                                                                    : Qt::AlignLeft;
    painter.setClipRect(client);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRect lineRect(client.left(), top + static_cast<int>(i) * lineHeight, client.width(), lineHeight);
        painter.drawText(lineRect, static_cast<int>(horizontal) | Qt::AlignTop | Qt::TextSingleLine | tabFlag,
                         lines.at(i));
    }
}

}  // namespace vexlo
