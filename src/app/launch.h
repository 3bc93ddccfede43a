#pragma once

namespace garrison {

class AppController;

// Opens the login window, as at program start. The returned controller owns every window
// and lives until the application object is destroyed.
AppController& launch();

} // namespace garrison
