#include "ModerationCommand.h"

#include <QStringList>

namespace garrisond {

namespace {

// The console's own unquoting of a name argument: one pair of surrounding quotes goes.
QString unquoted(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.size() >= 2 && trimmed.startsWith(u'"') && trimmed.endsWith(u'"')) {
        return trimmed.mid(1, trimmed.size() - 2);
    }
    return trimmed;
}

// The console's tokens: blanks separate, double quotes group.
QStringList tokens(const QString& text)
{
    QStringList found;
    QString current;
    bool quoted = false;
    bool any = false;
    for (const QChar c : text) {
        if (c == u'"') {
            quoted = !quoted;
            any = true;
        } else if (c == u' ' && !quoted) {
            if (any) {
                found.append(std::exchange(current, QString()));
            }
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) {
        found.append(current);
    }
    return found;
}

bool isNumber(QStringView text)
{
    bool ok = false;
    [[maybe_unused]] const int number = text.toInt(&ok);
    return ok;
}

} // namespace

std::optional<ModerationCommand> ModerationCommand::parse(const QString& command)
{
    const QString line = command.trimmed();
    const qsizetype blank = line.indexOf(u' ');
    const QString word = line.left(blank < 0 ? line.size() : blank).toLower();
    const QString rest = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
    if (rest.isEmpty()) {
        return std::nullopt;
    }
    ModerationCommand found;
    if (word == u"kick" || word == u"banuser" || word == u"tempbanuser") {
        found.whom = unquoted(rest);
    } else if (word == u"clientkick" || word == u"banclient" || word == u"tempbanclient") {
        found.whom = QStringLiteral("slot ") + rest.section(u' ', 0, 0);
    } else if (word == u"pb_sv_kick" || word == u"pb_sv_ban") {
        const QString slot = rest.section(u' ', 0, 0, QString::SectionSkipEmpty);
        if (!isNumber(slot)) {
            return std::nullopt;
        }
        found.whom = QStringLiteral("PunkBuster slot ") + slot;
        QString reason = rest.section(u' ', 1, -1, QString::SectionSkipEmpty);
        const QString minutes = reason.section(u' ', 0, 0);
        if (isNumber(minutes)) {
            reason = reason.section(u' ', 1, -1, QString::SectionSkipEmpty);
            found.temporary = word == u"pb_sv_kick" && minutes.toInt() > 0;
        }
        found.why = reason.trimmed();
    } else if (word == u"pb_sv_banguid") {
        const QStringList arguments = tokens(rest);
        if (arguments.size() < 2) {
            return std::nullopt;
        }
        found.whom = QStringLiteral("%1 (guid %2)").arg(arguments.at(1), arguments.at(0));
        found.why = arguments.mid(3).join(u' ');
    } else {
        return std::nullopt;
    }
    found.action = word.contains(u"kick") ? QStringLiteral("kick") : QStringLiteral("ban");
    found.temporary = found.temporary || word.startsWith(u"tempban");
    return found;
}

} // namespace garrisond
