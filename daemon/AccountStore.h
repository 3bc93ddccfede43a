#pragma once

#include "PasswordHash.h"
#include "SecretFile.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace garrisond {

struct Account {
    QString name;
    PasswordHash password;
    QStringList levels; // a subset of "mp", "admin", "poweradmin"
};

// The daemon's accounts, kept in a JSON file of their own that only its owner may read. The
// file holds names, password hashes and levels, never a password.
class AccountStore {
public:
    explicit AccountStore(QString path, SecretFile::Use use = SecretFile::Use::Serve);

    static bool isLevel(const QString& word);
    // Names must survive the login text "user:password-level": no ":" and no control
    // characters, and not empty.
    static bool isValidName(const QString& name);
    // "mp,admin" -> {"mp", "admin"}; an empty list and the error on an unknown word.
    static QStringList parseLevels(const QString& list, QString* error);

    // A missing file counts as an empty store.
    bool load(QString* error);
    // Replaces the file in one step; a new file is readable by its owner only (SecretFile).
    bool save(QString* error) const;

    const QList<Account>& accounts() const { return m_accounts; }
    const Account* find(const QString& name) const;
    // Adds the account or replaces the one with the same name; true when it was new.
    bool put(const Account& account);
    bool remove(const QString& name);
    QString path() const { return m_path; }

private:
    QString m_path;
    SecretFile::Use m_use;
    QList<Account> m_accounts;
    // Name -> position in m_accounts: a daemon may hold tens of thousands of accounts.
    QHash<QString, qsizetype> m_index;
};

} // namespace garrisond
