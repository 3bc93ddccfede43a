#include "TestMain.h"
#include "control/SettingsCommands.h"

using namespace garrison;

class TestSettingsCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyControlSendsOneCommand()
    {
        QSet<QString> controls;
        for (const auto* table :
             {&SettingsCommands::fixedCommands(), &SettingsCommands::queries()}) {
            for (const SettingsCommands::Fixed& entry : *table) {
                QVERIFY2(!controls.contains(entry.control), qPrintable(entry.control));
                controls.insert(entry.control);
                QVERIFY(!entry.command.isEmpty());
            }
        }
        QCOMPARE(SettingsCommands::fixedCommands().size(), 30);
        QCOMPARE(SettingsCommands::queries().size(), 5);
    }

    void pingSendsBothLimitsAsTyped_data()
    {
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<QString>("maximum");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("report");
        QTest::newRow("initial") << "0"
                                 << "300"
                                 << "sv_minping 0"
                                 << "sv_maxping 300"
                                 << "Min ping is now: 0 and Max ping is now: 300";
        QTest::newRow("empty") << ""
                               << ""
                               << "sv_minping "
                               << "sv_maxping "
                               << "Min ping is now:  and Max ping is now: ";
        QTest::newRow("blanks and semicolon") << " 5 "
                                              << "9;quit"
                                              << "sv_minping  5 "
                                              << "sv_maxping 9;quit"
                                              << "Min ping is now:  5  and Max ping is now: 9;quit";
    }
    void pingSendsBothLimitsAsTyped()
    {
        QFETCH(QString, minimum);
        QFETCH(QString, maximum);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, report);
        const SettingsCommands::Ping ping = SettingsCommands::ping(minimum, maximum);
        QCOMPARE(ping.minimum, first);
        QCOMPARE(ping.maximum, second);
        QCOMPARE(ping.report, report);
    }

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
        QTest::newRow("zero") << "0" << true << QString();
        QTest::newRow("empty") << "" << true << QString();
        QTest::newRow("blank before zero") << " 0" << false << "pb_sv_unban  0";
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

    void badNameIsSentAsAnswered_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("report");
        QTest::newRow("preset") << "NAZI"
                                << "pb_sv_badname 30 NAZI"
                                << "NAZI added to bad name list!";
        QTest::newRow("cancelled") << ""
                                   << "pb_sv_badname 30 "
                                   << " added to bad name list!";
        QTest::newRow("blanks") << " a b "
                                << "pb_sv_badname 30  a b "
                                << " a b  added to bad name list!";
    }
    void badNameIsSentAsAnswered()
    {
        QFETCH(QString, answer);
        QFETCH(QString, command);
        QFETCH(QString, report);
        const SettingsCommands::Confirmed confirmed = SettingsCommands::badName(answer);
        QCOMPARE(confirmed.command, command);
        QCOMPARE(confirmed.report, report);
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
