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

QByteArray iniText(quint16 serverPort, const QString& myAddress, quint16 myPort)
{
    return QStringLiteral("server=127.0.0.1:%1\r\nmyaddr=%2:%3\r\nlogin=GARRISON-127.0.0.1\r\n"
                          "password=GrsnUcon_127.0.0.1\r\n")
        .arg(serverPort)
        .arg(myAddress)
        .arg(myPort)
        .toLatin1();
}

} // namespace

class TestRelayProgram : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QProcess> m_relay;
    std::unique_ptr<UdpPeer> m_server;

    QString path(const QString& name) const { return m_folder->filePath(name); }
    void writeFile(const QString& name, const QByteArray& content)
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray log() const
    {
        QFile file(path(QStringLiteral("pbucon.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void startRelay(const QStringList& arguments)
    {
        m_relay->setWorkingDirectory(m_folder->path());
        m_relay->start(QStringLiteral(GARRISON_RELAY_PATH), arguments);
        QVERIFY(m_relay->waitForStarted(kTimeoutMs));
    }
    void startWithIni(quint16 myPort)
    {
        writeFile(QStringLiteral("codwaw.ini"),
                  iniText(m_server->port(), QStringLiteral("127.0.0.1"), myPort));
        startRelay({QStringLiteral("ini=codwaw.ini")});
        QVERIFY(m_server->waitFor(1));
    }

private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        m_relay = std::make_unique<QProcess>();
        m_server = std::make_unique<UdpPeer>();
    }
    void cleanup()
    {
        m_relay->kill();
        m_relay->waitForFinished(kTimeoutMs);
        m_relay.reset();
        m_server.reset();
        m_folder.reset();
    }

    // Hello from the ini's port, then what the server sends, line by line, in the log.
    void announcesItselfAndLogsWhatItReceives()
    {
        const quint16 myPort = freePort();
        startWithIni(myPort);
        const UdpPeer::Datagram hello = m_server->received().constFirst();
        QCOMPARE(hello.data, kHeader + "ucon_hello GARRISON-127.0.0.1 GrsnUcon_127.0.0.1");
        QCOMPARE(hello.senderPort, myPort);
        QCOMPARE(hello.sender.toIPv4Address(),
                 QHostAddress(QHostAddress::LocalHost).toIPv4Address());
        m_server->reply(kHeader + "ucon_welcome");
        m_server->reply("garbage");
        m_server->reply(QByteArray(64 * 1024 - 100, '\xFA'));
        m_server->reply(kHeader + "ucon_line PunkBuster Server\xFAKick Command Issued\n");
        m_server->reply(kHeader + "ucon_line Chat\xFA"
                                  "B\xE9la: hi");
        QTRY_VERIFY_WITH_TIMEOUT(log().endsWith("Chat\xFA"
                                                "B\xE9la: hi\r\n"),
                                 kTimeoutMs);

        const QList<QByteArray> lines = log().split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(0), "Relay started on 127.0.0.1:" + QByteArray::number(myPort) + "\r");
        QVERIFY(lines.at(1).startsWith("Connected to server 127.0.0.1:"));
        QCOMPARE(lines.at(2), QByteArray("PunkBuster Server\xFAKick Command Issued\r"));
        for (const QByteArray& line : lines.first(2)) {
            QVERIFY2(!line.contains('\xFA'), line.constData());
        }
        QCOMPARE(m_relay->state(), QProcess::Running);
    }

    void busyPortFallsBackToAnother()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QHostAddress::LocalHost), 0));
        startWithIni(holder.localPort());
        QVERIFY(m_server->received().constFirst().senderPort != holder.localPort());
        QVERIFY(log().startsWith("Relay port " + QByteArray::number(holder.localPort()) +
                                 " is busy\r\n"));
    }

    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("ini");

        const QByteArray good = iniText(1, QStringLiteral("127.0.0.1"), 0);
        QTest::newRow("no argument") << QStringList{} << good;
        QTest::newRow("missing file") << QStringList{QStringLiteral("ini=other.ini")} << good;
        QTest::newRow("incomplete ini")
            << QStringList{QStringLiteral("ini=codwaw.ini")} << QByteArray("server=127.0.0.1:1");
    }
    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, ini);
        writeFile(QStringLiteral("codwaw.ini"), ini);
        startRelay(arguments);
        QVERIFY(m_relay->waitForFinished(kTimeoutMs));
        QCOMPARE(m_relay->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_relay->exitCode(), 1);
        QVERIFY(m_relay->readAllStandardError().startsWith("pbucon: "));
        QVERIFY(!QFile::exists(path(QStringLiteral("pbucon.log"))));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRelayProgram)
#include "TestRelayProgram.moc"
