#include "SimUconFeed.h"

#include "SimPunkBuster.h"
#include "SimText.h"

#include <algorithm>

namespace garrison::sim {

namespace {
constexpr QByteArrayView kHeader("\xFF\xFF\xFF\xFF");
constexpr QByteArrayView kHello("ucon_hello ");
constexpr char kMarker = '\xFA';

QByteArray lineDatagram(const QString& source, const QString& text)
{
    return kHeader.toByteArray() + "ucon_line " + SimText::toWire(source) + kMarker +
           SimText::toWire(text);
}

bool sameAddress(const QHostAddress& a, const QHostAddress& b)
{
    return a.isEqual(b, QHostAddress::TolerantConversion);
}
} // namespace

SimUconFeed::SimUconFeed(const SimPunkBuster& punkBuster) : m_punkBuster(punkBuster) {}

bool SimUconFeed::isHello(QByteArrayView datagram)
{
    return datagram.startsWith(kHeader) && datagram.sliced(kHeader.size()).startsWith(kHello);
}

bool SimUconFeed::accept(QByteArrayView hello, const QHostAddress& from, quint16 fromPort)
{
    if (!isHello(hello)) {
        return false;
    }
    const QByteArrayView credentials = hello.sliced(kHeader.size() + kHello.size());
    const qsizetype blank = credentials.indexOf(' ');
    if (blank <= 0) {
        return false;
    }
    const QString login = SimText::fromWire(credentials.first(blank));
    const QString password = SimText::fromWire(credentials.sliced(blank + 1));
    const QList<SimPunkBuster::UconUser>& users = m_punkBuster.uconUsers();
    const bool known = std::any_of(users.begin(), users.end(), [&](const auto& user) {
        return user.name == login && user.password == password;
    });
    if (!known) {
        return false;
    }
    const bool listed = std::any_of(m_relays.begin(), m_relays.end(), [&](const Relay& relay) {
        return relay.port == fromPort && sameAddress(relay.address, from);
    });
    if (listed) {
        return true;
    }
    if (m_relays.size() >= m_punkBuster.sessionLimit()) {
        return false;
    }
    m_relays.append({from, fromPort});
    return true;
}

QByteArray SimUconFeed::welcome()
{
    return kHeader.toByteArray() + "ucon_welcome";
}

QByteArray SimUconFeed::punkBusterLine(const QString& consoleLine)
{
    const QString line = SimText::stripColours(consoleLine);
    const qsizetype colon = line.indexOf(QStringLiteral(": "));
    if (colon <= 0) {
        return lineDatagram(QStringLiteral("PunkBuster Server"), line);
    }
    return lineDatagram(line.left(colon), line.mid(colon + 2));
}

QByteArray SimUconFeed::chatLine(const QString& name, const QString& text)
{
    return lineDatagram(QStringLiteral("Chat"), name + QStringLiteral(": ") + text);
}

} // namespace garrison::sim
