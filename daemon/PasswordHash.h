#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace garrisond {

// A salted PBKDF2-HMAC-SHA256 hash of an account password. Stored as text:
// "pbkdf2-sha256$<iterations>$<salt base64>$<key base64>".
class PasswordHash {
public:
    static constexpr int kDefaultIterations = 100000;
    static constexpr int kMaxIterations = 10000000;

    // A fresh random 16-byte salt every time.
    static PasswordHash create(const QString& password, int iterations = kDefaultIterations);
    static std::optional<PasswordHash> fromString(const QString& text);

    QString toString() const;
    // Compares in constant time.
    bool matches(const QString& password) const;
    int iterations() const { return m_iterations; }

private:
    PasswordHash(int iterations, QByteArray salt, QByteArray key);
    static QByteArray derive(const QString& password, const QByteArray& salt, int iterations);

    int m_iterations = 0;
    QByteArray m_salt;
    QByteArray m_key;
};

} // namespace garrisond
