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
};

GARRISON_TEST_GUILESS_MAIN(TestMapCatalog)
#include "TestMapCatalog.moc"
