#include "console/ui/ListMirror.h"

#include "widgets/AutoExtentListBox.h"

namespace vexlo {

void ListMirror::LineAppended(const std::string& line) { list->AddString(QString::fromStdString(line)); }

void ListMirror::FirstLineRemoved() { list->DeleteString(0); }

void ListMirror::Cleared() { list->ResetContent(); }

void ListMirror::LineSelected(int index) { list->SetCurrentLine(index); }

}  // namespace vexlo
