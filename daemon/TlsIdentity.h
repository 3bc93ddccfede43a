#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslKey>
#include <QString>
#include <optional>

namespace garrisond {

struct DaemonConfig;

// The certificate and private key that garrisond shows its clients. Unless the configuration
// names its own files (for example from an ACME client), garrisond makes an ECDSA P-256 key
// and a self-signed certificate at the first start; clients then pin the certificate's
// SHA-256 fingerprint, which the administrator compares with --show-fingerprint.
class TlsIdentity {
public:
    // Reads the files; garrisond's own are made first when both are missing (*made is set
    // then). Named files that are missing or unreadable are an error, never replaced.
    static std::optional<TlsIdentity> load(const DaemonConfig& config, bool* made, QString* error);
    // A new key and a certificate for `commonName`, valid for decades, written 0600.
    static bool create(const QString& certificatePath, const QString& keyPath,
                       const QString& commonName, QString* error);
    // "AB:CD:…", the SHA-256 of the certificate's DER form, as `openssl x509 -fingerprint
    // -sha256` prints it.
    static QString fingerprint(const QSslCertificate& certificate);

    const QSslCertificate& certificate() const { return m_chain.first(); }
    QString fingerprint() const { return fingerprint(certificate()); }
    // Whether every user may read the file (a named key: garrisond never changes its mode).
    static bool isReadableByOthers(const QString& path);

    // TLS 1.2 or later, this certificate, no client certificates asked for. Of TLS 1.2 only
    // the suites with forward secrecy and authenticated encryption (GCM, ChaCha20-Poly1305):
    // the CBC suites' padding has a long history of attacks.
    QSslConfiguration serverConfiguration() const;
    static QList<QSslCipher> acceptedCiphers();

private:
    QList<QSslCertificate> m_chain; // the certificate first
    QSslKey m_key;
};

} // namespace garrisond
