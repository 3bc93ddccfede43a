#include "SimRedirectBuffer.h"
#include "SimRequest.h"
#include "support/TestMain.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QUdpSocket>
#include <csignal>

using namespace garrison::sim;

namespace {

constexpr int kTimeoutMs = 10000;

// Starts garrison-sim on a free port and waits for its ready line; returns the port or 0.
quint16 launch(QProcess& process, const QStringList& extra = {})
{
    process.start(QStringLiteral(GARRISON_SIM_PROGRAM),
                  QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                              QStringLiteral("--tick-ms"), QStringLiteral("0")} +
                      extra);
    if (!process.waitForStarted(kTimeoutMs)) {
        return 0;
    }
    static const QRegularExpression ready(
        QStringLiteral("^garrison-sim: listening on 127\\.0\\.0\\.1:(\\d+)\n$"));
    if (!QTest::qWaitFor(
            [&] { return process.canReadLine() || process.state() != QProcess::Running; },
            kTimeoutMs)) {
        return 0;
    }
    const QRegularExpressionMatch match = ready.match(QString::fromLatin1(process.readLine()));
    return match.hasMatch() ? static_cast<quint16>(match.captured(1).toUInt()) : 0;
}

QString ask(quint16 port, const QString& password, const QString& command)
{
    QUdpSocket client;
    client.bind(QHostAddress(QHostAddress::LocalHost), 0);
    client.writeDatagram(SimRequest::encode(password, command),
                         QHostAddress(QHostAddress::LocalHost), port);
    if (!QTest::qWaitFor([&] { return client.hasPendingDatagrams(); }, kTimeoutMs)) {
        return {};
    }
    QByteArray datagram(static_cast<qsizetype>(client.pendingDatagramSize()), '\0');
    client.readDatagram(datagram.data(), datagram.size());
    return SimRedirectBuffer::join({datagram});
}

} // namespace

class TestSimProgram : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void answersAndStops_data()
    {
        QTest::addColumn<QString>("ending");

        QTest::newRow("SIGTERM") << "SIGTERM";
        QTest::newRow("SIGINT") << "SIGINT";
        QTest::newRow("Quit") << "Quit";
    }
    void answersAndStops()
    {
        QFETCH(QString, ending);
        QProcess process;
        const quint16 port = launch(process, {QStringLiteral("--password"), QStringLiteral("pw"),
                                              QStringLiteral("--map"), QStringLiteral("mp_dome")});
        QVERIFY(port != 0);

        QVERIFY(ask(port, QStringLiteral("pw"), QStringLiteral("status"))
                    .startsWith(QStringLiteral("map: mp_dome\nnum score")));
        QCOMPARE(ask(port, QStringLiteral("other"), QStringLiteral("status")),
                 QStringLiteral("Invalid password.\n"));

        if (ending == QStringLiteral("Quit")) {
            QUdpSocket client;
            client.writeDatagram(SimRequest::encode(QStringLiteral("pw"), ending),
                                 QHostAddress(QHostAddress::LocalHost), port);
        } else {
            ::kill(static_cast<pid_t>(process.processId()),
                   ending == QStringLiteral("SIGINT") ? SIGINT : SIGTERM);
        }
        QVERIFY(process.waitForFinished(kTimeoutMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSimProgram)
#include "TestSimProgram.moc"
