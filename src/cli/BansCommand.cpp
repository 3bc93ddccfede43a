#include "BansCommand.h"

#include "bans/BanSource.h"
#include "cli/TerminalText.h"
#include "platform/CsvText.h"
#include "rcon/TextLines.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

namespace garrison::cli {

namespace {

constexpr qint64 kMaxDurationSeconds = 10LL * 366 * 24 * 3600;
// A table row stays readable; json and csv carry the whole text.
constexpr qsizetype kTableReasonWidth = 60;

BansCommand::Parsed failure(const QString& error)
{
    BansCommand::Parsed parsed;
    parsed.error = error;
    return parsed;
}

QString utc(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QString();
}

QString addressText(const BanRecord& ban)
{
    return ban.prefixLength >= 0
               ? ban.address + QLatin1Char('/') + QString::number(ban.prefixLength)
               : ban.address;
}

QString cell(const QString& text, qsizetype width = -1)
{
    QString shown = TerminalText::field(StripColourCodes(text));
    if (width > 0 && shown.size() > width) {
        shown = shown.left(width - 1) + QChar(0x2026);
    }
    return shown;
}

} // namespace

std::optional<std::chrono::seconds> BansCommand::duration(const QString& text, bool* ok)
{
    *ok = false;
    const QString trimmed = text.trimmed().toLower();
    if (trimmed == QLatin1String("permanent")) {
        *ok = true;
        return std::nullopt;
    }
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,9})([smhdw])$"));
    const QRegularExpressionMatch match = pattern.match(trimmed);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    static const QHash<QChar, qint64> units{
        {u's', 1}, {u'm', 60}, {u'h', 3600}, {u'd', 86400}, {u'w', 7 * 86400}};
    const qint64 seconds = match.captured(1).toLongLong() * units.value(match.captured(2).at(0));
    if (seconds <= 0 || seconds > kMaxDurationSeconds) {
        return std::nullopt;
    }
    *ok = true;
    return std::chrono::seconds(seconds);
}

