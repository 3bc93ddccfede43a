#include "PasswordHash.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>

namespace garrisond {

namespace {

const QString kScheme = QStringLiteral("pbkdf2-sha256");
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;

} // namespace

PasswordHash::PasswordHash(int iterations, QByteArray salt, QByteArray key)
    : m_iterations(iterations), m_salt(std::move(salt)), m_key(std::move(key))
{}

QByteArray PasswordHash::derive(const QString& password, const QByteArray& salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, kKeyBytes);
}

PasswordHash PasswordHash::create(const QString& password, int iterations)
{
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(salt.begin(), salt.end());
    return PasswordHash(iterations, salt, derive(password, salt, iterations));
}

std::optional<PasswordHash> PasswordHash::fromString(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts.at(0) != kScheme) {
        return std::nullopt;
    }
    bool ok = false;
    const int iterations = parts.at(1).toInt(&ok);
    if (!ok || iterations < 1 || iterations > kMaxIterations) {
        return std::nullopt;
    }
    const auto salt = QByteArray::fromBase64Encoding(parts.at(2).toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
    const auto key = QByteArray::fromBase64Encoding(parts.at(3).toLatin1(),
                                                    QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !key || salt.decoded.isEmpty() || key.decoded.size() != kKeyBytes) {
        return std::nullopt;
    }
    return PasswordHash(iterations, salt.decoded, key.decoded);
}

QString PasswordHash::toString() const
{
    return kScheme + QLatin1Char('$') + QString::number(m_iterations) + QLatin1Char('$') +
           QString::fromLatin1(m_salt.toBase64()) + QLatin1Char('$') +
           QString::fromLatin1(m_key.toBase64());
}

bool PasswordHash::matches(const QString& password) const
{
    const QByteArray candidate = derive(password, m_salt, m_iterations);
    if (candidate.size() != m_key.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (qsizetype i = 0; i < candidate.size(); ++i) {
        difference |= static_cast<unsigned char>(candidate.at(i) ^ m_key.at(i));
    }
    return difference == 0;
}

} // namespace garrisond
