#pragma once

#include <QDialog>
#include <memory>

#include "instrument/ConsoleReport.h"
#include "instrument/TesterDevice.h"

namespace Ui {
class IdentifierDialog;
}

namespace vexlo {

// "Identifiants": reads or writes any parameter of any program by its number.
class IdentifierDialog final : public QDialog {
    Q_OBJECT
public:
    IdentifierDialog(TesterDevice& device, ConsoleReport& report, QWidget* parent);
    ~IdentifierDialog() override;

private:
    void Read();
    void Write();
    bool Refused(const std::optional<std::string>& message);

    std::unique_ptr<Ui::IdentifierDialog> ui;
    TesterDevice& device;
    ConsoleReport& report;
};

}  // namespace vexlo
