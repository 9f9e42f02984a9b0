#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

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
    TimeSetupDialog(TesterDevice& device, ConsoleReport& report, int programNumber, QWidget* parent);
    ~TimeSetupDialog() override;

private:
    void Write();

    std::unique_ptr<Ui::TimeSetupDialog> ui;
    TesterDevice& device;
    ConsoleReport& report;
    int programIndex;
    std::array<QLineEdit*, 5> fields{};
};

}  // namespace vexlo
