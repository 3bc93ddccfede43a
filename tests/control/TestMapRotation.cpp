#include "TestMain.h"
#include "TextRows.h"
#include "control/MapRotation.h"

using namespace garrison;
using garrison::test::addTextRows;

namespace {
// In the tables: the command or text is refused.
const QString kRefused = QStringLiteral("<refused>");

void compare(const std::optional<QString>& actual, const QString& expected)
{
    QCOMPARE(actual.value_or(kRefused), expected);
    QCOMPARE(actual.has_value(), expected != kRefused);
}
} // namespace

class TestMapRotation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addAppendsOnePair_data()
    {
        addTextRows({"rotation", "gameType", "map", "result"},
                    {{"first pair", "", "dm", "mp_castle", "gametype dm map mp_castle"},
                     {"second pair", "gametype dm map mp_castle", "sd", "mp_dome",
                      "gametype dm map mp_castle gametype sd map mp_dome"},
                     {"duplicate", "gametype dm map mp_castle", "dm", "mp_castle",
                      "gametype dm map mp_castle gametype dm map mp_castle"},
                     {"no game type", "gametype dm map mp_castle", "", "mp_dome", "<refused>"},
                     {"no map", "", "sd", "", "<refused>"},
                     {"blanks only count as text", "", " ", " ", "gametype   map  "},
                     {"hand edit kept", "gametype \"x\"\r\n", "tdm", "my map",
                      "gametype \"x\"\r\n gametype tdm map my map"}});
    }
    void addAppendsOnePair()
    {
        QFETCH(QString, rotation);
        QFETCH(QString, gameType);
        QFETCH(QString, map);
        QFETCH(QString, result);
        compare(MapRotation::add(rotation, gameType, map), result);
    }

    void commandQuotesTheTextAsItStands_data()
    {
        addTextRows({"rotation", "command"},
                    {{"empty", "", "<refused>"},
                     {"example", "gametype dm map mp_castle gametype sd map mp_dome",
                      "set sv_mapRotation \"gametype dm map mp_castle gametype sd map mp_dome\""},
                     {"quotes inside", "a \"b\" c", "set sv_mapRotation \"a \"b\" c\""},
                     {"line breaks", "a\r\nb\r\n", "set sv_mapRotation \"a\r\nb\r\n\""},
                     {"one blank", " ", "set sv_mapRotation \" \""}});
    }
    void commandQuotesTheTextAsItStands()
    {
        QFETCH(QString, rotation);
        QFETCH(QString, command);
        compare(MapRotation::command(rotation), command);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestMapRotation)
#include "TestMapRotation.moc"
