#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>

namespace garrison::sim {

class SimPunkBuster;

// The UCON side of the server: relays that announce themselves with the name and password of a
// user added by pb_sv_uconadd receive the anti-cheat console and the chat as it happens.
//
// The datagram format is the relay's (tools/relay/RelayWire.h keeps the other copy; change both
// together). Every datagram starts with four 0xFF bytes, then:
//   relay  -> server  "ucon_hello " login " " password   repeated until welcomed
//   server -> relay   "ucon_welcome"
//   server -> relay   "ucon_line " source 0xFA text     one console line, Windows-1252
// A relay with unknown credentials gets no answer at all.
class SimUconFeed {
public:
    struct Relay {
        QHostAddress address;
        quint16 port = 0;
    };

    explicit SimUconFeed(const SimPunkBuster& punkBuster);

    static bool isHello(QByteArrayView datagram);
    // True when the hello's credentials match a UCON user and the session limit leaves room;
    // the relay then receives the stream (once, however often it says hello).
    bool accept(QByteArrayView hello, const QHostAddress& from, quint16 fromPort);
    const QList<Relay>& relays() const { return m_relays; }

    static QByteArray welcome();
    // "^3PunkBuster Server: text" becomes source "PunkBuster Server" and its text.
    static QByteArray punkBusterLine(const QString& consoleLine);
    static QByteArray chatLine(const QString& name, const QString& text);

private:
    const SimPunkBuster& m_punkBuster;
    QList<Relay> m_relays;
};

} // namespace garrison::sim
