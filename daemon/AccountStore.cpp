#include "AccountStore.h"

#include "LoginRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace garrisond {

AccountStore::AccountStore(QString path, SecretFile::Use use) : m_path(std::move(path)), m_use(use)
{}

bool AccountStore::isLevel(const QString& word)
{
    return LoginRequest::isLevel(word);
}

bool AccountStore::isValidName(const QString& name)
{
    if (name.isEmpty() || name.size() > 64 || name.contains(QLatin1Char(':'))) {
        return false;
    }
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control) {
            return false;
        }
    }
    return name.trimmed() == name;
}

QStringList AccountStore::parseLevels(const QString& list, QString* error)
{
    QStringList levels;
    for (const QString& part : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString word = part.trimmed();
        if (!isLevel(word)) {
            *error = QStringLiteral("unknown level \"%1\" (the levels are mp, admin, poweradmin)")
                         .arg(word);
            return {};
        }
        if (!levels.contains(word)) {
            levels.append(word);
        }
    }
    if (levels.isEmpty()) {
        *error = QStringLiteral("no level given (the levels are mp, admin, poweradmin)");
    }
    return levels;
}

bool AccountStore::load(QString* error)
{
    m_accounts.clear();
    m_index.clear();
    QByteArray content;
    bool missing = false;
    if (!SecretFile::read(m_path, m_use, &content, &missing, error)) {
        return false;
    }
    if (missing) {
        return true;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *error =
            QStringLiteral("%1 is not an accounts file: %2").arg(m_path, parseError.errorString());
        return false;
    }
    const QJsonArray entries = document.object().value(QStringLiteral("accounts")).toArray();
    m_accounts.reserve(entries.size());
    m_index.reserve(entries.size());
    for (const QJsonValue& entry : entries) {
        const QJsonObject object = entry.toObject();
        const QString name = object.value(QStringLiteral("name")).toString();
        const auto hash =
            PasswordHash::fromString(object.value(QStringLiteral("password_hash")).toString());
        QStringList levels;
        for (const QJsonValue& level : object.value(QStringLiteral("levels")).toArray()) {
            if (isLevel(level.toString())) {
                levels.append(level.toString());
            }
        }
        if (!isValidName(name) || !hash || m_index.contains(name)) {
            *error =
                QStringLiteral("%1 holds a damaged or duplicate account \"%2\"").arg(m_path, name);
            m_accounts.clear();
            m_index.clear();
            return false;
        }
        m_index.insert(name, m_accounts.size());
        m_accounts.append(Account{name, *hash, levels});
    }
    return true;
}

bool AccountStore::save(QString* error) const
{
    QJsonArray entries;
    for (const Account& account : m_accounts) {
        entries.append(QJsonObject{
            {QStringLiteral("name"), account.name},
            {QStringLiteral("password_hash"), account.password.toString()},
            {QStringLiteral("levels"), QJsonArray::fromStringList(account.levels)},
        });
    }
    return SecretFile::write(
        m_path, QJsonDocument(QJsonObject{{QStringLiteral("accounts"), entries}}).toJson(), error);
}

const Account* AccountStore::find(const QString& name) const
{
    const auto it = m_index.constFind(name);
    return it == m_index.cend() ? nullptr : &m_accounts.at(*it);
}

bool AccountStore::put(const Account& account)
{
    if (const auto it = m_index.constFind(account.name); it != m_index.cend()) {
        m_accounts[*it] = account;
        return false;
    }
    m_index.insert(account.name, m_accounts.size());
    m_accounts.append(account);
    return true;
}

bool AccountStore::remove(const QString& name)
{
    const auto it = m_index.constFind(name);
    if (it == m_index.cend()) {
        return false;
    }
    m_accounts.removeAt(*it);
    m_index.clear();
    for (qsizetype i = 0; i < m_accounts.size(); ++i) {
        m_index.insert(m_accounts.at(i).name, i);
    }
    return true;
}

} // namespace garrisond
