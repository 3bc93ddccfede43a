#include "SimRequest.h"
#include "support/TestMain.h"

using garrison::sim::SimRequest;

class TestSimRequest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
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
    QTest::newRow("windows-1252") << marker + "rcon p\xE4ss say \x80" << true << "p\u00e4ss"
                                  << "say \u20ac";
    const auto invalid = [](const char* tag, const QByteArray& datagram) {
        QTest::newRow(tag) << datagram << false << QString() << QString();
    };
    invalid("no marker", "rcon secret status");
    invalid("other verb", marker + "getstatus");
    invalid("password only", marker + "rcon secret");
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

GARRISON_TEST_GUILESS_MAIN(TestSimRequest)
#include "TestSimRequest.moc"
