// vexlo-screenshot: opens the console on the port that the INI file of the current directory names,
// switches "Real time status" on and leaves pictures of what an operator sees: for run.sh on a machine
// without a display, and for the pictures of the documentation.
//   vexlo-screenshot FILE.png             the console, polling, at the size it opens at
//   vexlo-screenshot --screen FILE.png    the whole screen with the console on it
//   vexlo-screenshot --all DIR            the console polling, enlarged, running a cycle, showing its
//                                         result, each dialog, and the results history with its
//                                         statistics (the store's latest batch), as DIR/<name>.png
#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <clocale>
#include <cstdio>
#include <functional>

#include "app/AboutDialog.h"
#include "app/TesterApp.h"
#include "config/AppSettings.h"
#include "config/ui/ProgramSetupDialog.h"
#include "config/ui/SerialPortSetupDialog.h"
#include "console/ui/ConsoleWindow.h"
#include "console/ui/IdentifierDialog.h"
#include "console/ui/TimeSetupDialog.h"
#include "serial/PortTable.h"

namespace vexlo {
namespace {

// Runs the window's events until the condition holds or the time is up; a picture is taken either way.
bool Await(const std::function<bool()>& condition, int limitMs) {
    QDeadlineTimer deadline(limitMs);
    while (!condition() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 50);
    return condition();
}

void Settle(int ms) {
    Await([] { return false; }, ms);
}

bool Save(QWidget* window, const QString& file) {
    const bool saved = window->grab().save(file);
    if (!saved) std::fprintf(stderr, "vexlo-screenshot: could not write %s\n", qPrintable(file));
    return saved;
}

template <typename T>
T* Child(QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

bool AllPictures(ConsoleWindow& console, AppSettings& settings, const QDir& dir) {
    bool ok = Save(&console, dir.filePath("console-polling.png"));
    const QSize opening = console.size();
    console.resize(1560, 960);
    Settle(300);
    ok &= Save(&console, dir.filePath("console-enlarged.png"));
    console.resize(opening);
    Child<QPushButton>(&console, "startButton")->click();
    Settle(1500);
    ok &= Save(&console, dir.filePath("console-running.png"));
    Child<QCheckBox>(&console, "erdCheck")->setChecked(true);
    Await([&] { return Child<QCheckBox>(&console, "eocLight")->isChecked(); }, 8000);
    Child<QPushButton>(&console, "readLastResultButton")->click();
    Settle(300);
    ok &= Save(&console, dir.filePath("console-result.png"));

    const auto dialog = [&](QDialog&& shown, const char* name) {
        shown.show();
        Settle(100);
        ok &= Save(&shown, dir.filePath(QString::fromLatin1(name) + ".png"));
    };
    dialog(ProgramSetupDialog(settings, &console), "program-setup");
    dialog(SerialPortSetupDialog(GetPortSettings(0), &console), "serial-port-setup");
    dialog(TimeSetupDialog(console.Console(), 1, &console), "time-setup");
    dialog(IdentifierDialog(console.Console(), &console), "identifiants");
    dialog(AboutDialog(&console), "about");

    HistoryWindow& history = console.OpenHistory();
    history.show();
    Settle(300);
    ok &= Save(&history, dir.filePath("history.png"));
    if (auto* tabs = history.findChild<QTabWidget*>()) {
        tabs->setCurrentIndex(1);
        Settle(300);
        ok &= Save(&history, dir.filePath("history-spc.png"));
    }
    history.close();
    return ok;
}

int Run(const QCommandLineParser& options) {
    // The pictures show the console at the size it opens at, and leave the operator's remembered
    // window place alone.
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(ConsoleWindow::kPlacementSection);
    AppSettings settings;
    ConsoleWindow console(settings);
    PrepareConsole(console);
    console.show();
    // The console opens idle; the pictures show it polling.
    Child<QPushButton>(&console, "realTimeStatusButton")->click();
    if (!Await([&] { return console.Console().LampState() == kLampGreen; }, 10000)) {
        std::fprintf(stderr, "vexlo-screenshot: the instrument did not answer; the picture shows why\n");
    }
    const QString target = options.positionalArguments().value(0);
    bool ok = false;
    if (options.isSet("all")) {
        ok = QDir().mkpath(target) && AllPictures(console, settings, QDir(target));
    } else if (options.isSet("screen")) {
        QScreen* screen = console.screen();
        ok = screen != nullptr && screen->grabWindow(0).save(target);
        if (!ok) std::fprintf(stderr, "vexlo-screenshot: could not grab the screen into %s\n", qPrintable(target));
    } else {
        ok = Save(&console, target);
    }
    console.reject();
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace vexlo

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setOrganizationName(QStringLiteral("Vexlo"));
    QApplication::setApplicationName(QStringLiteral("VEXLO Modbus Tester"));
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Pictures of the console, polling the instrument of the INI file"));
    options.addHelpOption();
    options.addOption({QStringLiteral("screen"), QStringLiteral("Grab the whole screen with the console on it.")});
    options.addOption({QStringLiteral("all"), QStringLiteral("Leave every picture in the directory given.")});
    options.addPositionalArgument(QStringLiteral("target"), QStringLiteral("The PNG file (or directory with --all)."));
    options.process(application);
    if (options.positionalArguments().size() != 1) {
        std::fprintf(stderr, "usage: vexlo-screenshot [--screen | --all] TARGET\n");
        return 2;
    }
    return vexlo::Run(options);
}
