#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

namespace garrison {

// Where the settings store's passwords live: in the desktop keyring, while the settings file
// keeps the key with an empty value. On Linux that is the Secret Service (through QtKeychain),
// under the service "GARRISON" and the name "<application>/<section>/<key>"; on Windows the
// Credential Manager, as the generic credential "GARRISON/<application>/<section>/<key>". Where no
// keyring answers, they stay in the settings file, readable by its owner only, as before. Keyring
// jobs are asynchronous: the windows never wait for one, and garrison-rcon waits on a local event
// loop.
class SecretStore : public QObject {
    Q_OBJECT

public:
    static constexpr int kTimeoutMs = 10000;
    static inline const QString kService = QStringLiteral("GARRISON");

    static SecretStore& instance();

    // The keys of the settings store that hold passwords: "Password" (daemon) and "Pass"
    // (RCON) of the ten profiles, the PostgreSQL password of "[History]" and the UCON
    // password of "[UCON]".
    static bool isSecret(const QString& section, const QString& key);

    // `done` gets the value (empty when there is none), at once when it is in the file or no
    // keyring is used, else when the keyring answers; not at all once `context` is gone.
    void read(const QString& application, const QString& section, const QString& key,
              QObject* context, std::function<void(const QString&)> done);
    // Into the keyring, the file keeping an empty value; into the file where no keyring
    // answers. Nothing is lost either way.
    void write(const QString& application, const QString& section, const QString& key,
               const QString& value);
    // read(), waiting for the answer on a local event loop.
    QString readNow(const QString& application, const QString& section, const QString& key);
    // What read() would give now, without waiting: the file's value, or the keyring's as far
    // as it was read before (see migrate).
    QString known(const QString& application, const QString& section, const QString& key) const;
    // Once per run and application: moves the passwords that the file still holds into the
    // keyring, and reads the others ahead, so that known() has them.
    void migrate(const QString& application);

    // False once the keyring failed or when none runs; passwords are then written to the file.
    bool usesKeyring();
    // Said once per run: the keyring is missing, and why.
    bool keyringMissingTold() const { return m_missingTold; }

Q_SIGNALS:
    // The first time this run that no keyring answers.
    void keyringMissing(const QString& reason);

private:
    enum class State { Unknown, Keyring, File };
    void fallBack(const QString& reason);
    static QString name(const QString& application, const QString& section, const QString& key);

    State m_state = State::Unknown;
    bool m_keyringFound = false; // a keyring was there at the first use
    bool m_missingTold = false;
    QString m_missingReason;
    QHash<QString, QString> m_cache; // by name()
    QStringList m_migrated;          // applications
};

} // namespace garrison
