#include "app/TesterApp.h"

#include <QMessageBox>
#include <memory>
#include <new>

#include "app/AboutDialog.h"
#include "app/VersionInfo.h"
#include "config/AppSettings.h"
#include "console/ui/ConsoleWindow.h"

namespace vexlo {

void PrepareConsole(ConsoleWindow& console) {
    const VersionInfo version;
    console.setWindowTitle(QString::fromStdString(VersionedTitle(console.windowTitle().toStdString(), version)));
    console.AddAboutEntry(QStringLiteral("&About VexloModbusTester..."), [&console] {
        AboutDialog about(&console);
        about.exec();
    });
}

int TesterApp::Run() {
    std::unique_ptr<AppSettings> settings;
    try {
        settings = std::make_unique<AppSettings>();
    } catch (const std::bad_alloc&) {
        QMessageBox::warning(nullptr, QString(), QStringLiteral("Brevan setup error !!!"), QMessageBox::Ok);
        return 0;
    }
    ConsoleWindow console(*settings);
    PrepareConsole(console);
    console.exec();
    return 0;
}

}  // namespace vexlo
