#include "widgets/CEditEx.h"

namespace vexlo {

CEditEx::CEditEx(QWidget* parent)
    : QLineEdit(parent),
      // Read once, as the colours of the scheme when the control was made.
      backgroundColour(palette().color(QPalette::Active, QPalette::Base)),
      textColour(palette().color(QPalette::Active, QPalette::Text)) {
    ApplyColours();
}

QColor CEditEx::SetTextColor(const QColor& colour) {
    const QColor previous = textColour;
    textColour = colour;
    ApplyColours();
    update();
    return previous;
}

void CEditEx::ApplyColours() {
    QPalette colours = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, backgroundColour);
        colours.setColor(group, QPalette::Text, textColour);
    }
    setPalette(colours);
}

}  // namespace vexlo
