#pragma once

#include <QImage>
#include <QVector>
#include <functional>
#include <random>

#include "widgets/IconButton.h"

namespace vexlo {

// An icon button on a shaded face: a horizontal bump from the shadow colour along the bottom edge
// through the button face to the highlight along the top, with a fine random grain, tinted toward
// a colour; while the mouse is over it, the same face lighter toward the highlight colour.
class ShadedButton final : public IconButton {
    Q_OBJECT
public:
    static constexpr int kHorizontalBump = 4;

    explicit ShadedButton(QWidget* parent = nullptr);

    // The console's look: horizontal bump, grain 8, hover 20 % lighter, tinted 5 % toward blue.
    void ApplyConsoleShading() { ApplyShading(kHorizontalBump, 8, 20, 5, QColor(55, 55, 255)); }
    // The console's look with one of the program's pictures (":/art/<name>.svg") at side x side.
    void ApplyConsoleLook(const QString& picture, int side);
    void ApplyShading(int type, int granularity, int highlightPercent, int colouringPercent, const QColor& colour);

    const QImage& NormalFace() const { return normalFace; }
    const QImage& HoverFace() const { return hoverFace; }

    // The 256 colours of a face: 0 to 128 from shadow to face, 128 to 255 from face to highlight.
    static QVector<QRgb> ShadingPalette(const QColor& shadow, const QColor& face, const QColor& highlight);
    // The palette index a row starts from before the grain; row 0 is the bottom row.
    static int BumpBase(int row, int height, int granularity);
    // Palette indexes of a face, top row first, with random numbers from 0 to 32767 for the grain.
    static QImage FaceIndexes(const QSize& size, int granularity, const std::function<int()>& random);
    // Every entry blended toward the colour by the percentage (capped at 100).
    static QVector<QRgb> BlendPalette(const QVector<QRgb>& palette, const QColor& colour, int percent);

protected:
    void PaintFace(QPainter& painter, bool pressed) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildFaces();

    bool shaded = false;
    int granularity = 0;
    int highlightPercent = 0;
    int colouringPercent = 0;
    QColor colour;
    QImage normalFace;
    QImage hoverFace;
    std::minstd_rand grain;
};

}  // namespace vexlo
