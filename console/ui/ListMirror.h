#pragma once

#include "console/TraceList.h"

class QListWidget;

namespace vexlo {

// Keeps a list widget line for line with a console list model.
class ListMirror final : public TraceListObserver {
public:
    explicit ListMirror(QListWidget* list) : list(list) {}
    void LineAppended(const std::string& line) override;
    void FirstLineRemoved() override;
    void Cleared() override;
    void LineSelected(int index) override;

private:
    QListWidget* list;
};

}  // namespace vexlo
