#include "FakeDialogs.h"
#include "RecordingSender.h"
#include "TestMain.h"
#include "TextRows.h"
#include "platform/TextViewer.h"
#include "players/PlayerCommands.h"
#include "players/PlayerMenu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>

using namespace garrison;
using garrison::test::addTextRows;
using garrison::test::FakeDialogs;
using garrison::test::RecordingSender;

namespace {

const QDateTime kNow(QDate(2026, 12, 4), QTime(13, 5, 9));

class RecordingViewer final : public TextViewer {
public:
    void showText(const QString& text) override { shown.append(text); }
    QStringList shown;
};

// A player's grid row as the status parser cuts it: padded cells, the slot right-aligned.
QList<QStandardItem*> gridRow(const QString& slot, const QString& name)
{
    QList<QStandardItem*> row;
    for (const QString& cell : {name.leftJustified(15), QStringLiteral("   10"),
                                QStringLiteral("  48"), QStringLiteral("1234567890"),
                                slot.rightJustified(3), QStringLiteral("192.0.2.10:28960")}) {
        row.append(new QStandardItem(cell));
    }
    return row;
}

} // namespace

class TestPlayerMenu : public QObject {
    Q_OBJECT

    // Declared in the order they are needed; the menu goes first.
    struct Fixture {
        QTableView grid;
        QStandardItemModel model{0, 6};
        RecordingSender sender;
        FakeDialogs dialogs;
        RecordingViewer viewer;
        PlayerMenu menu{grid, sender, dialogs, viewer};
    };
    std::unique_ptr<Fixture> m_f;

