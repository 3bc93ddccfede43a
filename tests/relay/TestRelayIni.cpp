#include "RelayIni.h"
#include "RelayWire.h"
#include "TestMain.h"
#include "TextRows.h"

using garrison::relay::RelayIni;
using garrison::relay::RelayWire;

class TestRelayIni : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What was read as "host port address port login password", or empty when refused.
    void parse_data()
    {
        garrison::test::addTextRows(
            {"content", "read"},
            {{"as GARRISON writes it",
              "server=10.0.0.5:28960\r\nmyaddr=192.168.1.2:55556\r\n"
              "login=GARRISON-192.168.1.2\r\npassword=GrsnUcon_192.168.1.2\r\n",
              "10.0.0.5 28960 192.168.1.2 55556 GARRISON-192.168.1.2 GrsnUcon_192.168.1.2"},
             {"server without port", "server=a\nmyaddr=b:2\nlogin=l\npassword=p", ""}});
    }
    void parse()
    {
        QFETCH(QString, content);
        const std::optional<RelayIni> ini = RelayIni::parse(content.toLatin1());
        const QStringList read = ini ? QStringList{ini->serverHost,
                                                   QString::number(ini->serverPort),
                                                   ini->myAddress,
                                                   QString::number(ini->myPort),
                                                   QString::fromLatin1(ini->login),
                                                   QString::fromLatin1(ini->password)}
                                     : QStringList{};
        QTEST(read.join(u' '), "read");
    }

    void wire_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("welcome");
        QTest::addColumn<QList<QByteArray>>("lines");

        QTest::newRow("welcome") << QByteArray("\xFF\xFF\xFF\xFFucon_welcome") << true
                                 << QList<QByteArray>{};
        QTest::newRow("welcome with tail")
            << QByteArray("\xFF\xFF\xFF\xFFucon_welcomeX") << false << QList<QByteArray>{};
        QTest::newRow("one line") << QByteArray(
                                         "\xFF\xFF\xFF\xFFucon_line PunkBuster Server\xFAKick")
                                  << false << QList<QByteArray>{"PunkBuster Server\xFAKick"};
        QTest::newRow("line breaks inside") << QByteArray("\xFF\xFF\xFF\xFFucon_line a\r\n\nb\rc\n")
                                            << false << QList<QByteArray>{"a", "b", "c"};
        QTest::newRow("short header")
            << QByteArray("\xFF\xFF\xFFucon_line a") << false << QList<QByteArray>{};
    }
    void wire()
    {
        QFETCH(QByteArray, datagram);
        QTEST(RelayWire::isWelcome(datagram), "welcome");
        QTEST(RelayWire::lines(datagram), "lines");
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRelayIni)
#include "TestRelayIni.moc"
