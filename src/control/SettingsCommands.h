#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace garrison {

// The console commands of the Settings, Admin and Maps pages: the label-buttons that send one
// literal, the option names that ask the server, and the commands composed from the pages'
// boxes. Values go out as typed; only the private-slot fields are trimmed.
class SettingsCommands {
public:
    enum class Page { Settings, Admin, Maps };

    struct Fixed {
        Page page;
        QString control; // objectName of the label-button
        QString command;
    };

    // A command and the confirmation shown once it is handed over.
    struct Confirmed {
        QString command;
        QString report;
    };

    enum class PingProblem { None, NotNumbers, MinimumAboveMaximum };

    struct Ping {
        QString minimum; // sent at once
        QString maximum; // deferred
        QString report;
    };

    // One click sends the literal.
    static const QList<Fixed>& fixedCommands();
    // One click sends the bare variable name; the reply routing lights the indicator pair.
    static const QList<Fixed>& queries();

    // What the number fields take: one or more digits, nothing else.
    static bool isNumber(const QString& text);

    static QString hostName(const QString& name);
    // A maximum of 0 is the server's "no limit", so any minimum goes with it.
    static PingProblem checkPing(const QString& minimum, const QString& maximum);
    static Ping ping(const QString& minimum, const QString& maximum);
    static Confirmed privateSlots(const QString& slots);
    static Confirmed slotsPassword(const QString& password);
    // nullopt when no ban number was filled in ("0" or empty, exactly).
    static std::optional<QString> unban(const QString& banNumber);
    static Confirmed badName(const QString& name);

    static inline const QString kBanList = QStringLiteral("pb_sv_banlist");
    static inline const QString kBadNameList = QStringLiteral("PB_SV_BadNameList");
    static inline const QString kRestartPunkbuster = QStringLiteral("pb_sv_restart");
    static inline const QString kRestartServer = QStringLiteral("Quit");
    static inline const QString kScreenshotAll = QStringLiteral("pb_sv_getss");
};

} // namespace garrison
