#pragma once

#include <QPainter>
#include <QPalette>

namespace vexlo {

// A control's caption as the buttons draw it: in the button-text colour, or etched when disabled (a
// light copy one pixel right and down under a dark one).
inline void DrawButtonCaption(QPainter& painter, const QRect& area, int flags, const QString& text,
                              const QPalette& colours, bool disabled) {
    if (disabled) {
        painter.setPen(colours.color(QPalette::Light));
        painter.drawText(area.translated(1, 1), flags, text);
        painter.setPen(colours.color(QPalette::Dark));
    } else {
        painter.setPen(colours.color(QPalette::ButtonText));
    }
    painter.drawText(area, flags, text);
}

}  // namespace vexlo
