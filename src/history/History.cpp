#include "History.h"

#include "history/HistoryBans.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryQueries.h"
#include "history/HistoryRecorder.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace garrison {

namespace {
constexpr int kRetryMs = 10000;
constexpr int kDayMs = 24 * 60 * 60 * 1000;
constexpr HistoryTime kDaySeconds = 24 * 60 * 60;
} // namespace

History::History(QObject* parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &History::retry);
    m_daily.setInterval(kDayMs);
    connect(&m_daily, &QTimer::timeout, this,
            [this] { purge(QDateTime::currentSecsSinceEpoch()); });
}

History::~History()
{
    if (m_probe) {
        m_probe->wait();
        delete m_probe;
    }
    close();
}

void History::openFromSettings()
{
    open(HistoryConnection::fromSettings(), historyKeepDays());
}

void History::open(const HistoryConnection& connection, int keepDays)
{
    close();
    m_connection = connection;
    m_keepDays = keepDays;
    m_said.clear();
    if (const QString invalid = connection.invalidity(); !invalid.isEmpty()) {
        m_problem = invalid;
        say(invalid);
        Q_EMIT stateChanged();
        return;
    }
    m_database = std::make_unique<HistoryDatabase>(connection);
    m_daily.start();
    if (connection.kind == HistoryConnection::Kind::Postgres &&
        QSqlDatabase::isDriverAvailable(connection.driverName())) {
        // Connecting to a server far away may take seconds: find out on another thread first.
        m_paused = true;
        m_problem = QStringLiteral("Connecting to the shared player history %1...")
                        .arg(connection.description());
        probe();
        Q_EMIT stateChanged();
        return;
    }
    connectDatabase();
}

void History::close()
{
    m_retry.stop();
    m_daily.stop();
    m_recorder.reset();
    m_queries.reset();
    m_bans.reset();
    m_database.reset();
    m_hearsBans = false;
    m_paused = false;
    m_problem.clear();
    m_linkNote.clear();
}

void History::connectDatabase()
{
    m_recorder.reset();
    m_queries.reset();
    m_bans.reset();
    const HistoryDatabase::State state = m_database->open();
    m_problem = m_database->problem();
    m_linkNote = m_database->encrypted() == false
                     ? QStringLiteral("The link to the shared player history %1 is not "
                                      "encrypted: names, notes and your login cross the network "
                                      "readable. Once the server offers TLS, choose the SSL mode "
                                      "\"require\" or \"verify-full\" on the Storage tab.")
                           .arg(m_connection.description())
                     : QString();
    m_paused = state == HistoryDatabase::State::Busy;
    if (state == HistoryDatabase::State::Ready || state == HistoryDatabase::State::ReadOnly) {
        m_queries = std::make_unique<HistoryQueries>(*m_database);
        m_bans = std::make_unique<HistoryBans>(*m_database);
    }
    listenForBans();
    if (state == HistoryDatabase::State::Ready) {
        m_recorder = std::make_unique<HistoryRecorder>(*m_database);
        if (!m_said.isEmpty()) {
            say(QStringLiteral("The player history is recorded again."));
        }
        m_said.clear();
        say(m_linkNote);
        purge(QDateTime::currentSecsSinceEpoch());
    } else {
        say(m_problem);
    }
    if (m_paused) {
        m_retry.start();
    }
    Q_EMIT stateChanged();
}

History::State History::state() const
{
    if (m_paused) {
        return State::Paused;
    }
    if (m_recorder) {
        return State::Recording;
    }
    return m_queries ? State::ReadOnly : State::Off;
}

HistoryQueries* History::queries() const
{
    return m_paused ? nullptr : m_queries.get();
}

HistoryBans* History::bans() const
{
    return m_paused ? nullptr : m_bans.get();
}

void History::listenForBans()
{
    m_hearsBans = false;
    if (!m_bans || m_connection.kind != HistoryConnection::Kind::Postgres) {
        return;
    }
    // Each open() makes the connection anew, with a driver of its own.
    QSqlDriver* driver = m_database->db().driver();
    if (driver == nullptr || !driver->hasFeature(QSqlDriver::EventNotifications)) {
        return;
    }
    connect(driver, &QSqlDriver::notification, this,
            [this](const QString& name, QSqlDriver::NotificationSource source) {
                // This history's own changes were told when they were made.
                if (name == kBansChannel && source != QSqlDriver::SelfSource) {
                    Q_EMIT bansChanged();
                }
            });
    m_hearsBans = driver->subscribeToNotification(kBansChannel);
    // Back after a pause, what changed meanwhile was not heard.
    if (m_hearsBans) {
        Q_EMIT bansChanged();
    }
}

