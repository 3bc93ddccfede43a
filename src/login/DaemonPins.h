#pragma once

#include <QString>

namespace garrison {

// The daemon certificates that the user trusted (the SHA-256 fingerprint of each, as garrisond
// --show-fingerprint prints it). The certificate is pinned, not its public key: that is what
// the administrator compares, and garrisond's own certificate lasts for decades; one signed by
// a public authority for the host name is trusted without a pin, so renewals need nothing.
// A profile keeps the pin of its daemon (key "DaemonCertificate" of its section) while its
// saved daemon address and port are the ones logged in to; other logins keep theirs under
// "host:port" in the section "[DaemonCertificates]".
class DaemonPins {
public:
    // `slot`: the profile the login fields came from, 0 for none.
    static QString pinned(const QString& application, int slot, const QString& host,
                          const QString& port);
    static void pin(const QString& application, int slot, const QString& host, const QString& port,
                    const QString& fingerprint);
    static void forget(const QString& application, int slot, const QString& host,
                       const QString& port);

    static inline const QString kProfileKey = QStringLiteral("DaemonCertificate");
    static inline const QString kSection = QStringLiteral("[DaemonCertificates]");
};

} // namespace garrison
