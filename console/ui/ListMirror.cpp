#include "console/ui/ListMirror.h"

#include <QListWidget>

namespace vexlo {

void ListMirror::LineAppended(const std::string& line) { list->addItem(QString::fromStdString(line)); }

void ListMirror::FirstLineRemoved() { delete list->takeItem(0); }

void ListMirror::Cleared() { list->clear(); }

void ListMirror::LineSelected(int index) {
    list->setCurrentRow(index);
    list->scrollToItem(list->item(index));
}

}  // namespace vexlo
