#include "app/TesterApp.h"

#include <QMessageBox>
#include <memory>
#include <new>

#include "config/AppSettings.h"
#include "console/ui/ConsoleWindow.h"

namespace vexlo {

int TesterApp::Run() {
    std::unique_ptr<AppSettings> settings;
    try {
        settings = std::make_unique<AppSettings>();
    } catch (const std::bad_alloc&) {
        QMessageBox::warning(nullptr, QString(), QStringLiteral("Brevan setup error !!!"), QMessageBox::Ok);
        return 0;
    }
    ConsoleWindow console(*settings);
    console.exec();
    return 0;
}

}  // namespace vexlo
