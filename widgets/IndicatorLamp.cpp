#include "widgets/IndicatorLamp.h"

#include <QPainter>
#include <QSvgRenderer>

namespace vexlo {

IndicatorLamp::IndicatorLamp(QWidget* parent) : QWidget(parent) {
    // The parent's background shows around and under the lamp.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

QPoint IndicatorLamp::LampOrigin(const QSize& client) {
    if (client.width() < kLampSize || client.height() < kLampSize) return {0, 0};
    return {(client.width() - kLampSize) / 2, (client.height() - kLampSize) / 2};
}

void IndicatorLamp::SetLamp(int newRow, int newColumn, int newRowOffset) {
    row = newRow;
    column = newColumn;
    rowOffset = newRowOffset;
    ++redraws;
    repaint();
}

void IndicatorLamp::SetRow(int newRow) {
    if (newRow != row) SetLamp(newRow, column, rowOffset);
}

const QImage& IndicatorLamp::Strip() {
    // Drawn from the vector strip at the screen's scale, so the lamp stays sharp on HiDPI screens.
    const qreal scale = devicePixelRatioF();
    if (!strip.isNull() && qFuzzyCompare(strip.devicePixelRatio(), scale)) return strip;
    QSvgRenderer renderer(QStringLiteral(":/art/lamps.svg"));
    strip = QImage(QSize(48, 128) * scale, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    if (renderer.isValid()) {
        // Only the lamps: the magenta ground of the strip is its transparent colour.
        QPainter painter(&strip);
        const QRectF lamps = renderer.boundsOnElement(QStringLiteral("lamps"));
        renderer.render(&painter, QStringLiteral("lamps"), QRectF(lamps.topLeft() * scale, lamps.size() * scale));
    }
    strip.setDevicePixelRatio(scale);
    return strip;
}

void IndicatorLamp::paintEvent(QPaintEvent*) {
    const QImage& picture = Strip();
    const qreal scale = picture.devicePixelRatio();
    const QRect cell = SourceCell(row, column, rowOffset);
    const QRectF source(cell.x() * scale, cell.y() * scale, cell.width() * scale, cell.height() * scale);
    QPainter painter(this);
    painter.drawImage(QRectF(LampOrigin(size()), QSizeF(kLampSize, kLampSize)), picture, source);
}

}  // namespace vexlo
