#include "ServerQuery.h"

#include <QHostInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <limits>

namespace garrison {

namespace {

// Answers from an IPv4 server reach a dual-stack socket as IPv4-mapped IPv6 addresses.
QHostAddress plain(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(ipv4) : address;
}

QString newChallenge()
{
    return QString::number(QRandomGenerator::global()->generate64(), 16);
}

} // namespace

struct ServerQuery::Entry {
    quint64 id = 0;
    QueriedServer result;
    QHostAddress address; // null until resolved
    int lookupId = -1;
    bool refreshWanted = false;
    bool everQueried = false;
    qint64 queriedAt = 0;
    quint64 round = 0;
    // Of the outstanding query; empty once answered or expired.
    QString infoChallenge;
    QString statusChallenge;
    bool answeredThisQuery = false;
    int pingMs = -1;
    std::optional<InfoString> info;
    std::optional<QueryResponse> status;
};

ServerQuery::ServerQuery(QObject* parent) : QObject(parent), m_roundTimer(this)
{
    m_buffer.resize(QueryResponse::kMaxDatagram + 1);
    m_elapsed.start();
    m_clock = [this] { return m_elapsed.elapsed(); };
    m_roundTimer.setSingleShot(true);
    m_roundTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_roundTimer, &QTimer::timeout, this, &ServerQuery::runDue);
    connect(&m_socket, &QUdpSocket::readyRead, this, &ServerQuery::readPending);
}

ServerQuery::~ServerQuery()
{
    for (const std::unique_ptr<Entry>& entry : m_entries) {
        if (entry->lookupId >= 0) {
            QHostInfo::abortHostLookup(entry->lookupId);
        }
    }
}

const QueriedServer& ServerQuery::server(int row) const
{
    return m_entries.at(static_cast<size_t>(row))->result;
}

int ServerQuery::indexOf(const QString& host, quint16 port) const
{
    const auto at = std::find_if(m_entries.cbegin(), m_entries.cend(), [&](const auto& entry) {
        return entry->result.port == port && entry->result.host == host;
    });
    return at == m_entries.cend() ? -1 : static_cast<int>(at - m_entries.cbegin());
}

int ServerQuery::addServer(const QString& host, quint16 port)
{
    if (indexOf(host, port) >= 0) {
        return -1;
    }
    auto entry = std::make_unique<Entry>();
    entry->id = m_nextId++;
    entry->result.host = host;
    entry->result.port = port;
    const quint64 id = entry->id;
    m_entries.push_back(std::move(entry));
    if (const QHostAddress literal(host); !literal.isNull()) {
        resolved(id, literal);
    } else {
        m_entries.back()->lookupId =
            QHostInfo::lookupHost(host, this, [this, id](const QHostInfo& info) {
                const QList<QHostAddress> addresses = info.addresses();
                const auto ipv4 =
                    std::find_if(addresses.cbegin(), addresses.cend(), [](const QHostAddress& a) {
                        return a.protocol() == QHostAddress::IPv4Protocol;
                    });
                resolved(id, ipv4 != addresses.cend() ? *ipv4 : addresses.value(0));
            });
    }
    return count() - 1;
}

void ServerQuery::removeServer(int row)
{
    const auto at = m_entries.begin() + row;
    Entry* entry = at->get();
    if (entry->lookupId >= 0) {
        QHostInfo::abortHostLookup(entry->lookupId);
    }
    m_bySource.remove({plain(entry->address), entry->result.port}, entry);
    m_entries.erase(at);
}

ServerQuery::Entry* ServerQuery::entryById(quint64 id) const
{
    const auto at = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                 [id](const auto& entry) { return entry->id == id; });
    return at == m_entries.cend() ? nullptr : at->get();
}

int ServerQuery::rowOf(const Entry* entry) const
{
    const auto at = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                 [entry](const auto& e) { return e.get() == entry; });
    return static_cast<int>(at - m_entries.cbegin());
}

