#include "TestMain.h"
#include "TextRows.h"
#include "control/TerminalPage.h"
#include "rcon/RconClient.h"

#include <QFontInfo>
#include <QLineEdit>
#include <QSignalSpy>

using namespace garrison;
using garrison::test::addTextRows;

// The command line against a real (unconnected) client: what it sends, echoes and records.
class TestTerminalPage : public QObject {
    Q_OBJECT

    RconClient m_rcon; // shared: each test reads only what it sent itself
    std::unique_ptr<TerminalPage> m_page;

    QLineEdit* commandLine() { return m_page->findChild<QLineEdit*>(QStringLiteral("Text7")); }

private Q_SLOTS:
    void init()
    {
        m_page = std::make_unique<TerminalPage>(m_rcon);
        m_page->show();
    }
    void cleanup() { m_page.reset(); }

    void enterSendsAsTypedAndKeepsIt_data()
    {
        addTextRows({"typed"}, {{"status", "status"},
                                {"blanks kept", "  say hi  "},
                                {"colour codes and quotes", "say \"^1red\";quit"}});
    }
    void enterSendsAsTypedAndKeepsIt()
    {
        QFETCH(QString, typed);
        QSignalSpy echoes(&m_rcon, &RconClient::echoed);
        QTest::keyClicks(commandLine(), typed);

        QTest::keyClick(commandLine(), Qt::Key_Return);
        QTest::keyClick(commandLine(), Qt::Key_Enter);

        // Routed like the program's own query: the reply goes wherever LastCommand says.
        QCOMPARE(m_rcon.LastCommand(), typed);
        QCOMPARE(echoes.size(), 2);
        for (const QList<QVariant>& echo : echoes) {
            QVERIFY(echo.at(0).toString().endsWith("] - /" + typed + "\r\n"));
        }
        QCOMPARE(commandLine()->text(), typed);

        // What is typed next replaces the line instead of running on from it.
        QTest::keyClicks(commandLine(), QStringLiteral("g_gametype"));
        QTest::keyClick(commandLine(), Qt::Key_Return);
        QCOMPARE(m_rcon.LastCommand(), QStringLiteral("g_gametype"));
    }

    // Steps split at ",": "=text" types into an emptied line, "enter" sends, "up" and "down"
    // walk; shown is the line after each up and down.
    void upAndDownRecallTheCommandsOfThisRun_data()
    {
        addTextRows(
            {"steps", "shown"},
            {{"back to the oldest and forth to the newest",
              "=status,enter,=mapname,enter,=say hi,enter,up,up,up,down,down,down",
              "mapname,status,status,mapname,say hi,say hi"},
             {"the line being typed comes back", "=status,enter,=sv_host,up,down",
              "status,sv_host"},
             {"repeats and empty lines kept once", "=a,enter,enter,=,enter,=b,enter,up,up", "a,a"},
             {"nothing sent yet", "=draft,up,down", "draft,draft"}});
    }
    void upAndDownRecallTheCommandsOfThisRun()
    {
        QFETCH(QString, steps);
        QFETCH(QString, shown);
        QStringList seen;
        for (const QString& step : steps.split(',')) {
            if (step.startsWith('=')) {
                commandLine()->clear();
                QTest::keyClicks(commandLine(), step.mid(1));
            } else if (step == "enter") {
                QTest::keyClick(commandLine(), Qt::Key_Return);
            } else {
                QTest::keyClick(commandLine(), step == "up" ? Qt::Key_Up : Qt::Key_Down);
                seen << commandLine()->text();
            }
        }
        QCOMPARE(seen, shown.split(','));
    }

    void refusedCommandLineSendsNothing()
    {
        m_page->setCommandLineAllowed(false);
        QSignalSpy echoes(&m_rcon, &RconClient::echoed);
        QTest::keyClick(commandLine(), Qt::Key_Return);
        QCOMPARE(echoes.size(), 0);
        // Allowed again (a later session), the line starts empty: the refusal is no command.
        m_page->setCommandLineAllowed(true);
        QVERIFY(commandLine()->text().isEmpty());
        QTest::keyClicks(commandLine(), QStringLiteral("status"));
        QTest::keyClick(commandLine(), Qt::Key_Return);
        QCOMPARE(m_rcon.LastCommand(), QStringLiteral("status"));
    }

    // Shown, the page takes the keys in its command line, where the user may type.
    void commandLineTakesTheKeysWhenShown_data()
    {
        QTest::addColumn<bool>("allowed");
        QTest::newRow("allowed") << true;
        QTest::newRow("refused") << false;
    }
    void commandLineTakesTheKeysWhenShown()
    {
        QFETCH(bool, allowed);
        QWidget window;
        auto* elsewhere = new QLineEdit(&window);
        m_page->setParent(&window);
        m_page->setCommandLineAllowed(allowed);
        m_page->hide();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        elsewhere->setFocus();
        m_page->show();
        QCOMPARE(commandLine()->hasFocus(), allowed);
        m_page->setParent(nullptr);
    }

    void transcriptIsFixedPitch()
    {
        const QWidget* output = m_page->findChild<QWidget*>(QStringLiteral("txtOutput"));
        QVERIFY(output);
        QVERIFY(QFontInfo(output->font()).fixedPitch());
    }
};

GARRISON_TEST_MAIN(TestTerminalPage)
#include "TestTerminalPage.moc"
