#include "ReplyRouter.h"

#include "rcon/TextLines.h"

#include <QRegularExpression>
#include <QStringList>
#include <array>
#include <optional>

namespace garrison::ReplyRouter {

namespace {

const QString kQuote = QStringLiteral("\"");
const QString kLineBreak = QStringLiteral("\r\n");
const QString kIs = QStringLiteral(" is: ");
const QString kDefault = QStringLiteral(" default: ");
const QString kAnyTextDomain = QStringLiteral("  Domain is any text");

// Colour codes go after the domain line and before line breaks and quotes.
QString finishValue(QString text)
{
    text = StripColourCodes(std::move(text));
    text.remove(kLineBreak);
    text.remove(kQuote);
    return text;
}

// ioquake3 words a variable as "name" is:"value^7" followed by ", the default" or
// default:"value^7"; the removals below are made for the other wording and would leave "is:" and
// the default in the label. The value is what stands between is:" and the colour reset.
std::optional<QString> newerEngineValue(const QString& replyText)
{
    static const QString kOpen = QStringLiteral("\" is:\"");
    static const QString kClose = QStringLiteral("^7\"");
    const qsizetype open = replyText.indexOf(kOpen);
    if (open < 0) {
        return std::nullopt;
    }
    const qsizetype begin = open + kOpen.size();
    const qsizetype end = replyText.indexOf(kClose, begin);
    if (end < 0) {
        return std::nullopt;
    }
    return StripColourCodes(replyText.mid(begin, end - begin));
}

struct Key {
    const char16_t* command;
    Route route;
};

const std::array<Key, 11>& table()
{
    static const std::array<Key, 11> kTable = {{
        {u"status", {Action::GetPlayers, {}}},
        {u"pb_sv_banlist", {Action::ListAppend, {}}},
        {u"PB_SV_BadNameList", {Action::ListAppend, {}}},
        {u"serverinfo", {Action::Reader, {}}},
        {u"systeminfo", {Action::Reader, {}}},
        {u"g_allowvote",
         {Action::Indicator,
          {Indicator::Vote, QStringLiteral("g_allowVote"), QStringLiteral("1")}}},
        {u"sv_punkbuster",
         {Action::Indicator,
          {Indicator::PunkBuster, QStringLiteral("sv_punkbuster"), QStringLiteral("1")}}},
        {u"sv_voice",
         {Action::Indicator, {Indicator::Voice, QStringLiteral("sv_voice"), QStringLiteral("0")}}},
        {u"scr_teambalance",
         {Action::Indicator,
          {Indicator::TeamBalance, QStringLiteral("scr_teambalance"), QStringLiteral("1")}}},
        {u"sv_hostname", {Action::HostName, {}}},
        {u"mapname", {Action::MapName, {}}},
    }};
    return kTable;
}

} // namespace

Route route(const QString& lastCommand)
{
    for (const Key& key : table()) {
        if (lastCommand == QStringView(key.command)) {
            return key.route;
        }
    }
    return {};
}

bool indicatorIsOn(const QString& replyText, const QString& name, const QString& defaultValue)
{
    if (const std::optional<QString> value = newerEngineValue(replyText)) {
        return *value == QLatin1String("1");
    }
    QString text = replyText;
    text.remove(name);
    text.remove(kIs);
    text.remove(kDefault + kQuote + defaultValue);
    text.remove(QStringLiteral("  Domain is 0 or 1"));
    return finishValue(std::move(text)) == QLatin1String("1");
}

bool indicatorIsOn(const QString& replyText, const IndicatorSetting& setting)
{
    return indicatorIsOn(replyText, setting.name, setting.defaultValue);
}

std::optional<QString> parseValue(const QString& replyText, const QString& name)
{
    // The value ends at the colour reset that the server appends to it; it may hold quotes.
    static const QRegularExpression kReport(
        QStringLiteral("^\\s*\"([^\"\r\n]*)\" is: ?\"([^\r\n]*?)\\^7\""));
    const QRegularExpressionMatch match = kReport.match(replyText);
    if (!match.hasMatch() || match.captured(1).compare(name, Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return StripColourCodes(match.captured(2));
}

QString parseHostName(const QString& replyText)
{
    if (const std::optional<QString> value = newerEngineValue(replyText)) {
        return *value;
    }
    QString text = replyText;
    text.remove(QStringLiteral("sv_hostname"));
    text.remove(kIs);
    text.remove(kDefault);
    text.remove(QStringLiteral("CoDWaWHost"));
    text.remove(kAnyTextDomain);
    return finishValue(std::move(text));
}

QString parseMapName(const QString& replyText)
{
    if (const std::optional<QString> value = newerEngineValue(replyText)) {
        return *value;
    }
    QString text = replyText;
    text.remove(QStringLiteral("mapname"));
    text.remove(kIs);
    text.remove(kDefault);
    text.remove(kAnyTextDomain);
    return finishValue(std::move(text));
}

bool isInvalidPassword(const QString& replyText)
{
    if (!replyText.contains(QLatin1String("password."))) {
        return false;
    }
    for (const QString& line : replyText.split(QLatin1Char('\n'))) {
        if (StripColourCodes(line).trimmed() == QLatin1String("Invalid password.")) {
            return true;
        }
    }
    return false;
}

bool changesMap(const QString& command)
{
    static const QStringList kCommands = {
        QStringLiteral("map"),          QStringLiteral("devmap"),     QStringLiteral("map_restart"),
        QStringLiteral("fast_restart"), QStringLiteral("map_rotate"),
    };
    // The console takes command names in any case.
    const QString word = command.trimmed().section(QLatin1Char(' '), 0, 0);
    return kCommands.contains(word, Qt::CaseInsensitive);
}

bool hostNameWanted(const QString& hostNameLabel)
{
    return hostNameLabel == QLatin1String("loading...") ||
           hostNameLabel == QLatin1String("nohostname");
}

QString publishList(const QString& listBuffer)
{
    // The order matters: the colon-less forms must not eat the colon of the longer ones.
    static const QString kPrefixes[] = {
        QStringLiteral("^3PunkBuster Server:"), QStringLiteral("^1PunkBuster Server:"),
        QStringLiteral("^2PunkBuster Server:"), QStringLiteral("^4PunkBuster Server:"),
        QStringLiteral("^6PunkBuster Server:"), QStringLiteral("^7PunkBuster Server:"),
        QStringLiteral("^5PunkBustr Server:"),  QStringLiteral("^5PunkBuster Server:"),
        QStringLiteral("^5PunkBuster Server"),  QStringLiteral("^4PunkBuster Server"),
        QStringLiteral("^3PunkBuster Server"),  QStringLiteral("^2PunkBuster Server"),
        QStringLiteral("^1PunkBuster Server"),  QStringLiteral("^6PunkBuster Server"),
        QStringLiteral("^7PunkBuster Server"),  QStringLiteral("^3PunkBuster Serve:"),
    };
    QString text = listBuffer;
    for (const QString& prefix : kPrefixes) {
        text.remove(prefix);
    }
    return text;
}

} // namespace garrison::ReplyRouter
