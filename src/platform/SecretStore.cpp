#include "SecretStore.h"

#include "platform/SettingsStore.h"

#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <optional>
#include <utility>
#ifdef Q_OS_WIN
#include "platform/CredentialVault.h"
#else
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <qt6keychain/keychain.h>
#endif

namespace garrison {

namespace {

const QString kHistorySection = QStringLiteral("[History]");
constexpr int kProfiles = 10;

QList<std::pair<QString, QString>> secretKeys()
{
    QList<std::pair<QString, QString>> keys;
    for (int slot = 1; slot <= kProfiles; ++slot) {
        const QString section = QStringLiteral("[LOGIN%1]").arg(slot);
        keys.append({section, QStringLiteral("Password")});
        keys.append({section, QStringLiteral("Pass")});
    }
    keys.append({kHistorySection, QStringLiteral("Password")});
    // The UCON password made for this installation.
    keys.append({QStringLiteral("[UCON]"), QStringLiteral("Password")});
    return keys;
}

// A Secret Service on the session bus, running or to be started by it. Asked once, before
// any job, so that a machine without one keeps its passwords in the file at once.
QString missingKeyring()
{
#ifdef Q_OS_WIN
    return {};
#else
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return QStringLiteral("no desktop session bus");
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return QStringLiteral("the desktop session bus does not answer");
    }
    const QString service = QStringLiteral("org.freedesktop.secrets");
    QDBusConnectionInterface* names = bus.interface();
    if (names->isServiceRegistered(service).value() ||
        names->activatableServiceNames().value().contains(service)) {
        return {};
    }
    return QStringLiteral("no Secret Service (such as gnome-keyring or KeePassXC) runs");
#endif
}

// What the keyring answered to one request.
struct KeyringAnswer {
    enum class Kind { Found, NotFound, Failed };
    Kind kind = Kind::Failed;
    QString value; // with Found
    QString error; // with Failed
};
using KeyringCallback = std::function<void(const KeyringAnswer&)>;

// One request to the keyring. `answered` runs later from the event loop, never before the
// request returns, and not at all once `receiver` is gone.
void keyringRead(const QString& name, QObject* receiver, KeyringCallback answered);
void keyringWrite(const QString& name, const QString& value, QObject* receiver,
                  KeyringCallback answered);

#ifdef Q_OS_WIN

// The Credential Manager answers at once; queued, the callers see the same order of events as
// with the Secret Service.
KeyringAnswer fromVault(const CredentialVault::Result& result)
{
    switch (result.outcome) {
    case CredentialVault::Outcome::Done:
        return {KeyringAnswer::Kind::Found, result.secret, {}};
    case CredentialVault::Outcome::NotFound:
        return {KeyringAnswer::Kind::NotFound, {}, {}};
    case CredentialVault::Outcome::Failed:
        break;
    }
    return {KeyringAnswer::Kind::Failed, {}, result.error};
}

QString target(const QString& name)
{
    return SettingsStore::organization() + QLatin1Char('/') + name;
}

void keyringRead(const QString& name, QObject* receiver, KeyringCallback answered)
{
    QMetaObject::invokeMethod(
        receiver,
        [target = target(name), answered] { answered(fromVault(CredentialVault::read(target))); },
        Qt::QueuedConnection);
}

void keyringWrite(const QString& name, const QString& value, QObject* receiver,
                  KeyringCallback answered)
{
    QMetaObject::invokeMethod(
        receiver,
        [target = target(name), value, answered] {
            answered(fromVault(CredentialVault::write(target, value)));
        },
        Qt::QueuedConnection);
}

#else

void keyringRead(const QString& name, QObject* receiver, KeyringCallback answered)
{
    auto* job = new QKeychain::ReadPasswordJob(SecretStore::kService);
    job->setKey(name);
    QObject::connect(job, &QKeychain::Job::finished, receiver,
                     [answered](QKeychain::Job* finished) {
                         const auto* read = static_cast<QKeychain::ReadPasswordJob*>(finished);
                         switch (read->error()) {
                         case QKeychain::NoError:
                             answered({KeyringAnswer::Kind::Found, read->textData(), {}});
                             return;
                         case QKeychain::EntryNotFound:
                             answered({KeyringAnswer::Kind::NotFound, {}, {}});
                             return;
                         default:
                             answered({KeyringAnswer::Kind::Failed, {}, read->errorString()});
                             return;
                         }
                     });
    job->start();
}

void keyringWrite(const QString& name, const QString& value, QObject* receiver,
                  KeyringCallback answered)
{
    auto* job = new QKeychain::WritePasswordJob(SecretStore::kService);
    job->setKey(name);
    job->setTextData(value);
    QObject::connect(job, &QKeychain::Job::finished, receiver,
                     [answered](QKeychain::Job* finished) {
                         if (finished->error() == QKeychain::NoError) {
                             answered({KeyringAnswer::Kind::Found, {}, {}});
                         } else {
                             answered({KeyringAnswer::Kind::Failed, {}, finished->errorString()});
                         }
                     });
    job->start();
}

#endif

} // namespace

