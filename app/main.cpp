#include <QApplication>
#include <clocale>

#include "app/TesterApp.h"

int main(int argc, char** argv) {
    // Qt takes its own options (-platform, -style, ...); the program adds none.
    QApplication application(argc, argv);
    // Qt takes the system locale for the C library too; the console's numbers, its trace and the
    // history CSV are written with a dot whatever the operator's language.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setOrganizationName(QStringLiteral("Vexlo"));
    QApplication::setApplicationName(QStringLiteral("VEXLO Modbus Tester"));
    return vexlo::TesterApp().Run();
}
