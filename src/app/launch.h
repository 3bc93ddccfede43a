#pragma once

namespace garrison {

class AppController;

// Opens the login window, as at program start. The returned controller owns every window
// and lives until the application object is destroyed.
AppController& launch();

// The whole program: answers --version and --help on standard output without opening a
// window (so they work without a display), else creates the application, calls launch()
// and runs the event loop. Returns the exit code.
int launch(int& argc, char** argv);

} // namespace garrison