SecretStore& SecretStore::instance()
{
    static SecretStore store;
    return store;
}

bool SecretStore::isSecret(const QString& section, const QString& key)
{
    return secretKeys().contains({section, key});
}

QString SecretStore::name(const QString& application, const QString& section, const QString& key)
{
    return application + QLatin1Char('/') + section + QLatin1Char('/') + key;
}

bool SecretStore::usesKeyring()
{
    if (m_state == State::Unknown) {
        m_state = State::Keyring;
        const QString missing = missingKeyring();
        m_keyringFound = missing.isEmpty();
        if (!m_keyringFound) {
            fallBack(missing);
        }
    }
    return m_state == State::Keyring;
}

void SecretStore::fallBack(const QString& reason)
{
    if (m_state == State::File) {
        return;
    }
    m_state = State::File;
    m_missingReason = reason;
    // Queued: whoever asked first may connect to the signal after asking.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_missingTold) {
                m_missingTold = true;
                Q_EMIT keyringMissing(m_missingReason);
            }
        },
        Qt::QueuedConnection);
}

QString SecretStore::known(const QString& application, const QString& section,
                           const QString& key) const
{
    const QString inFile = SettingsStore::read(application, section, key, {});
    return inFile.isEmpty() ? m_cache.value(name(application, section, key)) : inFile;
}

void SecretStore::read(const QString& application, const QString& section, const QString& key,
                       QObject* context, std::function<void(const QString&)> done)
{
    const QString inFile = SettingsStore::read(application, section, key, {});
    usesKeyring();
    // A keyring that failed once this run keeps what it held before: it is still asked.
    if (!inFile.isEmpty() || !m_keyringFound) {
        done(inFile);
        return;
    }
    // One receiver per request: a timeout or a lost context leaves the job unanswered.
    auto* request = new QObject(this);
    QPointer<QObject> guard(context);
    const auto answered = std::make_shared<bool>(false);
    const auto answer = [request, answered, guard, done, application, section,
                         key](const std::optional<QString>& value) {
        if (std::exchange(*answered, true)) {
            return;
        }
        request->deleteLater();
        const QString taken = value ? *value : SettingsStore::read(application, section, key, {});
        if (guard) {
            done(taken);
        }
    };
    const QString entry = name(application, section, key);
    keyringRead(entry, request, [this, answer, entry](const KeyringAnswer& found) {
        if (found.kind == KeyringAnswer::Kind::Failed) {
            fallBack(found.error);
            answer(std::nullopt);
            return;
        }
        m_cache.insert(entry, found.value);
        answer(found.value);
    });
    QTimer::singleShot(kTimeoutMs, request, [this, answer] {
        fallBack(QStringLiteral("the keyring did not answer within %1 s").arg(kTimeoutMs / 1000));
        answer(std::nullopt);
    });
}

void SecretStore::write(const QString& application, const QString& section, const QString& key,
                        const QString& value)
{
    if (!usesKeyring()) {
        SettingsStore::write(application, section, key, value);
        return;
    }
    m_cache.insert(name(application, section, key), value);
    auto* request = new QObject(this);
    const auto settled = std::make_shared<bool>(false);
    const auto settle = [request, settled, application, section, key](const QString& inFile) {
        if (std::exchange(*settled, true)) {
            return;
        }
        request->deleteLater();
        SettingsStore::write(application, section, key, inFile);
    };
    keyringWrite(name(application, section, key), value, request,
                 [this, settle, value](const KeyringAnswer& written) {
                     if (written.kind == KeyringAnswer::Kind::Failed) {
                         fallBack(written.error);
                         settle(value);
                         return;
                     }
                     settle(QString());
                 });
    QTimer::singleShot(kTimeoutMs, request, [this, settle, value] {
        fallBack(QStringLiteral("the keyring did not answer within %1 s").arg(kTimeoutMs / 1000));
        settle(value);
    });
}

QString SecretStore::readNow(const QString& application, const QString& section, const QString& key)
{
    QString value;
    bool answered = false;
    QEventLoop loop;
    read(application, section, key, &loop, [&](const QString& taken) {
        value = taken;
        answered = true;
        loop.quit();
    });
    if (!answered) {
        loop.exec();
    }
    return value;
}

void SecretStore::migrate(const QString& application)
{
    if (m_migrated.contains(application) || !usesKeyring()) {
        return;
    }
    m_migrated.append(application);
    for (const auto& [section, key] : secretKeys()) {
        const QString inFile = SettingsStore::read(application, section, key, {});
        if (!inFile.isEmpty()) {
            write(application, section, key, inFile);
        } else {
            read(application, section, key, this, [](const QString&) {});
        }
    }
}

} // namespace garrison
