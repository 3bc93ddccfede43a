#include "SimSessionFeed.h"

#include <QFile>
#include <array>

namespace garrison::sim {

namespace {

constexpr int kTickMs = 100;
constexpr char kMarker = '\xFA';

const std::array<const char*, 8> kNames = {"^1Viper", "Ghost",    "^4Blue^7Fox", "Sgt.Rock",
                                           "Tank",    "nameless", "Rat^2e",      "Bob"};
const std::array<const char*, 8> kSayings = {"gg",
                                             "nice shot",
                                             "lag?",
                                             "rush B",
                                             "who is camping?",
                                             "brb",
                                             "next map?",
                                             "admin pls kick the camper"};

} // namespace

SimSessionFeed::SimSessionFeed(QString path, int chatPerMinute, quint32 seed, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_chatPerMinute(chatPerMinute), m_random(seed)
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &SimSessionFeed::writeDue);
}

void SimSessionFeed::start()
{
    m_clock.start();
    m_timer.start();
}

QByteArray SimSessionFeed::line(qint64 index)
{
    std::uniform_int_distribution<int> slot(0, 63);
    std::uniform_int_distribution<int> pick(0, 7);
    std::uniform_int_distribution<int> number(0, 0xFFFFFF);
    const QByteArray name = kNames.at(std::size_t(pick(m_random)));
    if (index % (kPunkBusterPerChat + 1) == 0) {
        return QByteArray("Chat") + kMarker + name + ": " +
               kSayings.at(std::size_t(pick(m_random)));
    }
    const int kind = pick(m_random);
    const QByteArray where = " (slot #" + QByteArray::number(slot(m_random)) + ") 198.51.100." +
                             QByteArray::number(slot(m_random)) + ":28960 " + name;
    if (kind == 0) {
        return QByteArray("PunkBuster Server") + kMarker + "Player Guid Computed " +
               QByteArray::number(number(m_random), 16) + "(VALIDATED)" + where;
    }
    if (kind == 1) {
        return QByteArray("PunkBuster Server") + kMarker + "CVARS check passed" + where;
    }
    // The rest of the stream, which the chat box leaves out: no marker.
    return "PunkBuster Server: Running PB Scheduled Task (slot #" +
           QByteArray::number(slot(m_random)) + ") " + QByteArray::number(number(m_random));
}

void SimSessionFeed::writeDue()
{
    const qint64 perMinute = qint64(m_chatPerMinute) * (kPunkBusterPerChat + 1);
    const qint64 due = m_clock.elapsed() * perMinute / 60000;
    if (due <= m_written) {
        return;
    }
    QByteArray bytes;
    for (; m_written < due; ++m_written) {
        bytes += line(m_written) + "\r\n";
    }
    // Opened for every write, as the relay does.
    QFile file(m_path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        file.write(bytes);
    }
}

} // namespace garrison::sim
