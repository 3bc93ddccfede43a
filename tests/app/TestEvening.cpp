// An administrator's evening with the whole program in this process (launch(), the real login
// window, real message boxes), against simulated game servers in this process and a garrisond
// program, all on 127.0.0.1. The functions run in order and share the program, as one evening
// does; each one goes on from where the last one left the windows.
#include "BoxAnswerer.h"
#include "ProgramWindows.h"
#include "SimFixture.h"
#include "TestEnvironment.h"
#include "TestMain.h"
#include "app/AppController.h"
#include "app/MainWindow.h"
#include "app/ReaderWindow.h"
#include "app/TellWindow.h"
#include "app/launch.h"
#include "control/ChatPage.h"
#include "history/PlayerCountChart.h"
#include "platform/ConsoleBox.h"
#include "players/PlayerMenu.h"
#include "players/PlayersPage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>

using namespace garrison;
using garrison::test::BoxAnswerer;
using garrison::test::connectDirectly;
using garrison::test::SimFixture;
using garrison::test::visibleWindow;

namespace {

// Every step waits for what a user would wait for; the deferred sends of the header chain take
// two seconds each.
constexpr int kTimeoutMs = 10000;
// A multiple of the deferral's one-second tick, on purpose: the refresh falls due right after
// the deferred "mapname" leaves, and must wait for its reply instead of taking it for part of
// the status table.
constexpr int kRefreshMs = 200;

sim::SimSettings simSettings(quint32 seed, int players, const QString& map)
{
    sim::SimSettings settings = SimFixture::frozenSettings();
    settings.seed = seed;
    settings.players = players;
    settings.map = map;
    return settings;
}

// A player whose name no simulated server has on its own.
sim::SimPlayer player(int slot, const char* name)
{
    sim::SimPlayer player;
    player.slot = slot;
    player.name = QLatin1String(name);
    player.guid = 4242 + slot;
    player.ip = QStringLiteral("203.0.113.") + QString::number(slot);
    player.ping = 40 + slot;
    return player;
}

} // namespace

class TestEvening : public QObject {
    Q_OBJECT

    AppController* m_app = nullptr;
    std::unique_ptr<BoxAnswerer> m_boxes;
    std::unique_ptr<SimFixture> m_first;
    std::unique_ptr<SimFixture> m_second;
    std::unique_ptr<SimFixture> m_late;
    QTemporaryDir m_daemonFolder;
    QProcess m_daemon;

    MainWindow& main() { return *m_app->mainWindow(); }
    template <typename T = QWidget> T* child(const char* name)
    {
        T* found = main().findChild<T*>(QLatin1String(name));
        [&] { QVERIFY2(found, name); }();
        return found;
    }
    QString label(const char* name) { return child<QLabel>(name)->text(); }
    void click(const char* name) { QTest::mouseClick(child(name), Qt::LeftButton); }
    // The grid as the user sees it, in the order shown.
    QList<PlayerRow> shownRows() { return shownRows(main()); }
    static QList<PlayerRow> shownRows(MainWindow& window)
    {
        const QAbstractItemModel& model = *window.playersPage().grid().model();
        QList<PlayerRow> rows;
        for (int row = 0; row < model.rowCount(); ++row) {
            PlayerRow shown;
            for (int column = 0; column < PlayerRow::ColumnCount; ++column) {
                shown[column] = model.index(row, column).data().toString();
            }
            rows.append(shown);
        }
        return rows;
    }
    // Waits for the session's header chain (status, mapname, sv_hostname) to end with the host
    // name, and for the grid to show the server's players.
    void waitForTheServer(SimFixture& sim, const QString& hostName, const QString& map)
    {
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindow("Main"), kTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(label("Label6"), hostName, kTimeoutMs);
        QCOMPARE(label("Label3"), map);
        QTRY_COMPARE_WITH_TIMEOUT(shownRows(), sim.gridRows(), kTimeoutMs);
        QCOMPARE(label("Label4"), QString::number(sim.gridRows().size()));
    }
    // The commands a user sent, without the program's own status and header queries.
    static QStringList userCommands(const QStringList& answered)
    {
        QStringList commands = answered;
        commands.removeIf([](const QString& command) {
            return command == u"status" || command == u"mapname" || command == u"sv_hostname";
        });
        return commands;
    }
    void logOut()
    {
        click("Image4");
        QVERIFY(visibleWindow("Form4"));
    }
    int garrisond(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcess run;
        run.start(QStringLiteral(GARRISON_DAEMON_PATH),
                  QStringList{QStringLiteral("--config"),
                              m_daemonFolder.filePath(QStringLiteral("garrisond.conf"))} +
                      arguments);
        run.write(input);
        run.closeWriteChannel();
        return run.waitForFinished(kTimeoutMs) ? run.exitCode() : -1;
    }
    // Keeps a picture of the main window when GARRISON_SCREENSHOTS names a folder.
    void shoot(const char* name)
    {
        if (const QString folder = qEnvironmentVariable("GARRISON_SCREENSHOTS");
            !folder.isEmpty()) {
            main().grab().save(folder + u'/' + QLatin1String(name) + QStringLiteral(".png"));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        sim::SimSettings settings = simSettings(1, 10, QStringLiteral("mp_castle"));
        settings.password = QStringLiteral("evening");
        m_first = std::make_unique<SimFixture>(settings);
        QVERIFY(m_first->start());
        m_first->console().reply(QStringLiteral("sv_hostname ^1Garrison ^7Evening"));
        m_first->console().world().addPlayer(player(12, "Nightowl"));
        m_boxes = std::make_unique<BoxAnswerer>();
        m_app = &launch();
        m_app->setQuit([] {});
    }
    void cleanupTestCase()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(kTimeoutMs);
    }

