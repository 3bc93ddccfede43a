#include "rcon/ServerRefusals.h"
#include "support/TestMain.h"
#include "support/TextRows.h"

#include <QTest>

using namespace garrison;

class TestServerRefusals : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void find_data()
    {
        test::addTextRows(
            {"reply", "refusal"},
            {{"unknown command", "Unknown command \"sv_nosuch\"\r\n",
              "Unknown command \"sv_nosuch\""},
             {"unknown command, newer engine", "unknown command: nosuchcmd\r\n",
              "unknown command: nosuchcmd"},
             {"value out of the domain",
              "'abc' is not a valid value for dvar 'sv_maxping'\r\n  Domain is any integer "
              "from 0 to 999\r\n",
              "'abc' is not a valid value for dvar 'sv_maxping'"},
             {"wrong password, newer engine", "Bad rconpassword.\r\n", "Bad rconpassword."},
             {"wrong password", "Invalid password.\r\n", "Invalid password."},
             {"read only", "sv_hostname is read only.\r\n", "sv_hostname is read only."},
             {"missing map", "Can't find map maps/mp/mp_nowhere.d3dbsp\r\n",
              "Can't find map maps/mp/mp_nowhere.d3dbsp"},
             {"missing player", "Player Pirate is not on the server\r\n",
              "Player Pirate is not on the server"},
             {"usage", "USAGE: set <variable> <value>\r\n", "USAGE: set <variable> <value>"},
             {"PunkBuster invalid, colour removed",
              "^3PunkBuster Server: Invalid Player Slot #99\r\n",
              "PunkBuster Server: Invalid Player Slot #99"},
             {"PunkBuster not found", "^3PunkBuster Server: Ban #7 not found\r\n",
              "PunkBuster Server: Ban #7 not found"},
             {"second line", "map: mp_castle\r\nUnknown command \"x\"\r\n",
              "Unknown command \"x\""},
             {"variable", "\"sv_maxping\" is: \"300^7\" default: \"0^7\"\r\n", ""},
             {"kick done", "Sgt Pepper^7 was kicked\r\n", ""},
             {"PunkBuster list", "^3PunkBuster Server: 1 ban\r\n", ""},
             {"invalid without PunkBuster", "console: that shot was invalid\r\n", ""},
             {"empty", "", ""}});
    }
    void find()
    {
        QFETCH(QString, reply);
        QFETCH(QString, refusal);
        QCOMPARE(ServerRefusals::find(reply).value_or(QString()), refusal);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestServerRefusals)
#include "TestServerRefusals.moc"
