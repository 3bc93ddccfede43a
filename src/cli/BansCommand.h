#pragma once

#include "bans/BanRecord.h"
#include "cli/ExitCode.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace garrison {
class BanSource;
}

namespace garrison::cli {

// garrison-rcon's "bans list|add|lift|import": the words after "bans", and their run against the
// bans of a daemon or of a history database, whichever BanSource the caller gives.
class BansCommand {
public:
    enum class Action { List, Add, Lift, Import };

    struct Parsed;
    struct Outcome {
        int exitCode = kReplyReceived;
        QString output; // for stdout
        QString error;  // for stderr
    };

    // words: the arguments after "bans". valueOptions: the long names of the main parser's
    // options that take a value, so that "--profile 2" after "bans" is handed back whole.
    static Parsed parse(const QStringList& words, const QSet<QString>& valueOptions,
                        const QDateTime& now);
    // "30m", "2h", "7d", "2w"; nothing for "permanent" and for what is not a duration (ok false).
    static std::optional<std::chrono::seconds> duration(const QString& text, bool* ok);
    // The bans in the format asked for; without `all` only the active ones.
    static QString format(QList<BanRecord> bans, Format format, bool all, const QDateTime& now);
    static QString usage();

    // Asks the source and waits for its answer, at most timeoutMs.
    Outcome run(BanSource& source, int timeoutMs) const;

    Action action = Action::List;
    Format outputFormat = Format::Table;
    bool all = false;
    BanRecord ban; // Add
    qint64 id = 0; // Lift
    QString note;  // Lift
};

struct BansCommand::Parsed {
    std::optional<BansCommand> command;
    QString error;
    // Options that are not the ban command's own (--profile N), for the main parser.
    QStringList rest;
};

} // namespace garrison::cli
