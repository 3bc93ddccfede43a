#include "TestMain.h"
#include "UdpPeer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>

using garrison::test::UdpPeer;

namespace {

constexpr int kTimeoutMs = 5000;
const QByteArray kHeader("\xFF\xFF\xFF\xFF");

quint16 freePort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return socket.localPort();
}

} // namespace

class TestRelayProgram : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;
    QProcess m_relay;
    UdpPeer m_server;

    QByteArray log() const
    {
        QFile file(m_folder.filePath(QStringLiteral("pbucon.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void cleanup()
    {
        m_relay.kill();
        m_relay.waitForFinished(kTimeoutMs);
    }

    // Hello from the ini's port, then what the server sends, line by line, in the log; lines
    // from another address, or from the server's address but another port, are not logged.
    void announcesItselfAndLogsWhatItReceives()
    {
        const quint16 myPort = freePort();
        QFile ini(m_folder.filePath(QStringLiteral("codwaw.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("server=127.0.0.1:%1\r\nmyaddr=127.0.0.1:%2\r\n"
                                 "login=GARRISON-127.0.0.1\r\npassword=GrsnUcon_127.0.0.1\r\n")
                      .arg(m_server.port())
                      .arg(myPort)
                      .toLatin1());
        ini.close();
        m_relay.setWorkingDirectory(m_folder.path());
        m_relay.start(QStringLiteral(GARRISON_RELAY_PATH), {QStringLiteral("ini=codwaw.ini")});
        QVERIFY(m_relay.waitForStarted(kTimeoutMs));
        QVERIFY(m_server.waitFor(1));
        const UdpPeer::Datagram hello = m_server.received().constFirst();
        QCOMPARE(hello.data, kHeader + "ucon_hello GARRISON-127.0.0.1 GrsnUcon_127.0.0.1");
        QCOMPARE(hello.senderPort, myPort);
        QCOMPARE(hello.sender.toIPv4Address(),
                 QHostAddress(QHostAddress::LocalHost).toIPv4Address());
        m_server.reply(kHeader + "ucon_welcome");
        m_server.reply("garbage");
        m_server.reply(QByteArray(64 * 1024 - 100, '\xFA'));
        m_server.reply(kHeader + "ucon_line PunkBuster Server\xFAKick Command Issued\n");
        for (const QHostAddress& source :
             {QHostAddress(QStringLiteral("127.0.0.2")), QHostAddress(QHostAddress::LocalHost)}) {
            QUdpSocket stranger;
            QVERIFY(stranger.bind(source, 0));
            stranger.writeDatagram(kHeader + "ucon_line PunkBuster Server\xFAspoofed", hello.sender,
                                   hello.senderPort);
        }
        m_server.reply(kHeader + "ucon_line Chat\xFA"
                                 "B\xE9la: hi");
        QTRY_VERIFY_WITH_TIMEOUT(log().endsWith("Chat\xFA"
                                                "B\xE9la: hi\r\n"),
                                 kTimeoutMs);

        const QList<QByteArray> lines = log().split('\n');
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines.at(0), "Relay started on 127.0.0.1:" + QByteArray::number(myPort) + "\r");
        QVERIFY(lines.at(1).startsWith("Connected to server 127.0.0.1:"));
        QCOMPARE(lines.at(2), QByteArray("PunkBuster Server\xFAKick Command Issued\r"));
        // Wine sends from 127.0.0.1 whatever loopback address a socket is bound to.
        const QByteArray stranger = garrison::test::underWine() ? "127.0.0.1:" : "127.0.0.2:";
        QVERIFY2(lines.at(3).startsWith("Relay ignores datagrams from " + stranger), lines.at(3));
        QCOMPARE(m_relay.state(), QProcess::Running);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRelayProgram)
#include "TestRelayProgram.moc"
