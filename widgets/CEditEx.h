#pragma once

#include <QLineEdit>

namespace vexlo {

// An edit whose text and background colours are the program's: a read-only one keeps the window
// colour as its background instead of the greyed look read-only edits otherwise get.
class CEditEx final : public QLineEdit {
    Q_OBJECT
public:
    explicit CEditEx(QWidget* parent = nullptr);

    // Returns the colour set before (the window-text colour the first time) and repaints.
    QColor SetTextColor(const QColor& colour);
    QColor TextColor() const { return textColour; }
    QColor BackgroundColor() const { return backgroundColour; }

private:
    void ApplyColours();

    QColor backgroundColour;
    QColor textColour;
};

}  // namespace vexlo
