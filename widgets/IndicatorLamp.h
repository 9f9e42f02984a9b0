#pragma once

#include <QImage>
#include <QWidget>

namespace vexlo {

// A 16 x 16 lamp cut from the lamp strip (3 columns: lit, dim, off; rows of 16 pixels: red, green,
// yellow, blue, then the same larger), drawn over the parent's background: the strip's magenta is
// transparent and the control paints nothing around the lamp.
class IndicatorLamp final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLampSize = 16;

    explicit IndicatorLamp(QWidget* parent = nullptr);

    // Stores all three and redraws at once.
    void SetLamp(int row, int column, int rowOffset);
    // Redraws only when the row changes.
    void SetRow(int row);

    int Row() const { return row; }
    int Column() const { return column; }
    // How many times the lamp was redrawn on request (SetLamp), for the checks of SetRow.
    int Redraws() const { return redraws; }

    // The cell of the strip a lamp is cut from.
    static QRect SourceCell(int row, int column, int rowOffset) { return {column * 16, row + rowOffset, 16, 16}; }
    // Where the lamp goes in a client area: centred when it fits, else at the top-left corner.
    static QPoint LampOrigin(const QSize& client);

    QSize sizeHint() const override { return {kLampSize, kLampSize}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage& Strip();

    QImage strip;
    int row = 0;
    int column = 1;
    int rowOffset = 0;
    int redraws = 0;
};

}  // namespace vexlo
