#include "TestMain.h"
#include "control/MapRotation.h"

using namespace garrison;

class TestMapRotation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addAppendsOnePair_data()
    {
        QTest::addColumn<QString>("rotation");
        QTest::addColumn<QString>("gameType");
        QTest::addColumn<QString>("map");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("result");
        QTest::newRow("first pair") << ""
                                    << "dm"
                                    << "mp_castle" << false << "gametype dm map mp_castle";
        QTest::newRow("second pair")
            << "gametype dm map mp_castle"
            << "sd"
            << "mp_dome" << false << "gametype dm map mp_castle gametype sd map mp_dome";
        QTest::newRow("duplicate")
            << "gametype dm map mp_castle"
            << "dm"
            << "mp_castle" << false << "gametype dm map mp_castle gametype dm map mp_castle";
        QTest::newRow("no game type") << "gametype dm map mp_castle"
                                      << ""
                                      << "mp_dome" << true << QString();
        QTest::newRow("no map") << ""
                                << "sd"
                                << "" << true << QString();
        QTest::newRow("blanks only count as text") << ""
                                                   << " "
                                                   << " " << false << "gametype   map  ";
        QTest::newRow("hand edit kept")
            << "gametype \"x\"\r\n"
            << "tdm"
            << "my map" << false << "gametype \"x\"\r\n gametype tdm map my map";
    }
    void addAppendsOnePair()
    {
        QFETCH(QString, rotation);
        QFETCH(QString, gameType);
        QFETCH(QString, map);
        QFETCH(bool, refused);
        QFETCH(QString, result);
        const std::optional<QString> added = MapRotation::add(rotation, gameType, map);
        QCOMPARE(!added.has_value(), refused);
        if (added) {
            QCOMPARE(*added, result);
        }
    }

    void commandQuotesTheTextAsItStands_data()
    {
        QTest::addColumn<QString>("rotation");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("command");
        QTest::newRow("empty") << "" << true << QString();
        QTest::newRow("example") << "gametype dm map mp_castle gametype sd map mp_dome" << false
                                 << "set sv_mapRotation \"gametype dm map mp_castle gametype sd "
                                    "map mp_dome\"";
        QTest::newRow("quotes inside")
            << "a \"b\" c" << false << "set sv_mapRotation \"a \"b\" c\"";
        QTest::newRow("line breaks") << "a\r\nb\r\n"
                                     << false << "set sv_mapRotation \"a\r\nb\r\n\"";
        QTest::newRow("one blank") << " " << false << "set sv_mapRotation \" \"";
    }
    void commandQuotesTheTextAsItStands()
    {
        QFETCH(QString, rotation);
        QFETCH(bool, refused);
        QFETCH(QString, command);
        const std::optional<QString> sent = MapRotation::command(rotation);
        QCOMPARE(!sent.has_value(), refused);
        if (sent) {
            QCOMPARE(*sent, command);
        }
    }
};

GARRISON_TEST_GUILESS_MAIN(TestMapRotation)
#include "TestMapRotation.moc"
