#pragma once

namespace garrison::cli {

// What garrison-rcon's exit code tells a script.
enum ExitCode : int {
    kReplyReceived = 0,
    kFailed = 1, // the machine refused something: no socket
    kBadPassword = 2,
    kNoAnswer = 3,
    kBadArguments = 4, // also any problem with the password file: the caller's to fix
    kHostNotFound = 5,
    // Part of the reply is missing: datagrams were lost, or it was cut because it grew too
    // long or was still coming at the timeout. What came is printed all the same.
    kIncomplete = 6,
    // The daemon of a profile shows a certificate that is not trusted (not yet, or no more).
    kUntrustedDaemon = 7,
};

enum class Format { Table, Json, Csv };

} // namespace garrison::cli
