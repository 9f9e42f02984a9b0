#pragma once

namespace vexlo {

class ConsoleWindow;

// What the application adds to the console before it runs: the version in the title and the About
// entry that opens the About box.
void PrepareConsole(ConsoleWindow& console);

// The application: settings, the console window run modally, a clean exit.
class TesterApp {
public:
    // Returns the process exit code.
    int Run();
};

}  // namespace vexlo