// Called at once for an address; the first query waits for the event loop all the same, so
// that a table model sees its new row before the row's first change.
void ServerQuery::resolved(quint64 id, const QHostAddress& address)
{
    Entry* entry = entryById(id);
    if (entry == nullptr) {
        return;
    }
    entry->lookupId = -1;
    if (address.isNull()) {
        entry->result.state = QueriedServer::State::HostNotFound;
        Q_EMIT serverChanged(rowOf(entry));
        if ((entry = entryById(id)) != nullptr) {
            Q_EMIT queryFinished(rowOf(entry));
        }
        return;
    }
    entry->address = address;
    m_bySource.insert({plain(address), entry->result.port}, entry);
    if (entry->refreshWanted || m_running) {
        entry->refreshWanted = false;
        QTimer::singleShot(0, this, [this, id] {
            if (Entry* e = entryById(id); e != nullptr && isDue(*e, now())) {
                const quint64 round = m_nextRound++;
                query(*e, round);
                armTimeout(round);
            }
            scheduleNext();
        });
    }
}

bool ServerQuery::isDue(const Entry& entry, qint64 time) const
{
    return !entry.address.isNull() &&
           (!entry.everQueried || time - entry.queriedAt >= kMinimumIntervalMs);
}

void ServerQuery::refresh()
{
    const qint64 time = now();
    const quint64 round = m_nextRound++;
    bool asked = false;
    for (const std::unique_ptr<Entry>& entry : m_entries) {
        if (isDue(*entry, time)) {
            query(*entry, round);
            asked = true;
        } else if (entry->lookupId >= 0) {
            entry->refreshWanted = true;
        }
    }
    if (asked) {
        armTimeout(round);
    }
    scheduleNext();
}

void ServerQuery::start()
{
    m_running = true;
    runDue();
}

void ServerQuery::pause()
{
    m_running = false;
    m_roundTimer.stop();
}

void ServerQuery::runDue()
{
    if (m_running) {
        refresh();
    }
}

// The next round when the earliest server is due; precise, so that a server asked 5 s ago is
// not found 1 ms short of due and left for another whole round.
void ServerQuery::scheduleNext()
{
    if (!m_running) {
        return;
    }
    const qint64 time = now();
    qint64 next = std::numeric_limits<qint64>::max();
    for (const std::unique_ptr<Entry>& entry : m_entries) {
        if (!entry->address.isNull()) {
            next =
                std::min(next, entry->everQueried ? entry->queriedAt + kMinimumIntervalMs : time);
        }
    }
    if (next == std::numeric_limits<qint64>::max()) {
        m_roundTimer.stop();
        return;
    }
    m_roundTimer.start(static_cast<int>(std::clamp<qint64>(next - time, 0, kMinimumIntervalMs)));
}

bool ServerQuery::open(QString* error)
{
    if (m_socket.state() == QAbstractSocket::BoundState) {
        return true;
    }
    // Dual stack where the system has IPv6, else IPv4 alone.
    if (m_socket.bind(QHostAddress::Any, 0) || m_socket.bind(QHostAddress::AnyIPv4, 0)) {
        return true;
    }
    if (error != nullptr) {
        *error = m_socket.errorString();
    }
    return false;
}

void ServerQuery::query(Entry& entry, quint64 round)
{
    entry.everQueried = true;
    entry.queriedAt = now();
    entry.round = round;
    entry.answeredThisQuery = false;
    entry.infoChallenge = newChallenge();
    entry.statusChallenge = newChallenge();
    if (open()) {
        m_socket.writeDatagram(
            QueryResponse::request(QueryResponse::Kind::Info, entry.infoChallenge), entry.address,
            entry.result.port);
        m_socket.writeDatagram(
            QueryResponse::request(QueryResponse::Kind::Status, entry.statusChallenge),
            entry.address, entry.result.port);
    }
}

void ServerQuery::armTimeout(quint64 round)
{
    QTimer::singleShot(m_replyTimeoutMs, this, [this, round] { expire(round); });
}

void ServerQuery::expire(quint64 round)
{
    // By id: a slot of these signals may remove servers.
    QList<quint64> waiting;
    for (const std::unique_ptr<Entry>& entry : m_entries) {
        if (entry->round == round &&
            (!entry->infoChallenge.isEmpty() || !entry->statusChallenge.isEmpty())) {
            waiting.append(entry->id);
        }
    }
    for (const quint64 id : waiting) {
        Entry* entry = entryById(id);
        if (entry == nullptr) {
            continue;
        }
        entry->infoChallenge.clear();
        entry->statusChallenge.clear();
        if (!entry->answeredThisQuery &&
            entry->result.state != QueriedServer::State::NotAnswering) {
            entry->result.state = QueriedServer::State::NotAnswering;
            Q_EMIT serverChanged(rowOf(entry));
        }
        if ((entry = entryById(id)) != nullptr) {
            Q_EMIT queryFinished(rowOf(entry));
        }
    }
}

