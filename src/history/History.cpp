#include "History.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryQueries.h"
#include "history/HistoryRecorder.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QThread>
#include <atomic>

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
    m_database.reset();
    m_paused = false;
    m_problem.clear();
}

void History::connectDatabase()
{
    m_recorder.reset();
    m_queries.reset();
    const HistoryDatabase::State state = m_database->open();
    m_problem = m_database->problem();
    m_paused = state == HistoryDatabase::State::Busy;
    if (state == HistoryDatabase::State::Ready || state == HistoryDatabase::State::ReadOnly) {
        m_queries = std::make_unique<HistoryQueries>(*m_database);
    }
    if (state == HistoryDatabase::State::Ready) {
        m_recorder = std::make_unique<HistoryRecorder>(*m_database);
        if (!m_said.isEmpty()) {
            say(QStringLiteral("The player history is recorded again."));
        }
        m_said.clear();
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
    auto reached = std::make_shared<std::atomic_bool>(false);
    const HistoryConnection connection = m_connection;
    m_probe = QThread::create([connection, reached] {
        const QString name = QStringLiteral("garrison-history-probe-%1")
                                 .arg(reinterpret_cast<quintptr>(QThread::currentThreadId()));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(connection.driverName(), name);
            connection.configure(db);
            reached->store(db.open());
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    });
    connect(m_probe, &QThread::finished, this, [this, reached] {
        m_probe->deleteLater();
        m_probe = nullptr;
        if (!m_database) {
            return;
        }
        if (reached->load()) {
            connectDatabase();
            return;
        }
        if (m_problem.startsWith(QLatin1String("Connecting"))) {
            m_problem = QStringLiteral("The shared player history %1 cannot be reached; recording "
                                       "resumes when it is back.")
                            .arg(m_connection.description());
        }
        say(m_problem);
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
