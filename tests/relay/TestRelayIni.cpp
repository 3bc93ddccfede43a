#include "RelayIni.h"
#include "RelayWire.h"
#include "TestMain.h"

using garrison::relay::RelayIni;
using garrison::relay::RelayWire;

class TestRelayIni : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("serverHost");
        QTest::addColumn<int>("serverPort");
        QTest::addColumn<QString>("myAddress");
        QTest::addColumn<int>("myPort");
        QTest::addColumn<QByteArray>("login");
        QTest::addColumn<QByteArray>("password");

        const QByteArray written =
            "server=10.0.0.5:28960\r\nmyaddr=192.168.1.2:55556\r\n"
            "login=GARRISON-192.168.1.2\r\npassword=GrsnUcon_192.168.1.2\r\n";
        QTest::newRow("as GARRISON writes it")
            << written << true << "10.0.0.5" << 28960 << "192.168.1.2" << 55556
            << QByteArray("GARRISON-192.168.1.2") << QByteArray("GrsnUcon_192.168.1.2");
        QTest::newRow("LF ends, other order, key case, extra keys")
            << QByteArray("Password=p\nLOGIN=me\n\n[x]\ncolour=red\nmyaddr=127.0.0.1:0\n"
                          "server=game.example:1")
            << true << "game.example" << 1 << "127.0.0.1" << 0 << QByteArray("me")
            << QByteArray("p");
        QTest::newRow("empty password")
            << QByteArray("server=a:1\nmyaddr=b:2\nlogin=l\npassword=") << true << "a" << 1 << "b"
            << 2 << QByteArray("l") << QByteArray();
        QTest::newRow("high byte in password")
            << QByteArray("server=a:1\nmyaddr=b:2\nlogin=l\npassword=p\xFAw") << true << "a" << 1
            << "b" << 2 << QByteArray("l") << QByteArray("p\xFAw");
        for (const char* missing : {"server", "myaddr", "login", "password"}) {
            QByteArray content = written;
            const qsizetype at = content.indexOf(missing);
            content.remove(at, content.indexOf('\n', at) + 1 - at);
            QTest::newRow(qPrintable(QStringLiteral("no %1").arg(QLatin1String(missing))))
                << content << false << "" << 0 << "" << 0 << QByteArray() << QByteArray();
        }
        QTest::newRow("server without port")
            << QByteArray("server=a\nmyaddr=b:2\nlogin=l\npassword=p") << false << "" << 0 << ""
            << 0 << QByteArray() << QByteArray();
        QTest::newRow("server port 0")
            << QByteArray("server=a:0\nmyaddr=b:2\nlogin=l\npassword=p") << false << "" << 0 << ""
            << 0 << QByteArray() << QByteArray();
        QTest::newRow("port too big")
            << QByteArray("server=a:1\nmyaddr=b:65536\nlogin=l\npassword=p") << false << "" << 0
            << "" << 0 << QByteArray() << QByteArray();
        QTest::newRow("empty login") << QByteArray("server=a:1\nmyaddr=b:2\nlogin=\npassword=p")
                                     << false << "" << 0 << "" << 0 << QByteArray() << QByteArray();
        QTest::newRow("binary") << QByteArray("\x00\xFF=\x01\n\n==", 8) << false << "" << 0 << ""
                                << 0 << QByteArray() << QByteArray();
    }
    void parse()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, valid);
        const std::optional<RelayIni> ini = RelayIni::parse(content);
        QCOMPARE(ini.has_value(), valid);
        if (!valid) {
            return;
        }
        QTEST(ini->serverHost, "serverHost");
        QTEST(int(ini->serverPort), "serverPort");
        QTEST(ini->myAddress, "myAddress");
        QTEST(int(ini->myPort), "myPort");
        QTEST(ini->login, "login");
        QTEST(ini->password, "password");
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
        QTest::newRow("no header") << QByteArray("ucon_line a") << false << QList<QByteArray>{};
        QTest::newRow("short header")
            << QByteArray("\xFF\xFF\xFFucon_line a") << false << QList<QByteArray>{};
        QTest::newRow("empty line")
            << QByteArray("\xFF\xFF\xFF\xFFucon_line ") << false << QList<QByteArray>{};
        QTest::newRow("empty datagram") << QByteArray() << false << QList<QByteArray>{};
        QTest::newRow("64 KiB") << QByteArray("\xFF\xFF\xFF\xFFucon_line ") + QByteArray(65000, 'x')
                                << false << QList<QByteArray>{QByteArray(65000, 'x')};
    }
    void wire()
    {
        QFETCH(QByteArray, datagram);
        QTEST(RelayWire::isWelcome(datagram), "welcome");
        QTEST(RelayWire::lines(datagram), "lines");
    }

    void helloCarriesCredentials()
    {
        QCOMPARE(RelayWire::hello("GARRISON-1.2.3.4", "p\xFA"),
                 QByteArray("\xFF\xFF\xFF\xFFucon_hello GARRISON-1.2.3.4 p\xFA"));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRelayIni)
#include "TestRelayIni.moc"
