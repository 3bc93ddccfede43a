#pragma once

#include "cli/BansCommand.h"
#include "cli/ExitCode.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace garrison::cli {

// One run of garrison-rcon as its arguments ask for it.
struct Request {
    static constexpr int kDefaultPort = 28960;
    static constexpr int kDefaultPaceMs = 600;
    static constexpr int kDefaultTimeoutMs = 3000;
    static constexpr int kDefaultIntervalMs = 10000;

    QString host;     // empty: from the profile
    quint16 port = 0; // 0: from the profile, else kDefaultPort
    int profile = 0;  // 0: none
    QString store = QStringLiteral("garrison");
    QString passwordFile;
    std::optional<QString> password; // given on the command line

    bool status = false;
    bool query = false; // getinfo and getstatus: no password
    bool fromStdin = false;
    bool watch = false;
    QString command; // the words after "--", joined by blanks
    std::optional<BansCommand> bans;
    Format format = Format::Table;
    bool raw = false;

    int paceMs = kDefaultPaceMs;
    int timeoutMs = kDefaultTimeoutMs;
    int intervalMs = kDefaultIntervalMs;
};

struct Parsed {
    enum class Action { Run, Help, Version, Fail };
    Action action = Action::Fail;
    Request request;
    QString error;        // Action::Fail: what is wrong, for stderr
    QStringList warnings; // for stderr, also when the run goes ahead
};

// arguments: as QCoreApplication::arguments(), the program first.
Parsed parseArguments(const QStringList& arguments);

QString helpText();

} // namespace garrison::cli
