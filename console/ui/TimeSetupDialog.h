#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "console/TesterConsole.h"

namespace Ui {
class TimeSetupDialog;
}
class QLineEdit;

namespace vexlo {

// "Time Setup": fill, stabilisation and test times and the two reject limits of one program. It
// reads them when it opens and writes them on each "OK"; it stays open until "Exit".
class TimeSetupDialog final : public QDialog {
    Q_OBJECT
public:
    // Its transactions run through the console's device with the status poll held off, and are
    // traced in the console's trace.
    TimeSetupDialog(TesterConsole& console, int programNumber, QWidget* parent);
    ~TimeSetupDialog() override;

private:
    void Write();

    std::unique_ptr<Ui::TimeSetupDialog> ui;
    TesterConsole& console;
    int programIndex;
    std::array<QLineEdit*, 5> fields{};
};

}  // namespace vexlo