void History::noteBansChanged()
{
    if (m_bans && m_connection.kind == HistoryConnection::Kind::Postgres) {
        // Without it, the others see the change when they read the bans again.
        QSqlQuery(m_database->db()).exec(QStringLiteral("NOTIFY ") + kBansChannel);
    }
    Q_EMIT bansChanged();
}

void History::say(const QString& text)
{
    if (text.isEmpty() || text == m_said) {
        return;
    }
    m_said = text;
    Q_EMIT statusMessage(text);
}

void History::pause(const QString& problem)
{
    m_paused = true;
    m_problem = problem;
    m_recorder.reset();
    m_queries.reset();
    m_bans.reset();
    m_hearsBans = false;
    say(problem);
    m_retry.start();
    Q_EMIT stateChanged();
}

void History::retry()
{
    if (!m_database || !m_paused) {
        return;
    }
    if (m_connection.kind == HistoryConnection::Kind::Postgres) {
        probe();
        return;
    }
    connectDatabase();
}

void History::probe()
{
    if (m_probe) {
        return;
    }
    // Written by the thread before it finishes, read after.
    struct Outcome {
        bool reached = false;
        QString error;
    };
    auto outcome = std::make_shared<Outcome>();
    const HistoryConnection connection = m_connection;
    m_probe = QThread::create([connection, outcome] {
        const QString name = QStringLiteral("garrison-history-probe-%1")
                                 .arg(reinterpret_cast<quintptr>(QThread::currentThreadId()));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(connection.driverName(), name);
            connection.configure(db);
            outcome->reached = db.open();
            outcome->error = db.lastError().databaseText().trimmed();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    });
    connect(m_probe, &QThread::finished, this, [this, outcome] {
        m_probe->deleteLater();
        m_probe = nullptr;
        if (!m_database) {
            return;
        }
        if (outcome->reached) {
            connectDatabase();
            return;
        }
        // The server's or the driver's own words: a refused TLS link, a wrong password and an
        // unreachable host call for different fixes.
        m_problem = QStringLiteral("The shared player history %1 cannot be used (%2); GARRISON "
                                   "tries again every %3 seconds.")
                        .arg(m_connection.description(), outcome->error)
                        .arg(m_retry.interval() / 1000.0);
        say(m_problem);
        Q_EMIT stateChanged();
        m_retry.start();
    });
    m_probe->start();
}

void History::afterWrite(bool ok)
{
    if (ok) {
        Q_EMIT changed();
        return;
    }
    m_database->failFromError(QStringLiteral("record"), m_recorder->lastError());
    pause(m_database->problem());
}

void History::recordStatus(const QString& serverKey, const QString& hostName,
                           const QList<PlayerRow>& rows, HistoryTime at)
{
    if (!m_recorder) {
        return;
    }
    afterWrite(m_recorder->recordStatus(serverKey, hostName, rows, at));
}

void History::recordAction(const PlayerAction& action)
{
    if (!m_recorder) {
        return;
    }
    afterWrite(m_recorder->recordAction(action));
}

void History::recordPresence(const PlayerPresence& presence)
{
    if (!m_recorder) {
        return;
    }
    afterWrite(m_recorder->recordPresence(presence));
}

void History::recordReport(const PlayerReport& report)
{
    if (!m_recorder) {
        return;
    }
    afterWrite(m_recorder->recordReport(report));
}

bool History::forget(qint64 playerId)
{
    if (!m_recorder || !m_queries->forget(playerId)) {
        return false;
    }
    m_recorder->forgetCache();
    Q_EMIT changed();
    return true;
}

void History::setKeepDays(int days)
{
    m_keepDays = days;
    setHistoryKeepDays(days);
}

void History::purge(HistoryTime now)
{
    if (!m_recorder || !m_queries) {
        return;
    }
    if (m_queries->purge(now - m_keepDays * kDaySeconds)) {
        m_recorder->forgetCache();
        Q_EMIT changed();
    }
}

} // namespace garrison