    // A residue row first, as the grid keeps one, then the player.
    void selectPlayer(const QString& slot, const QString& name)
    {
        m_f->model.insertRow(0);
        m_f->model.appendRow(gridRow(slot, name));
        m_f->grid.setCurrentIndex(m_f->model.index(1, 0));
    }
    void choose(const QString& entry)
    {
        QAction* action = m_f->menu.entry(entry);
        QVERIFY2(action, qPrintable(entry));
        action->trigger();
    }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<Fixture>();
        m_f->grid.setModel(&m_f->model);
        m_f->grid.setSelectionBehavior(QAbstractItemView::SelectRows);
        m_f->menu.setClock([] { return kNow; });
    }
    void cleanup() { m_f.reset(); }

    // The keyboard opens the menu at the current row; other keys are the grid's.
    void keyboardOpensTheMenu_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("opens");
        QTest::newRow("Menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier) << true;
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << true;
        QTest::newRow("F10 alone") << int(Qt::Key_F10) << int(Qt::NoModifier) << false;
        QTest::newRow("Down") << int(Qt::Key_Down) << int(Qt::NoModifier) << false;
    }
    void keyboardOpensTheMenu()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, opens);
        selectPlayer(QStringLiteral("3"), QStringLiteral("Player"));
        m_f->grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_f->grid));
        QTest::keyClick(&m_f->grid, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QMenu& menu = m_f->menu.menuz();
        QCOMPARE(menu.isVisible(), opens);
        if (opens) {
            const QRect row = m_f->grid.visualRect(m_f->grid.currentIndex());
            QCOMPARE(menu.pos(), m_f->grid.viewport()->mapToGlobal(row.bottomLeft()));
            menu.close();
        }
    }

    void plainEntriesSendTheirCommand_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("command");
        // The slot as shown, trimmed (%1), and as PunkBuster counts it (%2); %3 the name.
        for (const auto& [slot, trimmed, punkBuster] :
             {std::tuple{"11", "11", "12"}, {" 3 ", "3", "4"}, {"x", "x", "1"}}) {
            for (const auto& [entry, command] :
                 {std::pair{"clientkick", "clientkick %1"},
                  {"clientbanz", "banclient %1"},
                  {"TemporarilyClientBanz", "tempbanClient %1"},
                  {"screenshotp", "pb_sv_getss %2"},
                  {"screenshotdwuencez", "PB_SV_Task 10 180 PB_SV_GETSS %2"},
                  {"kickplay", "kick %3"}}) {
                QTest::addRow("%s slot '%s'", entry, slot)
                    << slot << "Player" << entry
                    << QString::fromLatin1(command)
                           .replace("%1", trimmed)
                           .replace("%2", punkBuster)
                           .replace("%3", QStringLiteral("Player").leftJustified(15));
            }
        }
        for (const char* name : {"Nickname^7", "\"a\";quit", "               ", " ^1x^7 "}) {
            for (const auto& [entry, command] : {std::pair{"kickplay", "kick "},
                                                 {"banplayerz", "banuser "},
                                                 {"tempbanplayerz", "tempbanUser "},
                                                 {"unbanplayerz", "unbanuser "}}) {
                QTest::addRow("%s name '%s'", entry, name)
                    << "5" << name << entry
                    << command + QString::fromLatin1(name).leftJustified(15);
            }
        }
    }
    void plainEntriesSendTheirCommand()
    {
        QFETCH(QString, slot);
        QFETCH(QString, name);
        QFETCH(QString, entry);
        QFETCH(QString, command);
        selectPlayer(slot, name);
        QSignalSpy acted(&m_f->menu, &PlayerMenu::playerActed);
        choose(entry);
        QCOMPARE(m_f->sender.sent, QStringList{command});
        // The history hears of every command that acts on a player, with his row.
        QCOMPARE(acted.count(), 1);
        QCOMPARE(acted.first().at(1).toString(), command);
        QCOMPARE(acted.first().at(0).toStringList().value(PlayerCommands::Slot),
                 m_f->model.index(1, 4).data().toString());
        QVERIFY(m_f->dialogs.calls.isEmpty());
        QVERIFY(m_f->viewer.shown.isEmpty());
    }

    // Answers: "" takes both presets, "<cancel>" cancels that box, otherwise "public|private".
    void reasonEntriesAskTwiceThenSend_data()
    {
        addTextRows({"entry", "answers", "command", "reason"},
                    {{"kick, defaults", "pbkickwithreason", "", "pb_sv_kick 4 0 Teamkill Teamkill",
                      "Teamkill / Teamkill"},
                     {"kick, both cancelled", "pbkickwithreason", "<cancel>|<cancel>",
                      "pb_sv_kick 4 0  ", " / "},
                     {"kick, typed", "pbkickwithreason", "camping|spawn kill",
                      "pb_sv_kick 4 0 camping spawn kill", "camping / spawn kill"},
                     {"ban, defaults", "pbbancli", "", "pb_sv_ban 4 0 Teamkill Teamkill",
                      "Teamkill / Teamkill"},
                     {"ban, public cancelled", "pbbancli", "<cancel>|cheat", "pb_sv_ban 4 0  cheat",
                      " / cheat"},
                     {"ban, quotes and semicolons", "pbbancli", "\"x\";quit|^1y",
                      "pb_sv_ban 4 0 \"x\";quit ^1y", "\"x\";quit / ^1y"}});
    }
    void reasonEntriesAskTwiceThenSend()
    {
        QFETCH(QString, entry);
        QFETCH(QString, answers);
        QFETCH(QString, command);
        QFETCH(QString, reason);
        selectPlayer(" 3 ", "Player");
        for (const QString& answer : answers.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
            m_f->dialogs.texts.enqueue(answer == QLatin1String("<cancel>")
                                           ? std::nullopt
                                           : std::optional<QString>(answer));
        }
        // A grid refill while a box is open does not change the player being acted on.
        m_f->dialogs.whileOpen = [this](const FakeDialogs::Call&) {
            m_f->model.removeRows(0, m_f->model.rowCount());
        };
        QSignalSpy acted(&m_f->menu, &PlayerMenu::playerActed);
        choose(entry);
        QCOMPARE(m_f->sender.sent, QStringList{command});
        // The history keeps both reasons of the punishment.
        QCOMPARE(acted.count(), 1);
        QCOMPARE(acted.first().at(2).toString(), reason);
        QCOMPARE(m_f->dialogs.calls.size(), 2);
        const bool ban = entry == QLatin1String("pbbancli");
        const QString what = ban ? "ban" : "kick";
        QCOMPARE(m_f->dialogs.calls[0].caption,
                 ban ? "Ban - Public Reason" : "Kick - Public Reason");
        QCOMPARE(m_f->dialogs.calls[0].text, "Type here the public reason of this " + what);
        QCOMPARE(m_f->dialogs.calls[1].caption,
                 ban ? "Ba - Private Reason" : "Kick - Private Reason");
        QCOMPARE(m_f->dialogs.calls[1].text, "Type here the private reason of this " + what);
        for (const auto& call : m_f->dialogs.calls) {
            QCOMPARE(call.kind, FakeDialogs::Call::Input);
            QCOMPARE(call.preset, QStringLiteral("Teamkill"));
        }
    }

    // Entries that send nothing: copies, the report, and the warning with the slot as shown
    // (blanks on both sides kept).
    void copiesGoToTheClipboardAndTheReportToTheReader_data()
    {
        addTextRows({"entry", "text"},
                    {{"warn", "warnplayerz", " 7 "},
                     {"name", "copynamez", "Nickname^7     "},
                     {"hash", "copyhash", "1234567890"},
                     {"ip keeps its port", "copyipz", "192.0.2.10:28960"},
                     {"report", "createplayerreportz",
                      "Player Report : Created on 12-04-2026 at 13:05:09\r\nSlot: 7 \r\n"
                      "Player Name: Nickname^7     \r\nHash: 1234567890\r\nCurrent Score: 10\r\n"
                      "IP Address : 192.0.2.10:28960"}});
    }
    void copiesGoToTheClipboardAndTheReportToTheReader()
    {
        QFETCH(QString, entry);
        QFETCH(QString, text);
        QGuiApplication::clipboard()->clear();
        QSignalSpy said(&m_f->menu, &PlayerMenu::statusMessage);
        QSignalSpy warned(&m_f->menu, &PlayerMenu::warnRequested);
        selectPlayer(" 7 ", "Nickname^7");
        choose(entry);
        choose(entry);
        if (entry == "warnplayerz") {
            QCOMPARE(warned.size(), 2);
            QCOMPARE(warned[0][0].toString(), text);
        } else if (entry == "createplayerreportz") {
            QCOMPARE(m_f->viewer.shown, (QStringList{text, text}));
            QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
        } else {
            QCOMPARE(QGuiApplication::clipboard()->text(), text);
            QVERIFY(m_f->viewer.shown.isEmpty());
            QCOMPARE(said.size(), 2);
            QVERIFY(said[0][0].toString().endsWith(": " + text));
        }
        QVERIFY(m_f->sender.sent.isEmpty());
    }

    void withoutAPlayerEntriesSendEmptyArguments_data()
    {
        QTest::addColumn<QString>("current"); // "none", "residue" or "no model"
        QTest::newRow("no current row") << "none";
        QTest::newRow("residue row") << "residue";
        QTest::newRow("no model") << "no model";
    }
    void withoutAPlayerEntriesSendEmptyArguments()
    {
        QFETCH(QString, current);
        selectPlayer("7", "Nickname^7");
        m_f->grid.setCurrentIndex(current == "residue" ? m_f->model.index(0, 0) : QModelIndex());
        if (current == "no model") {
            m_f->grid.setModel(nullptr);
        }
        QSignalSpy warned(&m_f->menu, &PlayerMenu::warnRequested);
        for (const char* entry :
             {"kickplay", "clientkick", "screenshotp", "pbkickwithreason", "unbanplayerz",
              "TemporarilyClientBanz", "copyhash", "warnplayerz"}) {
            choose(QLatin1String(entry));
        }
        QCOMPARE(m_f->sender.sent,
                 (QStringList{"kick ", "clientkick ", "pb_sv_getss 1",
                              "pb_sv_kick 1 0 Teamkill Teamkill", "unbanuser ", "tempbanClient "}));
        QVERIFY(m_f->viewer.shown.isEmpty());
        QCOMPARE(warned.size(), 1);
        QCOMPARE(warned[0][0].toString(), QString());
        // Only the check entries are switched off; they have nothing connected.
        const QSet<QString> off{"checkplayerz", "checkonpunksbusted", "checkonpbbansz"};
        for (const QAction* action : m_f->menu.menuz().findChildren<QAction*>()) {
            if (!action->objectName().isEmpty()) {
                QVERIFY2(action->isEnabled() != off.contains(action->objectName()),
                         qPrintable(action->objectName()));
            }
        }
    }

    void onlyTheRightButtonAloneOpensTheMenu_data()
    {
        QTest::addColumn<QList<Qt::MouseButton>>("buttons");
        QTest::addColumn<bool>("opens");
        using Presses = QList<Qt::MouseButton>;
        QTest::newRow("right") << Presses{Qt::RightButton} << true;
        QTest::newRow("left") << Presses{Qt::LeftButton} << false;
        QTest::newRow("middle") << Presses{Qt::MiddleButton} << false;
        QTest::newRow("right while left is held")
            << Presses{Qt::LeftButton, Qt::RightButton} << false;
    }
    void onlyTheRightButtonAloneOpensTheMenu()
    {
        QFETCH(QList<Qt::MouseButton>, buttons);
        QFETCH(bool, opens);
        selectPlayer("7", "Nickname^7");
        m_f->grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_f->grid));
        QWidget* viewport = m_f->grid.viewport();
        const QPoint onResidueRow = m_f->grid.visualRect(m_f->model.index(0, 1)).center();

        for (Qt::MouseButton button : buttons) {
            QTest::mousePress(viewport, button, {}, onResidueRow);
        }
        const bool opened = m_f->menu.menuz().isVisible();
        m_f->menu.menuz().hide();
        for (Qt::MouseButton button : buttons) {
            QTest::mouseRelease(viewport, button, {}, onResidueRow);
        }

        QCOMPARE(opened, opens);
        QVERIFY(m_f->sender.sent.isEmpty());
    }
};

GARRISON_TEST_MAIN(TestPlayerMenu)
#include "TestPlayerMenu.moc"
