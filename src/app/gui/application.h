#pragma once

namespace krtp {

// Builds the application object, installs the Qt dialogs and runs start-up.
int RunApplication(int argc, char* argv[]);

} // namespace krtp