BansCommand::Parsed BansCommand::parse(const QStringList& words, const QSet<QString>& valueOptions,
                                       const QDateTime& now)
{
    if (words.isEmpty()) {
        return failure(QStringLiteral("bans needs list, add, lift or import"));
    }
    BansCommand command;
    const QString verb = words.constFirst();
    if (verb == QLatin1String("list")) {
        command.action = Action::List;
    } else if (verb == QLatin1String("add")) {
        command.action = Action::Add;
    } else if (verb == QLatin1String("lift")) {
        command.action = Action::Lift;
    } else if (verb == QLatin1String("import")) {
        command.action = Action::Import;
    } else {
        return failure(
            QStringLiteral("bans needs list, add, lift or import, not \"%1\"").arg(verb));
    }

    // The ban command's own options, each with the actions it belongs to; "--all" alone
    // takes no value.
    static const QHash<QString, QList<Action>> own{
        {QStringLiteral("format"), {Action::List}},
        {QStringLiteral("all"), {Action::List}},
        {QStringLiteral("guid"), {Action::Add}},
        {QStringLiteral("address"), {Action::Add}},
        {QStringLiteral("name"), {Action::Add}},
        {QStringLiteral("reason"), {Action::Add}},
        {QStringLiteral("duration"), {Action::Add}},
        {QStringLiteral("servers"), {Action::Add}},
        {QStringLiteral("note"), {Action::Lift, Action::Add}},
    };
    Parsed parsed;
    QHash<QString, QString> values;
    QStringList positional;
    for (qsizetype index = 1; index < words.size(); ++index) {
        const QString& word = words.at(index);
        if (!word.startsWith(QLatin1String("--"))) {
            if (word.startsWith(QLatin1Char('-')) && word.size() > 1) {
                parsed.rest.append(word); // -h and the like: the main parser's
            } else {
                positional.append(word);
            }
            continue;
        }
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        const QString name = word.mid(2, equals < 0 ? -1 : equals - 2);
        const bool takesValue = name != QLatin1String("all");
        if (!own.contains(name)) {
            parsed.rest.append(word);
            if (equals < 0 && valueOptions.contains(name) && index + 1 < words.size()) {
                parsed.rest.append(words.at(++index));
            }
            continue;
        }
        if (!own.value(name).contains(command.action)) {
            return failure(QStringLiteral("--%1 does not belong to bans %2").arg(name, verb));
        }
        if (values.contains(name)) {
            return failure(QStringLiteral("--%1 is given twice").arg(name));
        }
        if (!takesValue) {
            if (equals >= 0) {
                return failure(QStringLiteral("--%1 takes no value").arg(name));
            }
            values.insert(name, QString());
        } else if (equals >= 0) {
            values.insert(name, word.mid(equals + 1));
        } else if (index + 1 < words.size()) {
            values.insert(name, words.at(++index));
        } else {
            return failure(QStringLiteral("--%1 needs a value").arg(name));
        }
    }

    switch (command.action) {
    case Action::List: {
        if (!positional.isEmpty()) {
            return failure(
                QStringLiteral("unknown word \"%1\" after bans list").arg(positional.constFirst()));
        }
        command.all = values.contains(QStringLiteral("all"));
        const QString format = values.value(QStringLiteral("format"), QStringLiteral("table"));
        if (format == QLatin1String("table")) {
            command.outputFormat = Format::Table;
        } else if (format == QLatin1String("json")) {
            command.outputFormat = Format::Json;
        } else if (format == QLatin1String("csv")) {
            command.outputFormat = Format::Csv;
        } else {
            return failure(
                QStringLiteral("--format is table, json or csv, not \"%1\"").arg(format));
        }
        break;
    }
    case Action::Add: {
        if (!positional.isEmpty()) {
            return failure(
                QStringLiteral("unknown word \"%1\" after bans add").arg(positional.constFirst()));
        }
        const bool guid = values.contains(QStringLiteral("guid"));
        const bool address = values.contains(QStringLiteral("address"));
        if (guid == address) {
            return failure(QStringLiteral("bans add needs --guid G or --address A (one of them)"));
        }
        BanRecord& ban = command.ban;
        if (guid) {
            const QString text = values.value(QStringLiteral("guid"));
            const std::optional<QString> normal = BanRecord::normalisedGuid(text);
            if (!normal) {
                return failure(QStringLiteral("--guid needs up to 20 digits or 32 hexadecimal "
                                              "characters, not \"%1\"")
                                   .arg(TerminalText::field(text.left(40))));
            }
            ban.guid = *normal;
        } else {
            QString why;
            if (!BanRecord::parseAddress(values.value(QStringLiteral("address")), &ban.address,
                                         &ban.prefixLength, &why)) {
                return failure(QStringLiteral("--address: ") + TerminalText::field(why));
            }
        }
        if (values.contains(QStringLiteral("name"))) {
            ban.names = QStringList{values.value(QStringLiteral("name"))};
        }
        ban.reason = values.value(QStringLiteral("reason"));
        ban.note = values.value(QStringLiteral("note"));
        bool ok = false;
        const std::optional<std::chrono::seconds> length =
            duration(values.value(QStringLiteral("duration"), QStringLiteral("permanent")), &ok);
        if (!ok) {
            return failure(QStringLiteral("--duration is a number with m, h, d or w (30m, 2h, "
                                          "7d), or permanent, up to ten years; not \"%1\"")
                               .arg(TerminalText::field(values.value(QStringLiteral("duration")))));
        }
        if (length) {
            ban.until = now.addSecs(length->count());
        }
        const QString servers = values.value(QStringLiteral("servers"), QStringLiteral("all"));
        if (servers.trimmed() != QLatin1String("all")) {
            for (const QString& name : servers.split(QLatin1Char(','))) {
                if (!name.trimmed().isEmpty()) {
                    ban.servers.append(name.trimmed());
                }
            }
            if (ban.servers.isEmpty()) {
                return failure(QStringLiteral("--servers is all or names separated by commas"));
            }
        }
        if (const QString problem = ban.problem(); !problem.isEmpty()) {
            return failure(TerminalText::field(problem));
        }
        break;
    }
    case Action::Lift: {
        bool ok = false;
        command.id = positional.size() == 1 ? positional.constFirst().toLongLong(&ok) : 0;
        if (!ok || command.id <= 0) {
            return failure(QStringLiteral("bans lift needs the id of one ban (a number), as bans "
                                          "list shows it"));
        }
        command.note = values.value(QStringLiteral("note"));
        BanRecord check;
        check.guid = QStringLiteral("0");
        check.note = command.note;
        if (const QString problem = check.problem(); !problem.isEmpty()) {
            return failure(TerminalText::field(problem));
        }
        break;
    }
    case Action::Import:
        if (!positional.isEmpty()) {
            return failure(QStringLiteral("unknown word \"%1\" after bans import")
                               .arg(positional.constFirst()));
        }
        break;
    }
    parsed.command = command;
    return parsed;
}

