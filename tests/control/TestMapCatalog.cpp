#include "TestMain.h"
#include "control/MapCatalog.h"

using namespace garrison;

class TestMapCatalog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void gameTypesAreTheGamesOwn()
    {
        QCOMPARE(MapCatalog::gameTypes(),
                 QStringList({"twar", "dm", "tdm", "dom", "koth", "sab", "sd"}));
    }

    void otherTextsShowTheDefaultPicture_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("asks");
        QTest::addColumn<QString>("picture");
        QTest::newRow("custom") << "Custom Map" << true << QString();
        QTest::newRow("custom in small letters") << "custom map" << false << "Image27";
        QTest::newRow("capital map name") << "MP_DOME" << false << "Image27";
        QTest::newRow("blank after name") << "mp_dome " << false << "Image27";
        QTest::newRow("empty") << "" << false << "Image27";
    }
    void otherTextsShowTheDefaultPicture()
    {
        QFETCH(QString, entry);
        QFETCH(bool, asks);
        QFETCH(QString, picture);
        const MapCatalog::Selection selection = MapCatalog::select(entry);
        QCOMPARE(selection.asksForName, asks);
        QCOMPARE(selection.picture, picture);
    }

    void changeMapSendsTheCaption_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("command");
        QTest::newRow("nothing chosen") << "Select a map" << true << QString();
        QTest::newRow("map") << "mp_dome" << false << "map mp_dome";
        QTest::newRow("cancelled custom") << "" << false << "map ";
        QTest::newRow("blanks in name") << " my map " << false << "map  my map ";
        QTest::newRow("semicolon") << "mp_x;quit" << false << "map mp_x;quit";
        QTest::newRow("other letter case") << "select a map" << false << "map select a map";
    }
    void changeMapSendsTheCaption()
    {
        QFETCH(QString, caption);
        QFETCH(bool, refused);
        QFETCH(QString, command);
        const std::optional<QString> sent = MapCatalog::changeMapCommand(caption);
        QCOMPARE(!sent.has_value(), refused);
        if (sent) {
            QCOMPARE(*sent, command);
        }
    }
};

GARRISON_TEST_GUILESS_MAIN(TestMapCatalog)
#include "TestMapCatalog.moc"
