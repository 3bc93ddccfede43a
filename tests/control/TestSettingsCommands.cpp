#include "TestMain.h"
#include "control/SettingsCommands.h"

using namespace garrison;

class TestSettingsCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void privateSlotsAreTrimmedOfBlanks_data()
    {
        QTest::addColumn<bool>("password");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("report");
        QTest::newRow("slots with blanks") << false << " 8 "
                                           << "sv_privateclients 8"
                                           << "Private Slots Defined to: 8";
        QTest::newRow("slots empty") << false << ""
                                     << "sv_privateclients "
                                     << "Private Slots Defined to: ";
        QTest::newRow("slots only blanks") << false << "   "
                                           << "sv_privateclients "
                                           << "Private Slots Defined to: ";
        QTest::newRow("tab is not a blank") << false << "\t8 "
                                            << "sv_privateclients \t8"
                                            << "Private Slots Defined to: \t8";
        QTest::newRow("password inner blank kept") << true << "  my pass "
                                                   << "set sv_privatePassword my pass"
                                                   << "Private Slots Password Defined as my pass";
        QTest::newRow("password semicolon") << true << "a;quit"
                                            << "set sv_privatePassword a;quit"
                                            << "Private Slots Password Defined as a;quit";
    }
    void privateSlotsAreTrimmedOfBlanks()
    {
        QFETCH(bool, password);
        QFETCH(QString, typed);
        QFETCH(QString, command);
        QFETCH(QString, report);
        const SettingsCommands::Confirmed confirmed = password
                                                          ? SettingsCommands::slotsPassword(typed)
                                                          : SettingsCommands::privateSlots(typed);
        QCOMPARE(confirmed.command, command);
        QCOMPARE(confirmed.report, report);
    }

    void unbanNeedsABanNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("command");
        QTest::newRow("blank after zero") << "0 " << false << "pb_sv_unban 0 ";
        QTest::newRow("double zero") << "00" << false << "pb_sv_unban 00";
        QTest::newRow("number") << "12" << false << "pb_sv_unban 12";
        QTest::newRow("semicolon") << "1;quit" << false << "pb_sv_unban 1;quit";
    }
    void unbanNeedsABanNumber()
    {
        QFETCH(QString, typed);
        QFETCH(bool, refused);
        QFETCH(QString, command);
        const std::optional<QString> sent = SettingsCommands::unban(typed);
        QCOMPARE(!sent.has_value(), refused);
        if (sent) {
            QCOMPARE(*sent, command);
        }
    }

    void hostNameKeepsItsTrailingBlank()
    {
        QCOMPARE(SettingsCommands::hostName(QString()), QStringLiteral("sv_hostname "));
        QCOMPARE(SettingsCommands::hostName(QStringLiteral("^1Red; x")),
                 QStringLiteral("sv_hostname ^1Red; x"));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestSettingsCommands)
#include "TestSettingsCommands.moc"
