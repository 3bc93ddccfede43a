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

// A program that waits the seconds given as its one argument: sleep(1), or on Windows a
// stand-in of the tests' own.
QString sleeperProgram();

// Whether this Windows program runs under Wine, whose system differs from Windows in places
// (it reports no ICMP port-unreachable on UDP sockets, for one).
bool underWine();

// Writes the file anew, executable for a script; false when it cannot.
bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false);

} // namespace garrison::test
