#pragma once

#include <QString>
#include <optional>

namespace garrison {

// What a reply datagram updates, decided by the last command sent (never by the reply's
// content: the console protocol carries no request identifier).
namespace ReplyRouter {

enum class Action {
    GetPlayers, // the status reply: collected until the table is whole, then the grid
    ListAppend, // ban or bad-name list: append to the list buffer and start its publication
    Reader,     // show the reply in the reader window, replacing its text
    Indicator,  // an on/off pair on the settings page
    HostName,   // the host-name label
    MapName,    // the map label, the password check and the host-name follow-up
    None,
};

// The four on/off pairs: vote allowed, PunkBuster, voice and team balance.
enum class Indicator { Vote, PunkBuster, Voice, TeamBalance };

struct IndicatorSetting {
    Indicator indicator = Indicator::Vote;
    QString name;         // the variable's name as the reply spells it
    QString defaultValue; // the default the reply reports when nothing was changed
};

struct Route {
    Action action = Action::None;
    IndicatorSetting indicator; // meaningful only for Action::Indicator
};

// Exact and case-sensitive: "Status" or "pb_sv_BanList" route nowhere.
Route route(const QString& lastCommand);

// The reply leaves exactly "1" once the name, the separators, the default clause, the domain
// line, colour codes, line breaks and double quotes are removed.
bool indicatorIsOn(const QString& replyText, const QString& name, const QString& defaultValue);
bool indicatorIsOn(const QString& replyText, const IndicatorSetting& setting);

// A variable's current value from the server's answer to its bare name, in either engine's
// wording ("name" is: "value^7" default: … or "name" is:"value^7" …), without colour codes;
// nullopt when the reply is no report of that variable (the name is compared ignoring case).
std::optional<QString> parseValue(const QString& replyText, const QString& name);

QString parseHostName(const QString& replyText);
QString parseMapName(const QString& replyText);

// The server answers every command with this line when the password is wrong, whatever the
// command was; colour codes and blanks around it do not count.
bool isInvalidPassword(const QString& replyText);

// A command after which the server loads a map (again), so the map label has to be asked anew.
bool changesMap(const QString& command);

// After a map reply the host name is asked for while the label still shows a placeholder.
bool hostNameWanted(const QString& hostNameLabel);

// The list buffer as the admin page shows it: without the relay's PunkBuster prefixes.
QString publishList(const QString& listBuffer);

} // namespace ReplyRouter

} // namespace garrison
