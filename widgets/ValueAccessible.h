#pragma once

class QComboBox;
class QString;
class QWidget;

namespace vexlo {

// Screen readers read a value field as its caption (its accessible name) and its current text (its
// value), the way they read the console's counters. For labels, for a group box's title, and for a
// control that shows its value without text (a lamp), whose value is given in words.
void ExposeTextAsValue(QWidget* field);
// The words a screen reader reads as the value of a control that shows it without text.
void SetSpokenValue(QWidget* field, const QString& words);
// A drop-down list read as its caption (its accessible name, the label beside it) with its choice as
// its value; by default screen readers on Linux get the choice as its name too.
void NameByCaption(QComboBox* list);
// Tells screen readers that the field now shows another value.
void AnnounceValue(QWidget* field);

}  // namespace vexlo
