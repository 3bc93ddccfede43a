#include "SimRedirectBuffer.h"
#include "SimRequest.h"
#include "support/TestMain.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QUdpSocket>
#ifndef Q_OS_WIN
#include <csignal>
#endif

using namespace garrison::sim;

namespace {

constexpr int kTimeoutMs = 10000;

// Starts garrison-sim on a free port and waits for its ready line; returns the port or 0. The
// simulator is another process, so blocking waits are fine here.
quint16 launch(QProcess& process, const QStringList& extra)
{
    process.start(QStringLiteral(GARRISON_SIM_PROGRAM),
                  QStringList{"--port", "0", "--tick-ms", "0"} + extra);
    while (!process.canReadLine() && process.waitForReadyRead(kTimeoutMs)) {
    }
    static const QRegularExpression ready(
        QStringLiteral("^garrison-sim: listening on 127\\.0\\.0\\.1:(\\d+)\r?\n$"));
    const QRegularExpressionMatch match = ready.match(QString::fromLatin1(process.readLine()));
    return match.hasMatch() ? match.captured(1).toUShort() : 0;
}

QString ask(quint16 port, const QString& password, const QString& command,
            int timeoutMs = kTimeoutMs)
{
    QUdpSocket client;
    client.writeDatagram(SimRequest::encode(password, command),
                         QHostAddress(QHostAddress::LocalHost), port);
    return client.waitForReadyRead(timeoutMs)
               ? SimRedirectBuffer::join({client.receiveDatagram().data()})
               : QString();
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
        QTest::newRow("sim_crash") << "sim_crash 3";
        QTest::newRow("sim_hang") << "sim_hang";
    }
    void answersAndStops()
    {
        QFETCH(QString, ending);
#ifdef Q_OS_WIN
        if (ending.startsWith(QStringLiteral("SIG"))) {
            QSKIP("Windows has no signals, and Ctrl+C reaches only a program with a console");
        }
#endif
        QProcess process;
        const quint16 port =
            launch(process, {"--password", "pw", "--map", "mp_dome", "--hex-guids", "--high-ports",
                             "--join-password", "in", "--query-burst", "0"});
        QVERIFY(port != 0);

        // Anyone may ask what a server list shows, here more often than the default limit lets
        // through; the join password shows as g_needpass.
        for (int i = 0; i < 3; ++i) {
            QUdpSocket client;
            client.writeDatagram("\xFF\xFF\xFF\xFFgetinfo x", QHostAddress(QHostAddress::LocalHost),
                                 port);
            QVERIFY(client.waitForReadyRead(kTimeoutMs));
            QVERIFY(client.receiveDatagram().data().contains("\\g_needpass\\1"));
        }

        // A wide guid column, and the row of slot 1 runs into its qport.
        const QString status = ask(port, "pw", "status");
        QVERIFY2(status.startsWith(QStringLiteral("map: mp_dome\nnum score ping guid ") +
                                   QString(28, u' ') + QStringLiteral("name")),
                 qPrintable(status));
        QVERIFY2(status.contains(QRegularExpression(QStringLiteral("\n  1 .*:-\\d+-\\d+ "))),
                 qPrintable(status));
        QCOMPARE(ask(port, "other", "status"), QStringLiteral("Invalid password.\n"));

#ifndef Q_OS_WIN
        const auto pid = static_cast<pid_t>(process.processId());
        if (ending.startsWith(QStringLiteral("SIG"))) {
            ::kill(pid, ending == QStringLiteral("SIGINT") ? SIGINT : SIGTERM);
        } else
#endif
        {
            QUdpSocket().writeDatagram(SimRequest::encode(QStringLiteral("pw"), ending),
                                       QHostAddress(QHostAddress::LocalHost), port);
        }
        if (ending == QStringLiteral("sim_hang")) {
            // Neither requests nor SIGTERM get through to a hung server; SIGKILL does. The
            // request comes after "sim_hang" on the server's socket.
            QCOMPARE(ask(port, "pw", "status", 1000), QString());
#ifdef Q_OS_WIN
            process.kill();
#else
            ::kill(pid, SIGTERM);
            QVERIFY(!process.waitForFinished(300));
            ::kill(pid, SIGKILL);
#endif
            QVERIFY(process.waitForFinished(kTimeoutMs));
            QCOMPARE(process.exitStatus(), QProcess::CrashExit);
            return;
        }
        QVERIFY(process.waitForFinished(kTimeoutMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), ending == QStringLiteral("sim_crash 3") ? 3 : 0);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSimProgram)
#include "TestSimProgram.moc"
