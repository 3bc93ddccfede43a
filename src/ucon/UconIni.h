#pragma once

#include <QString>

namespace garrison {

// What this machine calls itself towards the relay and the PunkBuster server. The ini file
// and the registration on the server always use the same values.
struct UconIdentity {
    QString localAddress;
    QString loginName;
    QString password;

    // The login name is made from the address; the password is the one kept for this
    // installation (UconPassword).
    static UconIdentity forAddress(const QString& localAddress, const QString& password);
};

// The relay's ini file "codwaw.ini" and the log it writes, in the application folder.
class UconIni {
public:
    static inline const QString kIniFile = QStringLiteral("codwaw.ini");
    static inline const QString kLogFile = QStringLiteral("pbucon.log");

    // The four lines joined by CR LF, without a final line end.
    static QString text(const QString& serverAddress, const QString& serverPort,
                        const QString& relayPort, const UconIdentity& identity);

    // Deletes the old ini file and log in folder, then writes text and one CR LF as the new
    // ini file. Failures are ignored: the relay simply finds no (or an old) file.
    static void write(const QString& folder, const QString& text);
};

} // namespace garrison
