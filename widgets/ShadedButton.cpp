#include "widgets/ShadedButton.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace vexlo {

ShadedButton::ShadedButton(QWidget* parent) : IconButton(parent), grain(std::random_device{}()) {}

QVector<QRgb> ShadedButton::ShadingPalette(const QColor& shadow, const QColor& face, const QColor& highlight) {
    QVector<QRgb> palette(256);
    const auto mix = [](int from, int to, int i) { return (128 * from + i * (to - from)) / 128; };
    for (int i = 0; i <= 128; ++i) {
        palette[i] = qRgb(mix(shadow.red(), face.red(), i), mix(shadow.green(), face.green(), i),
                          mix(shadow.blue(), face.blue(), i));
    }
    for (int i = 1; i <= 127; ++i) {
        palette[127 + i] = qRgb(((128 - i) * face.red() + i * highlight.red()) / 128,
                                ((128 - i) * face.green() + i * highlight.green()) / 128,
                                ((128 - i) * face.blue() + i * highlight.blue()) / 128);
    }
    palette[255] = qRgb(highlight.red(), highlight.green(), highlight.blue());
    return palette;
}

int ShadedButton::BumpBase(int row, int height, int granularity) {
    const int k = (255 * row) / height - 127;
    return (k * k * k / 16384) * (128 - granularity) / 128 + 128;
}

QImage ShadedButton::FaceIndexes(const QSize& size, int granularity, const std::function<int()>& random) {
    QImage face(size, QImage::Format_Indexed8);
    const int n = granularity == 0 ? 1 : 2 * granularity;
    const int d = 32767 / n;
    for (int row = 0; row < size.height(); ++row) {
        const int base = BumpBase(row, size.height(), granularity);
        // Row 0 is the bottom row of the face.
        uchar* line = face.scanLine(size.height() - 1 - row);
        for (int x = 0; x < size.width(); ++x) {
            line[x] = static_cast<uchar>((base + random() / d - granularity) & 0xFF);
        }
    }
    return face;
}

QVector<QRgb> ShadedButton::BlendPalette(const QVector<QRgb>& palette, const QColor& colour, int percent) {
    const int p = std::min(percent, 100);
    QVector<QRgb> blended(palette.size());
    for (qsizetype i = 0; i < palette.size(); ++i) {
        const QRgb entry = palette[i];
        blended[i] = qRgb((colour.red() * p + qRed(entry) * (100 - p)) / 100,
                          (colour.green() * p + qGreen(entry) * (100 - p)) / 100,
                          (colour.blue() * p + qBlue(entry) * (100 - p)) / 100);
    }
    return blended;
}

void ShadedButton::ApplyShading(int type, int newGranularity, int newHighlight, int newColouring,
                                const QColor& newColour) {
    // Only the horizontal bump is drawn; it is the one every button of the program uses.
    (void)type;
    shaded = true;
    granularity = std::clamp(newGranularity, 0, 255);
    highlightPercent = newHighlight;
    colouringPercent = newColouring;
    colour = newColour;
    BuildFaces();
    update();
}

void ShadedButton::ApplyConsoleLook(const QString& picture, int side) {
    SetButtonIcon(QIcon(QStringLiteral(":/art/%1.svg").arg(picture)), QSize(side, side));
    ApplyConsoleShading();
}

void ShadedButton::BuildFaces() {
    if (!shaded || width() <= 0 || height() <= 0) return;
    std::uniform_int_distribution<int> draw(0, 32767);
    normalFace = FaceIndexes(size(), granularity, [this, &draw] { return draw(grain); });
    const QPalette& system = palette();
    const QVector<QRgb> base =
        ShadingPalette(system.color(QPalette::Active, QPalette::Dark), system.color(QPalette::Active, QPalette::Button),
                       system.color(QPalette::Active, QPalette::Light));
    const QVector<QRgb> coloured = BlendPalette(base, colour, colouringPercent);
    normalFace.setColorTable(coloured);
    hoverFace = normalFace.copy();
    hoverFace.setColorTable(BlendPalette(coloured, system.color(QPalette::Active, QPalette::Light), highlightPercent));
}

void ShadedButton::resizeEvent(QResizeEvent* event) {
    IconButton::resizeEvent(event);
    // A face is made for one size; a button that the layout resizes gets a face of its new size.
    if (shaded && event->size() != normalFace.size()) BuildFaces();
}

void ShadedButton::PaintFace(QPainter& painter, bool pressed) {
    if (normalFace.isNull()) {
        IconButton::PaintFace(painter, pressed);
        return;
    }
    if (!MouseOnButton() || !isEnabled()) {
        painter.drawImage(0, 0, normalFace);
    } else {
        painter.drawImage(pressed ? QPoint(1, 1) : QPoint(0, 0), hoverFace);
    }
}

}  // namespace vexlo
