#pragma once

#include <QString>

namespace garrison::sim {

// Everything that shapes one simulated server; the command line fills it, tests set it directly.
struct SimSettings {
    QString password = QStringLiteral("secret");
    // The password players need to join (g_password); empty: anyone may.
    QString joinPassword;
    quint32 seed = 1;
    int players = 8;
    QString map = QStringLiteral("mp_castle");
    QString gametype = QStringLiteral("tdm");
    // Requests that come sooner than this after the last accepted one are dropped; 0 = off.
    int cooldownMs = 0;
    // getinfo and getstatus answered per source address: this many at once, then one more
    // each period; 0 = no limit.
    int queryBurst = 2;
    int queryPeriodMs = 2000;
    // Interval of the player simulation; 0 freezes it until someone calls tick().
    int tickMs = 1000;
    QString logFile;
    // Guids as servers with another authentication print them: 32 hexadecimal digits.
    bool hexGuids = false;
    // Players on ports above 32767, which the engine prints negative, so that their addresses
    // overflow the status column.
    bool highPorts = false;
};

} // namespace garrison::sim