void ServerQuery::readPending()
{
    m_readScheduled = false;
    for (int i = 0; i < kReadBatch; ++i) {
        // Also when nothing seems pending: the socket announces nothing more until a read, and
        // an announcement may have been an error report (a port unreachable) that only a read
        // takes away.
        const bool pending = m_socket.hasPendingDatagrams();
        QHostAddress from;
        quint16 port = 0;
        const qint64 size = m_socket.readDatagram(m_buffer.data(), m_buffer.size(), &from, &port);
        if (size >= 0) {
            handle(QByteArrayView(m_buffer.constData(), size), from, port);
        }
        if (!pending) {
            return;
        }
    }
    if (!m_readScheduled) {
        m_readScheduled = true;
        QTimer::singleShot(0, this, &ServerQuery::readPending);
    }
}

void ServerQuery::handle(QByteArrayView datagram, const QHostAddress& from, quint16 port)
{
    const std::optional<QueryResponse> response = QueryResponse::parse(datagram);
    if (!response) {
        ++m_dropped;
        return;
    }
    const QString challenge = response->challenge();
    const bool isInfo = response->kind == QueryResponse::Kind::Info;
    Entry* entry = nullptr;
    const Source source{plain(from), port};
    for (auto it = m_bySource.constFind(source); it != m_bySource.cend() && it.key() == source;
         ++it) {
        const QString& expected = isInfo ? (*it)->infoChallenge : (*it)->statusChallenge;
        if (!expected.isEmpty() && expected == challenge) {
            entry = *it;
            break;
        }
    }
    if (entry == nullptr) {
        ++m_dropped;
        return;
    }
    (isInfo ? entry->infoChallenge : entry->statusChallenge).clear();
    if (!entry->answeredThisQuery) {
        entry->answeredThisQuery = true;
        entry->pingMs = static_cast<int>(std::clamp<qint64>(now() - entry->queriedAt, 0, 999999));
    }
    if (isInfo) {
        entry->info = response->variables;
    } else {
        entry->status = *response;
    }
    const quint64 id = entry->id;
    publish(*entry);
    // Unless a slot of serverChanged removed it.
    entry = entryById(id);
    if (entry != nullptr && entry->infoChallenge.isEmpty() && entry->statusChallenge.isEmpty()) {
        Q_EMIT queryFinished(rowOf(entry));
    }
}

// The info answer's values where it gave them, the status answer's otherwise.
void ServerQuery::publish(Entry& entry)
{
    QueriedServer& result = entry.result;
    const QueriedServer before = result;
    const InfoString info = entry.info.value_or(InfoString());
    const InfoString status = entry.status ? entry.status->variables : InfoString();
    const auto text = [&](QStringView infoKey, QStringView statusKey) {
        return info.find(infoKey).value_or(status.value(statusKey));
    };
    const auto number = [&](QStringView infoKey, QStringView statusKey) {
        return info.number(infoKey).value_or(status.number(statusKey).value_or(-1));
    };
    result.state = QueriedServer::State::Answering;
    result.hostName = text(u"hostname", u"sv_hostname");
    result.map = text(u"mapname", u"mapname");
    result.gameType = text(u"gametype", u"g_gametype");
    result.maxClients = number(u"sv_maxclients", u"sv_maxclients");
    result.passwordNeeded = number(u"g_needpass", u"g_needpass") > 0;
    result.pingMs = entry.pingMs;
    if (entry.status) {
        result.players = entry.status->players;
        result.playersKnown = true;
        result.variables = status.without(u"challenge");
    }
    result.clients = info.number(u"clients")
                         .value_or(entry.status ? static_cast<int>(result.players.size()) : -1);
    result.lastSeen = QDateTime::currentDateTimeUtc();
    if (result != before) {
        Q_EMIT serverChanged(rowOf(&entry));
    }
}

} // namespace garrison