    void firstLoginFillsTheHeaderAndTheGrid()
    {
        connectDirectly(QString::number(m_first->port()), m_first->password());
        waitForTheServer(*m_first, QStringLiteral("Garrison Evening"), QStringLiteral("mp_castle"));
        QCOMPARE(m_first->answered(),
                 QStringList({QStringLiteral("status"), QStringLiteral("mapname"),
                              QStringLiteral("sv_hostname")}));
        QVERIFY(!visibleWindow("Form4"));
        QCOMPARE(m_boxes->count(), 0);
        shoot("1-first-login");
    }

    // Someone joins; the grid shows him without a click, and the refresh goes on asking.
    void automaticRefreshFollowsTheServer()
    {
        child<QCheckBox>("chkAutoRefresh")->click();
        main().playersPage().refreshTimer().setInterval(kRefreshMs);
        const qsizetype asked = m_first->answered().count(QStringLiteral("status"));
        m_first->console().world().addPlayer(player(17, "Latecomer"));
        QTRY_COMPARE_WITH_TIMEOUT(shownRows(), m_first->gridRows(), kTimeoutMs);
        QCOMPARE(label("Label4"), QStringLiteral("12"));
        QTRY_VERIFY_WITH_TIMEOUT(m_first->answered().count(QStringLiteral("status")) >= asked + 2,
                                 kTimeoutMs);
        // The map asked after a refresh reaches the header, however often the refresh comes.
        m_first->console().reply(QStringLiteral("map mp_dome"));
        QTRY_COMPARE_WITH_TIMEOUT(label("Label3"), QStringLiteral("mp_dome"), kTimeoutMs);
        m_first->console().reply(QStringLiteral("map mp_castle"));
        QTRY_COMPARE_WITH_TIMEOUT(label("Label3"), QStringLiteral("mp_castle"), kTimeoutMs);
        shoot("2-after-automatic-refresh");
    }

