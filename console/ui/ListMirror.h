#pragma once

#include "console/TraceList.h"

namespace vexlo {

class AutoExtentListBox;

// Keeps a list box line for line with a console list model.
class ListMirror final : public TraceListObserver {
public:
    explicit ListMirror(AutoExtentListBox* list) : list(list) {}
    void LineAppended(const std::string& line) override;
    void FirstLineRemoved() override;
    void Cleared() override;
    void LineSelected(int index) override;

private:
    AutoExtentListBox* list;
};

}  // namespace vexlo
