#pragma once

class QWidget;

namespace vexlo {

// Screen readers read a value field as its caption (its accessible name) and its current text (its
// value), the way they read the console's counters. For labels and for a group box's title.
void ExposeTextAsValue(QWidget* field);

}  // namespace vexlo
