#include "SecretStore.h"

#include "platform/SettingsStore.h"

#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <optional>
#include <qt6keychain/keychain.h>
#include <utility>
#ifndef Q_OS_WIN
#include <QDBusConnection>
#include <QDBusConnectionInterface>
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
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(name(application, section, key));
    connect(job, &QKeychain::Job::finished, request,
            [this, answer, application, section, key](QKeychain::Job* finished) {
                const auto* read = static_cast<QKeychain::ReadPasswordJob*>(finished);
                if (read->error() == QKeychain::NoError ||
                    read->error() == QKeychain::EntryNotFound) {
                    const QString value =
                        read->error() == QKeychain::NoError ? read->textData() : QString();
                    m_cache.insert(name(application, section, key), value);
                    answer(value);
                    return;
                }
                fallBack(read->errorString());
                answer(std::nullopt);
            });
    QTimer::singleShot(kTimeoutMs, request, [this, answer] {
        fallBack(QStringLiteral("the keyring did not answer within %1 s").arg(kTimeoutMs / 1000));
        answer(std::nullopt);
    });
    job->start();
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
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(name(application, section, key));
    job->setTextData(value);
    connect(job, &QKeychain::Job::finished, request,
            [this, settle, value](QKeychain::Job* finished) {
                if (finished->error() == QKeychain::NoError) {
                    settle(QString());
                    return;
                }
                fallBack(finished->errorString());
                settle(value);
            });
    QTimer::singleShot(kTimeoutMs, request, [this, settle, value] {
        fallBack(QStringLiteral("the keyring did not answer within %1 s").arg(kTimeoutMs / 1000));
        settle(value);
    });
    job->start();
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
