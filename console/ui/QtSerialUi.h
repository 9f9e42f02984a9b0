#pragma once

#include "serial/SerialUi.h"

class QWidget;

namespace vexlo {

// The serial layer's message box and wait cursor on Qt; installs itself while alive.
class QtSerialUi final : public SerialUi {
public:
    explicit QtSerialUi(QWidget* parent);
    ~QtSerialUi() override;
    void ShowPortError(const std::string& message) override;
    void BeginWait() override;
    void EndWait() override;

private:
    QWidget* parent;
};

}  // namespace vexlo
