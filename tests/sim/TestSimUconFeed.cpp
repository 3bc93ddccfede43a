#include "SimConsole.h"
#include "SimUconFeed.h"
#include "TestMain.h"

using garrison::sim::SimConsole;
using garrison::sim::SimSettings;
using garrison::sim::SimUconFeed;

class TestSimUconFeed : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Hellos are "port credentials", separated by "|"; accepted tells each one's answer.
    void accept_data()
    {
        QTest::addColumn<QString>("registration");
        QTest::addColumn<QStringList>("hellos");
        QTest::addColumn<QList<bool>>("accepted");
        QTest::addColumn<int>("relays");

        const QString add = QStringLiteral("pb_sv_uconadd 2 127.0.0.1 GARRISON-127.0.0.1 pw1");
        QTest::newRow("matching") << add << QStringList{"5000 GARRISON-127.0.0.1 pw1"}
                                  << QList<bool>{true} << 1;
        QTest::newRow("wrong password")
            << add << QStringList{"5000 GARRISON-127.0.0.1 pw2"} << QList<bool>{false} << 0;
        QTest::newRow("wrong name")
            << add << QStringList{"5000 GARRISON-127.0.0.2 pw1"} << QList<bool>{false} << 0;
        QTest::newRow("nobody registered")
            << QString() << QStringList{"5000 GARRISON-127.0.0.1 pw1"} << QList<bool>{false} << 0;
        QTest::newRow("repeated hello is one relay")
            << add << QStringList{"5000 GARRISON-127.0.0.1 pw1", "5000 GARRISON-127.0.0.1 pw1"}
            << QList<bool>{true, true} << 1;
    }
    void accept()
    {
        QFETCH(QString, registration);
        QFETCH(QStringList, hellos);
        SimConsole console(SimSettings{});
        if (!registration.isEmpty()) {
            console.reply(registration);
        }
        SimUconFeed feed(console.punkBuster());
        QList<bool> answers;
        for (const QString& hello : hellos) {
            const qsizetype blank = hello.indexOf(u' ');
            answers.append(feed.accept(
                "\xFF\xFF\xFF\xFFucon_hello " + hello.mid(blank + 1).toLatin1(),
                QHostAddress(QHostAddress::LocalHost), quint16(hello.left(blank).toUInt())));
        }
        QTEST(answers, "accepted");
        QTEST(int(feed.relays().size()), "relays");
    }

    void lines()
    {
        QCOMPARE(SimUconFeed::punkBusterLine(QStringLiteral("^3PunkBuster Server: B\u00e9la left")),
                 QByteArray("\xFF\xFF\xFF\xFFucon_line PunkBuster Server\xFA"
                            "B\xE9la left"));
        QCOMPARE(SimUconFeed::chatLine(QStringLiteral("Console"), QStringLiteral("hello")),
                 QByteArray("\xFF\xFF\xFF\xFFucon_line Chat\xFA"
                            "Console: hello"));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSimUconFeed)
#include "TestSimUconFeed.moc"
