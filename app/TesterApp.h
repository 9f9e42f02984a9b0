#pragma once

namespace vexlo {

// The application: settings, the console window run modally, a clean exit.
class TesterApp {
public:
    // Returns the process exit code.
    int Run();
};

}  // namespace vexlo