    void kickFromThePlayerMenuLeavesTheGridAtTheNextRefresh()
    {
        QTableView& grid = main().playersPage().grid();
        const int row = static_cast<int>(shownRows().indexOf(m_first->gridRows().constLast()));
        QCOMPARE(grid.model()->index(row, PlayerRow::Name).data().toString(),
                 QStringLiteral("Latecomer"));
        const QPoint point = grid.visualRect(grid.model()->index(row, PlayerRow::Name)).center();
        QTest::mousePress(grid.viewport(), Qt::RightButton, {}, point);
        QTest::mouseRelease(grid.viewport(), Qt::RightButton, {}, point);
        QMenu& menu = main().playerMenu().menuz();
        QVERIFY(menu.isVisible());
        main().playerMenu().entry(QStringLiteral("kickplay"))->trigger();
        menu.hide();
        QTRY_COMPARE_WITH_TIMEOUT(userCommands(m_first->answered()),
                                  QStringList{QStringLiteral("kick Latecomer")}, kTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(label("Label4"), QStringLiteral("11"), kTimeoutMs);
        QCOMPARE(shownRows(), m_first->gridRows());
    }

    // Each command goes out as it was typed, whatever was typed before.
    void commandsTypedOnTheTerminalReachTheServerAsTyped()
    {
        click("Image10");
        auto* line = child<QLineEdit>("Text7");
        for (const QString& typed : {QStringLiteral("say hello"), QStringLiteral("g_gametype")}) {
            QTest::keyClicks(line, typed);
            QTest::keyClick(line, Qt::Key_Return);
        }
        const QStringList sent = {QStringLiteral("kick Latecomer"), QStringLiteral("say hello"),
                                  QStringLiteral("g_gametype")};
        QTRY_COMPARE_WITH_TIMEOUT(userCommands(m_first->answered()), sent, kTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            main().console().text().contains(QStringLiteral("\"g_gametype\" is: \"tdm^7\"")),
            kTimeoutMs);
        QVERIFY(main().console().text().contains(QStringLiteral("console: hello\r\n")));
        shoot("3-terminal-after-two-commands");
    }

    // The first server in the reader and on the Maps page, then a log out and a log in to a
    // second one whose status table has hexadecimal guids and addresses with high ports: the grid
    // shows its rows, and no window shows anything of the first server.
    void theSecondServerShowsNothingOfTheFirst()
    {
        click("Image9");
        click("Label16");
        QTRY_VERIFY_WITH_TIMEOUT(main().reader().isVisible(), kTimeoutMs);
        click("Image8");
        child<QListWidget>("List1")->setCurrentRow(4);
        QVERIFY(!label("Label13").isEmpty());
        // Whatever a user leaves typed or chosen on the pages, open windows, an indicator, and a
        // ban list that is still arriving when the session ends.
        for (const auto& [box, text] : {std::pair{"Text8", "First"},
                                        {"Text27", "50"},
                                        {"Text11", "12"},
                                        {"Text44", "4"},
                                        {"Text45", "first pass"},
                                        {"txtsay1", "half a line"},
                                        {"Text7", "kick 3"}}) {
            child<QLineEdit>(box)->setText(QLatin1String(text));
        }
        child<QComboBox>("Combo1")->setCurrentIndex(2);
        child<QPlainTextEdit>("Text12")->setPlainText(QStringLiteral("gametype dm map mp_dome"));
        main().chatPage().setTranscript(QStringLiteral("relay line of the first server"));
        main().Send(QStringLiteral("sv_voice"));
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("Label87")->frameShape(), QFrame::Box, kTimeoutMs);
        main().Send(QStringLiteral("pb_sv_banlist"));
        QTRY_VERIFY_WITH_TIMEOUT(!child<ConsoleBox>("Text10")->text().isEmpty(), kTimeoutMs);
        click("Image5");
        main().playerMenu().entry(QStringLiteral("warnplayerz"))->trigger();
        QVERIFY(main().tellWindow().isVisible());
        click("ImageHistory");
        main().playerMenu().menuz().popup(main().mapToGlobal(QPoint(20, 20)));
        main().Send(QStringLiteral("pb_sv_banlist"));
        QTRY_VERIFY_WITH_TIMEOUT(main().session().lists().Timer3().isActive(), kTimeoutMs);
        shoot("4-before-the-second-login");

        sim::SimSettings settings = simSettings(2, 16, QStringLiteral("mp_dome"));
        settings.password = QStringLiteral("second");
        settings.hexGuids = true;
        settings.highPorts = true;
        m_second = std::make_unique<SimFixture>(settings);
        QVERIFY(m_second->start());
        m_second->console().reply(QStringLiteral("sv_hostname Second Front"));
        logOut();
        connectDirectly(QString::number(m_second->port()), m_second->password());
        waitForTheServer(*m_second, QStringLiteral("Second Front"), QStringLiteral("mp_dome"));
        shoot("5-after-the-second-login");

        const QStringList firstOnly = {QStringLiteral("Garrison"), QStringLiteral("Nightowl"),
                                       QStringLiteral("Latecomer"), QStringLiteral("hello")};
        QList<QWidget*> windows = main().findChildren<QWidget*>();
        windows += main().reader().findChildren<QWidget*>();
        for (QWidget* widget : windows) {
            QString shown;
            if (auto* lineEdit = qobject_cast<QLineEdit*>(widget)) {
                shown = lineEdit->text();
            } else if (auto* text = qobject_cast<QLabel*>(widget)) {
                shown = text->text() + text->toolTip();
            } else if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
                shown = box->toPlainText();
            }
            for (const QString& marker : firstOnly) {
                QVERIFY2(!shown.contains(marker),
                         qPrintable(widget->objectName() + QStringLiteral(" shows ") + marker));
            }
        }
        for (const auto& [box, text] : {std::pair{"Text8", ""},
                                        {"Text27", "0"},
                                        {"Text26", "300"},
                                        {"Text11", "0"},
                                        {"Text44", "0"},
                                        {"Text45", "Password"},
                                        {"txtsay1", ""},
                                        {"Text7", ""}}) {
            QVERIFY2(child<QLineEdit>(box)->text() == QLatin1String(text), box);
        }
        QCOMPARE(child<QComboBox>("Combo1")->currentText(), QString());
        QCOMPARE(child<QPlainTextEdit>("Text12")->toPlainText(), QString());
        QVERIFY(child<QListWidget>("List1")->selectedItems().isEmpty());
        QCOMPARE(label("Label13"), QStringLiteral("Select a map"));
        QVERIFY(!child<QLabel>("Image27")->isHidden());
        QVERIFY(child<QLabel>("Image17")->isHidden());
        for (const char* indicator : {"Label86", "Label87"}) {
            QCOMPARE(child<QLabel>(indicator)->frameShape(), QFrame::NoFrame);
        }
        QCOMPARE(child<ConsoleBox>("Text10")->text(), QString());
        QVERIFY(main().session().lists().ListBuffer().isEmpty());
        QVERIFY(!main().session().lists().Timer3().isActive());
        QVERIFY(!main().chatPage().transcript().contains(QStringLiteral("first server")));
        QVERIFY(!main().reader().isVisible());
        QVERIFY(!main().tellWindow().isVisible());
        QVERIFY(!main().playerMenu().menuz().isVisible());
        QVERIFY(!main().playersPage().grid().currentIndex().isValid());
        QCOMPARE(child<PlayerCountChart>("chartCount")->seriesName(),
                 QStringLiteral("127.0.0.1:%1").arg(m_second->port()));
    }

    // A log in to a port where nothing listens yet: once a server starts there, the grid
    // shows its players.
    void aServerThatComesUpLaterIsHeard()
    {
        click("Image5");
        // Deferred by the session that ends: the next server must never receive it.
        main().WaitSend(QStringLiteral("sv_maxping 150"));
        logOut();
        const quint16 port = [] {
            QUdpSocket probe;
            probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
            return probe.localPort();
        }();
        connectDirectly(QString::number(port), QStringLiteral("secret"));
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindow("Main"), kTimeoutMs);
        // The automatic refresh keeps asking; the refusals of the closed port come back.
        QStringList asked;
        const QMetaObject::Connection counting =
            connect(&main().session().rcon(), &RconClient::commandSent, this,
                    [&asked](const QString& command) { asked.append(command); });
        QTRY_VERIFY_WITH_TIMEOUT(asked.size() >= 3, kTimeoutMs);
        disconnect(counting);
        QVERIFY2(!asked.contains(QStringLiteral("sv_maxping 150")), qPrintable(asked.join(u'|')));
        m_late = std::make_unique<SimFixture>(simSettings(3, 5, QStringLiteral("mp_makin")));
        m_late->console().reply(QStringLiteral("sv_hostname Late Night"));
        QVERIFY(m_late->start(port));
        waitForTheServer(*m_late, QStringLiteral("Late Night"), QStringLiteral("mp_makin"));
    }

    // Through garrisond, serving the first server: a wrong password is told at Login, a granted
    // session runs the server, and removing the account ends the session at the login window.
    void daemonSessionUntilTheAccountIsRemoved()
    {
        QVERIFY(test::writeFile(m_daemonFolder.filePath(QStringLiteral("garrisond.conf")),
                                "rcon_password = " + m_first->password().toUtf8() +
                                    "\npbkdf2_iterations = 1000\n"));
        QCOMPARE(garrisond({QStringLiteral("--add-user"), QStringLiteral("alice"),
                            QStringLiteral("--levels"), QStringLiteral("mp,admin")},
                           "alicepw\n"),
                 0);
        const QString daemonPort = [] {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            return QString::number(probe.serverPort());
        }();
        m_daemon.start(QStringLiteral(GARRISON_DAEMON_PATH),
                       {QStringLiteral("--config"),
                        m_daemonFolder.filePath(QStringLiteral("garrisond.conf")),
                        QStringLiteral("--port"), daemonPort});
        QByteArray said;
        QTRY_VERIFY2_WITH_TIMEOUT(
            (said += m_daemon.readAllStandardError()).contains("listening on"), said.constData(),
            kTimeoutMs);

        logOut();
        QWidget& form = *visibleWindow("Form4");
        const auto field = [&form](const char* name) {
            return form.findChild<QWidget*>(QLatin1String(name));
        };
        qobject_cast<QAbstractButton*>(field("Option1"))->click();
        for (const auto& [name, text] : {std::pair{"Text3", QStringLiteral("127.0.0.1")},
                                         {"Text9", daemonPort},
                                         {"Text1", QStringLiteral("alice")},
                                         {"Text2", QStringLiteral("wrong")},
                                         {"Text4", QStringLiteral("127.0.0.1")},
                                         {"Text5", QString::number(m_first->port())}}) {
            qobject_cast<QLineEdit*>(field(name))->setText(text);
        }
        qobject_cast<QComboBox*>(field("Combo1"))->setCurrentText(QStringLiteral("admin"));
        // The first Login shows the daemon's certificate; the administrator trusts it because it
        // is what garrisond prints on the server.
        QProcess show;
        show.start(QStringLiteral(GARRISON_DAEMON_PATH),
                   {QStringLiteral("--config"),
                    m_daemonFolder.filePath(QStringLiteral("garrisond.conf")),
                    QStringLiteral("--show-fingerprint")});
        QVERIFY(show.waitForFinished(kTimeoutMs));
        const QString printed = QString::fromLatin1(show.readAllStandardOutput()).trimmed();
        QVERIFY2(printed.startsWith(QStringLiteral("SHA-256 ")), qPrintable(printed));
        m_boxes->setYes([printed](const QString& text) { return text.contains(printed); });
        const int boxes = m_boxes->count();
        QTest::mouseClick(field("Command3"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes->count(), boxes + 2, kTimeoutMs);
        QCOMPARE(m_boxes->last().text,
                 QStringLiteral("Access Denied to alice : Check is password, username and level "
                                "are correct!"));
        QVERIFY(!field("Command1")->isEnabled());

        // The password arrives while the grant is shown, as the user reads it.
        m_boxes->setHold([this](const QString& text) {
            return text.startsWith(QStringLiteral("Access Granted to ")) &&
                   main().txtRcon() != m_first->password();
        });
        qobject_cast<QLineEdit*>(field("Text2"))->setText(QStringLiteral("alicepw"));
        const qsizetype answered = m_first->answered().size();
        QTest::mouseClick(field("Command3"), Qt::LeftButton);
        waitForTheServer(*m_first, QStringLiteral("Garrison Evening"), QStringLiteral("mp_castle"));
        QCOMPARE(m_boxes->last().text, QStringLiteral("Access Granted to alice as admin"));
        QVERIFY(!form.isVisible());
        click("Image7");
        click("Label86");
        click("Label85");
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("Label86")->frameShape(), QFrame::Box, kTimeoutMs);
        QCOMPARE(userCommands(m_first->answered().mid(answered)),
                 QStringList({QStringLiteral("sv_voice 1"), QStringLiteral("sv_voice")}));
        click("Image10");
        QVERIFY(!child("Text7")->isEnabled());

        QCOMPARE(garrisond({QStringLiteral("--remove-user"), QStringLiteral("alice")}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!main().isVisible(), kTimeoutMs);
        // The session ends as the link goes; the daemon's reason follows in a box of its own.
        QTRY_COMPARE_WITH_TIMEOUT(
            m_boxes->last().text,
            QStringLiteral("The daemon account \"alice\" was removed; log in with another "
                           "account"),
            kTimeoutMs);
        QCOMPARE(m_boxes->last().caption, QStringLiteral("GARRISON Daemon"));
        QVERIFY(form.isVisible());
        QVERIFY(!field("Command1")->isEnabled());

        // A direct session after it may type on the Terminal page again, with nothing of the
        // refusal left in the line for Enter to send.
        qobject_cast<QAbstractButton*>(field("Option2"))->click();
        connectDirectly(QString::number(m_first->port()), m_first->password());
        QTRY_VERIFY_WITH_TIMEOUT(main().isVisible(), kTimeoutMs);
        QVERIFY(child("Text7")->isEnabled());
        QCOMPARE(child<QLineEdit>("Text7")->text(), QString());
    }

    // A second server in a window of its own beside the first: each grid and header is its
    // own, and logging out of one leaves the other refreshing.
    void twoServersAtOnce()
    {
        MainWindow& first = main();
        click("Image5");
        QTest::mouseClick(child("ImageNewLogin"), Qt::LeftButton);
        connectDirectly(QString::number(m_late->port()), m_late->password());
        waitForTheServer(*m_late, QStringLiteral("Late Night"), QStringLiteral("mp_makin"));
        MainWindow& second = main();
        QCOMPARE(m_app->mainWindows(), QList<MainWindow*>({&first, &second}));
        QTest::mouseClick(child("Image5"), Qt::LeftButton);
        second.playersPage().refreshTimer().setInterval(kRefreshMs);
        QVERIFY(second.playersPage().refreshTimer().isActive());
        const auto header = [](MainWindow& window) {
            QStringList texts;
            for (const char* name : {"Label6", "Label3", "Label4", "lblServerPort"}) {
                texts.append(window.findChild<QLabel*>(QLatin1String(name))->text());
            }
            return texts;
        };
        QTRY_COMPARE_WITH_TIMEOUT(shownRows(first), m_first->gridRows(), kTimeoutMs);
        QCOMPARE(header(first), QStringList({"Garrison Evening", "mp_castle", "11",
                                             QString::number(m_first->port())}));
        QCOMPARE(header(second),
                 QStringList({"Late Night", "mp_makin", "5", QString::number(m_late->port())}));
        if (const QString folder = qEnvironmentVariable("GARRISON_SCREENSHOTS");
            !folder.isEmpty()) {
            first.grab().save(folder + QStringLiteral("/6-two-servers-first.png"));
            second.grab().save(folder + QStringLiteral("/6-two-servers-second.png"));
        }

        QTest::mouseClick(first.findChild<QWidget*>(QStringLiteral("Image4")), Qt::LeftButton);
        const qsizetype firstAnswered = m_first->answered().size();
        const qsizetype secondAsked = m_late->answered().count(QStringLiteral("status"));
        m_late->console().world().addPlayer(player(20, "Newcomer"));
        QTRY_COMPARE_WITH_TIMEOUT(shownRows(second), m_late->gridRows(), kTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_late->answered().count(QStringLiteral("status")) >= secondAsked + 2, kTimeoutMs);
        QCOMPARE(header(second).at(2), QStringLiteral("6"));
        QCOMPARE(m_first->answered().size(), firstAnswered);
        QCOMPARE(header(first).at(0), QStringLiteral("nohostname"));
        QVERIFY(second.isVisible());
    }
};

GARRISON_TEST_MAIN(TestEvening)
#include "TestEvening.moc"
