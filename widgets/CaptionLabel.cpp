#include "widgets/CaptionLabel.h"

#include <QPainter>
#include <QResizeEvent>

namespace vexlo {

std::pair<QLine, QLine> EtchedLine::Lines(const QRect& client) {
    if (client.width() >= client.height()) {
        const int y = client.top() + (client.height() - 1) / 2;
        const int x0 = client.left() + 2;
        const int x1 = x0 + client.width() - 4;
        return {QLine(x0, y, x1, y), QLine(x0, y + 1, x1, y + 1)};
    }
    const int x = client.left() + (client.width() - 1) / 2;
    const int y0 = client.top() + 2;
    const int y1 = y0 + client.height() - 4;
    return {QLine(x, y0, x, y1), QLine(x + 1, y0, x + 1, y1)};
}

void EtchedLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const auto [dark, light] = Lines(rect());
    painter.setPen(QPen(palette().color(QPalette::Dark), 1));
    painter.drawLine(dark);
    painter.setPen(QPen(palette().color(QPalette::Light), 1));
    painter.drawLine(light);
}

CaptionLabel::CaptionLabel(QWidget* parent) : QLabel(parent) {
    QFont bold = font();
    bold.setWeight(QFont::Bold);
    setFont(bold);
}

QSize CaptionLabel::sizeHint() const {
    // The shortest rule that still reads as one: four average characters.
    return QLabel::sizeHint() + QSize(4 * fontMetrics().averageCharWidth(), 0);
}

void CaptionLabel::LayOutRule() {
    delete rule;
    lastWidth = width();
    const QString measured = text().isEmpty() ? QString() : text() + QLatin1Char(' ');
    const int textWidth = QFontMetrics(font()).horizontalAdvance(measured);
    rule = new EtchedLine(this);
    rule->setGeometry(RuleRect(rect(), textWidth));
    rule->show();
}

void CaptionLabel::showEvent(QShowEvent* event) {
    if (rule == nullptr) LayOutRule();
    QLabel::showEvent(event);
}

void CaptionLabel::resizeEvent(QResizeEvent* event) {
    if (rule != nullptr) {
        rule->resize(qMax(0, rule->width() + event->size().width() - lastWidth), event->size().height());
        lastWidth = event->size().width();
    }
    QLabel::resizeEvent(event);
}

void CaptionLabel::moveEvent(QMoveEvent* event) {
    QLabel::moveEvent(event);
    if (rule != nullptr) LayOutRule();
}

}  // namespace vexlo
