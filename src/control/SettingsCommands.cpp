#include "SettingsCommands.h"

#include <algorithm>

namespace garrison {

namespace {

using Page = SettingsCommands::Page;

// Blanks only: a tab or a line break around the value is sent with it.
QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' ')) {
        ++first;
    }
    while (last > first && text.at(last - 1) == QLatin1Char(' ')) {
        --last;
    }
    return text.sliced(first, last - first);
}

} // namespace

const QList<SettingsCommands::Fixed>& SettingsCommands::fixedCommands()
{
    // The game-type identifiers are the game's own: "Team Death Match" is "war", " WAR" is
    // "twar".
    static const QList<Fixed> kFixed = {
        {Page::Settings, QStringLiteral("Label19"), QStringLiteral("scr_hardcore 1")},
        {Page::Settings, QStringLiteral("Label20"), QStringLiteral("scr_hardcore 0")},
        {Page::Settings, QStringLiteral("Label21"), QStringLiteral("scr_oldschool 1")},
        {Page::Settings, QStringLiteral("Label22"), QStringLiteral("scr_oldschool 0")},
        {Page::Settings, QStringLiteral("Label24"), QStringLiteral("scr_game_allowkillcam 1")},
        {Page::Settings, QStringLiteral("Label25"), QStringLiteral("scr_game_allowkillcam 0")},
        {Page::Settings, QStringLiteral("Label26"), QStringLiteral("scr_team_fftype 1")},
        {Page::Settings, QStringLiteral("Label27"), QStringLiteral("scr_team_fftype 0")},
        {Page::Settings, QStringLiteral("Label77"), QStringLiteral("scr_team_fftype 2")},
        {Page::Settings, QStringLiteral("Label78"), QStringLiteral("scr_team_fftype 3")},
        {Page::Settings, QStringLiteral("Label42"), QStringLiteral("g_gametype twar")},
        {Page::Settings, QStringLiteral("Label29"), QStringLiteral("g_gametype war")},
        {Page::Settings, QStringLiteral("Label30"), QStringLiteral("g_gametype dm")},
        {Page::Settings, QStringLiteral("Label31"), QStringLiteral("g_gametype koth")},
        {Page::Settings, QStringLiteral("Label32"), QStringLiteral("g_gametype sab")},
        {Page::Settings, QStringLiteral("Label33"), QStringLiteral("g_gametype sd")},
        {Page::Settings, QStringLiteral("Label28"), QStringLiteral("g_gametype dom")},
        {Page::Settings, QStringLiteral("Label80"), QStringLiteral("g_allowvote 1")},
        {Page::Settings, QStringLiteral("Label81"), QStringLiteral("g_allowvote 0")},
        {Page::Settings, QStringLiteral("Label83"), QStringLiteral("sv_punkbuster 1")},
        {Page::Settings, QStringLiteral("Label84"), QStringLiteral("sv_punkbuster 0")},
        {Page::Settings, QStringLiteral("Label86"), QStringLiteral("sv_voice 1")},
        {Page::Settings, QStringLiteral("Label87"), QStringLiteral("sv_voice 0")},
        {Page::Settings, QStringLiteral("Label89"), QStringLiteral("scr_teambalance 1")},
        {Page::Settings, QStringLiteral("Label90"), QStringLiteral("scr_teambalance 0")},
        {Page::Admin, QStringLiteral("Label16"), QStringLiteral("serverinfo")},
        {Page::Admin, QStringLiteral("Label17"), QStringLiteral("systeminfo")},
        {Page::Maps, QStringLiteral("Label10"), QStringLiteral("map_rotate")},
        {Page::Maps, QStringLiteral("Label11"), QStringLiteral("map_restart")},
        {Page::Maps, QStringLiteral("Label12"), QStringLiteral("fast_restart")},
    };
    return kFixed;
}

const QList<SettingsCommands::Fixed>& SettingsCommands::queries()
{
    static const QList<Fixed> kQueries = {
        {Page::Settings, QStringLiteral("Label43"), QStringLiteral("g_allowvote")},
        {Page::Settings, QStringLiteral("Label79"), QStringLiteral("g_allowvote")},
        {Page::Settings, QStringLiteral("Label82"), QStringLiteral("sv_punkbuster")},
        {Page::Settings, QStringLiteral("Label85"), QStringLiteral("sv_voice")},
        {Page::Settings, QStringLiteral("Label88"), QStringLiteral("scr_teambalance")},
    };
    return kQueries;
}

QString SettingsCommands::hostName(const QString& name)
{
    return QStringLiteral("sv_hostname ") + name;
}

bool SettingsCommands::isNumber(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

SettingsCommands::PingProblem SettingsCommands::checkPing(const QString& minimum,
                                                          const QString& maximum)
{
    if (!isNumber(minimum) || !isNumber(maximum)) {
        return PingProblem::NotNumbers;
    }
    // Compared as digit strings: a value too long for an integer is still ordered right.
    const auto value = [](const QString& digits) {
        qsizetype first = 0;
        while (first + 1 < digits.size() && digits.at(first) == QLatin1Char('0')) {
            ++first;
        }
        return digits.sliced(first);
    };
    const QString low = value(minimum);
    const QString high = value(maximum);
    const bool above = low.size() != high.size() ? low.size() > high.size() : low > high;
    return above && high != QLatin1String("0") ? PingProblem::MinimumAboveMaximum
                                               : PingProblem::None;
}

SettingsCommands::Ping SettingsCommands::ping(const QString& minimum, const QString& maximum)
{
    return {QStringLiteral("sv_minping ") + minimum, QStringLiteral("sv_maxping ") + maximum,
            QStringLiteral("Min ping is now: ") + minimum +
                QStringLiteral(" and Max ping is now: ") + maximum};
}

SettingsCommands::Confirmed SettingsCommands::privateSlots(const QString& slots)
{
    const QString value = trimBlanks(slots);
    return {QStringLiteral("sv_privateclients ") + value,
            QStringLiteral("Private Slots Defined to: ") + value};
}

SettingsCommands::Confirmed SettingsCommands::slotsPassword(const QString& password)
{
    const QString value = trimBlanks(password);
    return {QStringLiteral("set sv_privatePassword ") + value,
            QStringLiteral("Private Slots Password Defined as ") + value};
}

std::optional<QString> SettingsCommands::unban(const QString& banNumber)
{
    if (banNumber.isEmpty() || banNumber == QLatin1String("0")) {
        return std::nullopt;
    }
    return QStringLiteral("pb_sv_unban ") + banNumber;
}

SettingsCommands::Confirmed SettingsCommands::badName(const QString& name)
{
    // 30 is the anti-cheat command's fixed first argument.
    return {QStringLiteral("pb_sv_badname 30 ") + name,
            name + QStringLiteral(" added to bad name list!")};
}

} // namespace garrison