QString BansCommand::format(QList<BanRecord> bans, Format format, bool all, const QDateTime& now)
{
    if (!all) {
        bans.removeIf(
            [&now](const BanRecord& ban) { return ban.state(now) != BanRecord::State::Active; });
    }
    std::sort(bans.begin(), bans.end(),
              [](const BanRecord& a, const BanRecord& b) { return a.id < b.id; });
    if (format == Format::Json) {
        QJsonArray array;
        for (const BanRecord& ban : bans) {
            array.append(ban.toJson(now));
        }
        return TerminalText::json(
            QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
    }
    const QStringList header{QStringLiteral("id"),      QStringLiteral("names"),
                             QStringLiteral("guid"),    QStringLiteral("address"),
                             QStringLiteral("reason"),  QStringLiteral("until"),
                             QStringLiteral("by"),      QStringLiteral("at"),
                             QStringLiteral("servers"), QStringLiteral("state")};
    QList<QStringList> rows;
    for (const BanRecord& ban : bans) {
        rows.append(
            {QString::number(ban.id), ban.names.join(QStringLiteral(", ")), ban.guid,
             addressText(ban), ban.reason,
             ban.until ? utc(*ban.until) : QStringLiteral("permanent"), ban.issuedBy,
             utc(ban.issuedAt),
             ban.servers.isEmpty() ? QStringLiteral("all") : ban.servers.join(QLatin1Char(',')),
             BanRecord::stateName(ban.state(now))});
    }
    QString text;
    if (format == Format::Csv) {
        // Spreadsheets get the colour codes, the players' own; control characters are shown.
        const auto line = [](const QStringList& fields) {
            QStringList quoted;
            for (const QString& field : fields) {
                quoted.append(CsvText::field(TerminalText::field(field)));
            }
            return quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
        };
        text = line(header);
        for (const QStringList& row : rows) {
            text += line(row);
        }
        return text;
    }
    if (rows.isEmpty()) {
        return all ? QStringLiteral("No bans.\n") : QStringLiteral("No active bans.\n");
    }
    QList<QStringList> shown;
    QStringList upper;
    for (const QString& name : header) {
        upper.append(name.toUpper());
    }
    shown.append(upper);
    for (const QStringList& row : rows) {
        QStringList cells;
        for (qsizetype column = 0; column < row.size(); ++column) {
            cells.append(cell(row.at(column), column == 4 ? kTableReasonWidth : 32));
        }
        shown.append(cells);
    }
    QList<qsizetype> widths(header.size(), 0);
    for (const QStringList& row : shown) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row.at(column).size());
        }
    }
    for (const QStringList& row : shown) {
        QString line;
        for (qsizetype column = 0; column < row.size(); ++column) {
            line += column + 1 < row.size() ? row.at(column).leftJustified(widths[column] + 2)
                                            : row.at(column);
        }
        text += line.trimmed() + QLatin1Char('\n');
    }
    return text;
}

BansCommand::Outcome BansCommand::run(BanSource& source, int timeoutMs) const
{
    Outcome outcome;
    QEventLoop loop;
    QObject context;
    bool done = false;
    const auto finish = [&](int code, const QString& output, const QString& error) {
        if (!done) {
            done = true;
            outcome = {code, output, error};
            loop.quit();
        }
    };
    QObject::connect(&source, &BanSource::failed, &context, [&](const QString& message) {
        finish(kFailed, {}, TerminalText::field(message));
    });
    QObject::connect(&source, &BanSource::listed, &context, [&](const QList<BanRecord>& bans) {
        finish(kReplyReceived, format(bans, outputFormat, all, QDateTime::currentDateTimeUtc()),
               {});
    });
    QObject::connect(&source, &BanSource::added, &context, [&](qint64 newId) {
        finish(kReplyReceived, QString::number(newId) + QLatin1Char('\n'), {});
    });
    QObject::connect(&source, &BanSource::imported, &context, [&](qint64 added, qint64 skipped) {
        finish(kReplyReceived,
               QStringLiteral("Imported %1 bans; %2 skipped.\n").arg(added).arg(skipped), {});
    });
    QObject::connect(&source, &BanSource::changed, &context, [&](qint64 changedId) {
        finish(kReplyReceived, QStringLiteral("Ban %1 lifted.\n").arg(changedId), {});
    });
    QTimer::singleShot(timeoutMs, &context, [&] {
        finish(kNoAnswer, {},
               QStringLiteral("no answer about the bans within %1 s").arg(timeoutMs / 1000.0));
    });
    switch (action) {
    case Action::List:
        source.list();
        break;
    case Action::Add:
        source.add(ban);
        break;
    case Action::Lift:
        source.lift(id, note);
        break;
    case Action::Import:
        source.importFiles();
        break;
    }
    // A source may answer at once.
    if (!done) {
        loop.exec();
    }
    return outcome;
}

QString BansCommand::usage()
{
    return QStringLiteral(
        "       garrison-rcon [options] bans list [--format table|json|csv] [--all]\n"
        "       garrison-rcon [options] bans add (--guid G | --address A[/N]) [--name N]\n"
        "                     [--reason R] [--duration 30m|2h|7d|permanent]\n"
        "                     [--servers all|NAME,...] [--note TEXT]\n"
        "       garrison-rcon [options] bans lift ID [--note TEXT]\n"
        "       garrison-rcon [options] bans import\n");
}

} // namespace garrison::cli
