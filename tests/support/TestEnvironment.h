#pragma once

#include <QString>

namespace garrison::test {

// Called before the application object exists: points settings, data (the player history),
// runtime files and the program's application folder at a private temporary folder, and
// selects the offscreen platform unless the caller chose one, so that no test touches the
// user's own files.
void prepareEnvironment();

// The private folder of this test process (removed when the process ends).
QString scratchFolder();

} // namespace garrison::test
