#include "SimRequest.h"
#include "support/TestMain.h"

using garrison::sim::SimRequest;

class TestSimRequest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void encodeRoundTrip();
};

void TestSimRequest::parse_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("command");

    const QByteArray marker("\xFF\xFF\xFF\xFF");
    QTest::newRow("status") << marker + "rcon secret status" << true << "secret"
                            << "status";
    QTest::newRow("empty password") << marker + "rcon  status" << true << ""
                                    << "status";
    QTest::newRow("command with blanks")
        << marker + "rcon secret say hello  world" << true << "secret"
        << "say hello  world";
    QTest::newRow("verb in capitals") << marker + "RCON secret status" << true << "secret"
                                      << "status";
    QTest::newRow("line end") << marker + "rcon secret status\r\n"
                              << true << "secret"
                              << "status";
    QTest::newRow("nul ends the text")
        << marker + QByteArray("rcon secret sta\0tus", 19) << true << "secret"
        << "sta";
    QTest::newRow("windows-1252") << marker + "rcon p\xE4ss say \x80" << true << "p\u00e4ss"
                                  << "say \u20ac";
    QTest::newRow("largest accepted")
        << marker + "rcon secret say " + QByteArray(SimRequest::kMaxDatagram - 20, 'a') << true
        << "secret"
        << "say " + QString(SimRequest::kMaxDatagram - 20, u'a');

    QTest::newRow("empty") << QByteArray() << false << ""
                           << "";
    QTest::newRow("three markers") << QByteArray("\xFF\xFF\xFFrcon secret status") << false << ""
                                   << "";
    QTest::newRow("no marker") << QByteArray("rcon secret status") << false << ""
                               << "";
    QTest::newRow("other verb") << marker + "getstatus" << false << ""
                                << "";
    QTest::newRow("verb without blank") << marker + "rconsecret status" << false << ""
                                        << "";
    QTest::newRow("password only") << marker + "rcon secret" << false << ""
                                   << "";
    QTest::newRow("no command") << marker + "rcon secret  \n"
                                << false << ""
                                << "";
    QTest::newRow("nul in the verb")
        << marker + QByteArray("rc\0on secret status", 19) << false << ""
        << "";
    QTest::newRow("binary") << QByteArray("\x00\x13\xFF\xFE\x80\x7F\x01", 7) << false << ""
                            << "";
    QTest::newRow("64 KiB") << marker + "rcon secret say " + QByteArray(65507 - 20, 'a') << false
                            << ""
                            << "";
    QTest::newRow("one byte too large")
        << marker + "rcon secret say " + QByteArray(SimRequest::kMaxDatagram - 19, 'a') << false
        << ""
        << "";
}

void TestSimRequest::parse()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, valid);
    QFETCH(QString, password);
    QFETCH(QString, command);

    const std::optional<SimRequest> request = SimRequest::parse(datagram);

    QCOMPARE(request.has_value(), valid);
    if (valid) {
        QCOMPARE(request->password, password);
        QCOMPARE(request->command, command);
    }
}

void TestSimRequest::encodeRoundTrip()
{
    const QByteArray datagram =
        SimRequest::encode(QStringLiteral("secret"), QStringLiteral("status"));

    QCOMPARE(datagram, QByteArray("\xFF\xFF\xFF\xFFrcon secret status"));
}

GARRISON_TEST_GUILESS_MAIN(TestSimRequest)
#include "TestSimRequest.moc"
