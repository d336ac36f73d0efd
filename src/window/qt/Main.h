#pragma once

namespace quenvor::window {

// Starts the program: the application object, the fonts, the platform services and the
// main window, then runs until the window is gone.
int Main(int argc, char** argv);

// Makes Tahoma available where the system does not have it.
void loadFonts();

}  // namespace quenvor::window
