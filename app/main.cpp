#include <QApplication>

#include "app/TesterApp.h"

int main(int argc, char** argv) {
    // Qt takes its own options (-platform, -style, ...); the program adds none.
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vexlo"));
    QApplication::setApplicationName(QStringLiteral("VEXLO Modbus Tester"));
    return vexlo::TesterApp().Run();
}
