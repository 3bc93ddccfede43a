#include "BoxAnswerer.h"
#include "SimFixture.h"
#include "TestMain.h"
#include "TextRows.h"
#include "app/MainWindow.h"
#include "bans/BanChoices.h"
#include "bans/BanListWindow.h"
#include "history/History.h"
#include "history/HistoryBans.h"
#include "history/HistoryPage.h"
#include "platform/WidgetDialogs.h"
#include "players/PlayerMenu.h"
#include "players/PlayersPage.h"
#include "players/ToolsMenu.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <functional>

using namespace garrison;
using garrison::test::BoxAnswerer;
using garrison::test::SimFixture;

namespace {
constexpr int kTimeoutMs = 8000;
} // namespace

// The ban list window and the player menu's "Ban with reason…", in a main window with real
// boxes, logged in to the simulated server directly: bans go to the player history.
class TestBanList : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> m_sim;
    WidgetDialogs m_dialogs;
    std::unique_ptr<BoxAnswerer> m_boxes;
    std::unique_ptr<MainWindow> m_main;
    // Fills the next ban dialog (or list of reasons) that opens; runs while it is modal.
    std::function<void(QDialog&)> m_fill;
    QTimer m_dialogWatch;
    int m_joined = 0;

    QList<BanRecord> stored() const
    {
        HistoryBans* bans = m_main->history().bans();
        return bans && bans->list() ? *bans->list() : QList<BanRecord>();
    }
    QWidget& banList() { return m_main->banList(); }
    template <typename T> T* control(const char* name)
    {
        T* found = banList().findChild<T*>(QLatin1String(name));
        Q_ASSERT(found);
        return found;
    }
    QTableView& table() { return *control<QTableView>("tblBans"); }
    QStringList column(int column)
    {
        QStringList texts;
        for (int row = 0; row < table().model()->rowCount(); ++row) {
            texts.append(table().model()->index(row, column).data().toString());
        }
        return texts;
    }
    void choose(int column, const QString& text)
    {
        const int row = static_cast<int>(this->column(column).indexOf(text));
        QVERIFY2(row >= 0, qPrintable(text));
        table().setCurrentIndex(table().model()->index(row, column));
    }
    void press(const char* button)
    {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }
    static void setField(QDialog& dialog, const char* name, const QString& text)
    {
        if (auto* line = dialog.findChild<QLineEdit*>(QLatin1String(name))) {
            line->setText(text);
        } else if (auto* box = dialog.findChild<QComboBox*>(QLatin1String(name))) {
            const int index = box->findText(text);
            if (index >= 0) {
                box->setCurrentIndex(index);
            } else {
                box->setCurrentText(text);
            }
        }
    }
    static void pressOk(QDialog& dialog)
    {
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }
    static QStringList items(QDialog& dialog)
    {
        QStringList texts;
        if (auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstReasons"))) {
            for (int row = 0; row < list->count(); ++row) {
                texts.append(list->item(row)->text());
            }
        } else if (auto* box = dialog.findChild<QComboBox*>(QStringLiteral("cboReason"))) {
            for (int index = 0; index < box->count(); ++index) {
                texts.append(box->itemText(index));
            }
        }
        return texts;
    }
    // A new player on the server, shown in the grid and made its current row; his slot.
    QString joinAndChoose(const QString& name, const QString& guid)
    {
        const QString said = m_sim->console().reply(
            QStringLiteral("sim_join %1 %2 198.51.100.%3").arg(name, guid).arg(++m_joined));
        m_main->Send(QStringLiteral("status"));
        QTableView& grid = m_main->playersPage().grid();
        const auto rowOf = [&grid, &name] {
            for (int row = 0; row < grid.model()->rowCount(); ++row) {
                if (grid.model()->index(row, PlayerRow::Name).data().toString() == name) {
                    return row;
                }
            }
            return -1;
        };
        [&] { QTRY_VERIFY_WITH_TIMEOUT(rowOf() >= 0, kTimeoutMs); }();
        grid.setCurrentIndex(grid.model()->index(rowOf(), PlayerRow::Name));
        return said.mid(said.lastIndexOf(QLatin1String("slot ")) + 5).trimmed();
    }
    // Keeps a picture of the window when GARRISON_SCREENSHOTS names a folder.
    static void shoot(QWidget& window, const char* name)
    {
        if (const QString folder = qEnvironmentVariable("GARRISON_SCREENSHOTS");
            !folder.isEmpty()) {
            window.grab().save(folder + u'/' + QLatin1String(name) + QStringLiteral(".png"));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_sim = std::make_unique<SimFixture>();
        QVERIFY(m_sim->start());
        m_boxes = std::make_unique<BoxAnswerer>();
        m_dialogWatch.setInterval(10);
        connect(&m_dialogWatch, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog && m_fill &&
                (dialog->objectName() == QLatin1String("BanDialog") ||
                 dialog->objectName() == QLatin1String("BanReasons"))) {
                std::exchange(m_fill, nullptr)(*dialog);
            }
        });
        m_dialogWatch.start();
        m_main = std::make_unique<MainWindow>(m_dialogs);
        m_main->show();
        m_main->takeLoginValues(QStringLiteral("127.0.0.1"), QString::number(m_sim->port()),
                                m_sim->password());
        m_main->IdentDaemon(QStringLiteral("0"));
        QVERIFY(m_main->Connect());
        QTRY_COMPARE_WITH_TIMEOUT(m_main->playersPage().grid().model()->rowCount(), 8, kTimeoutMs);
    }
    void cleanupTestCase()
    {
        m_main.reset();
        m_sim.reset();
    }

    // The reason as typed (or a template), what the ban keeps of it.
    void banWithReasonKicksAndRecords_data()
    {
        garrison::test::addTextRows(
            {"reason", "kept"}, {{"template", "Aimbot", "Aimbot"},
                                 {"colour codes", "^1Wall^7hack", "^1Wall^7hack"},
                                 {"quotes and semicolons", "said \"x\"; quit", "said \"x\"; quit"},
                                 {"control bytes", "tele\x01port\r\nhack", "tele port  hack"},
                                 {"10,000 characters", "{10000}", "{2000}"}});
    }
    void banWithReasonKicksAndRecords()
    {
        QFETCH(QString, reason);
        QFETCH(QString, kept);
        reason.replace(QLatin1String("{10000}"), QString(10000, QLatin1Char('r')));
        kept.replace(QLatin1String("{2000}"), QString(BanChoices::kMaxText, QLatin1Char('r')));
        const QString name = QStringLiteral("Target%1").arg(m_joined + 1);
        const QString guid = QString::number(700000 + m_joined);
        const QString slot = joinAndChoose(name, guid);
        const qsizetype before = stored().size();
        m_fill = [reason](QDialog& dialog) {
            setField(dialog, "cboReason", reason);
            setField(dialog, "cboDuration", QStringLiteral("7 days"));
            setField(dialog, "cboScope", QStringLiteral("All servers"));
            shoot(dialog, "ban-with-reason");
            pressOk(dialog);
        };
        m_boxes->setYes([name](const QString& text) { return text.contains(name); });
        const int boxes = m_boxes->count();
        m_main->playerMenu().entry(QStringLiteral("banwithreasonz"))->trigger();
        QCOMPARE(m_boxes->count(), boxes + 1);
        QVERIFY(m_boxes->last().text.contains(name));
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->answered().contains(QStringLiteral("clientkick ") + slot),
                                 kTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(stored().size(), before + 1, kTimeoutMs);
        const BanRecord ban = stored().first();
        QCOMPARE(ban.guid, guid);
        QCOMPARE(ban.names, QStringList{name});
        QCOMPARE(ban.reason, kept);
        QCOMPARE(ban.issuedBy, QStringLiteral("rcon"));
        QVERIFY(ban.servers.isEmpty());
        QVERIFY(ban.until &&
                qAbs(QDateTime::currentDateTimeUtc().secsTo(*ban.until) - 7 * 24 * 3600) < 60);
    }

    // Saying No to the confirmation sends nothing and records nothing.
    void declinedBanDoesNothing()
    {
        const QString slot = joinAndChoose(QStringLiteral("Innocent"), QStringLiteral("800001"));
        const qsizetype before = stored().size();
        const qsizetype answered = m_sim->answered().size();
        m_fill = [](QDialog& dialog) { pressOk(dialog); };
        m_boxes->setYes([](const QString&) { return false; });
        m_main->playerMenu().entry(QStringLiteral("banwithreasonz"))->trigger();
        m_main->Send(QStringLiteral("status"));
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->answered().constLast() == QLatin1String("status"),
                                 kTimeoutMs);
        QVERIFY(!m_sim->answered().mid(answered).contains(QStringLiteral("clientkick ") + slot));
        QCOMPARE(stored().size(), before);
    }

    void banListSearchesFiltersAndEdits()
    {
        m_main->toolsMenu().banListEntry().trigger();
        QTRY_VERIFY_WITH_TIMEOUT(banList().isVisible(), kTimeoutMs);
        QCOMPARE(banList().objectName(), QStringLiteral("BanList"));
        QTRY_COMPARE_WITH_TIMEOUT(table().model()->rowCount(), static_cast<int>(stored().size()),
                                  kTimeoutMs);
        QCOMPARE(table().model()->columnCount(), 9);

        // An absent player by a guid in capitals; a bad guid keeps the dialog open.
        QString problem;
        m_fill = [this, &problem](QDialog& dialog) {
            setField(dialog, "txtGuid", QStringLiteral("not-a-guid"));
            pressOk(dialog);
            problem = dialog.findChild<QLabel*>(QStringLiteral("lblProblem"))->text();
            setField(dialog, "txtName", QStringLiteral("^2Ghost"));
            setField(dialog, "txtGuid", QStringLiteral("0123456789ABCDEF0123456789ABCDEF"));
            setField(dialog, "txtAddress", QStringLiteral("203.0.113.0/24"));
            setField(dialog, "cboReason", QStringLiteral("=cmd|' /C calc'!A0"));
            pressOk(dialog);
        };
        press("btnBanAdd");
        QVERIFY(problem.contains(QLatin1String("not a guid")));
        QTRY_VERIFY_WITH_TIMEOUT(column(BanTableModel::Name).contains(QStringLiteral("Ghost")),
                                 kTimeoutMs);
        QCOMPARE(stored().first().guid, QStringLiteral("0123456789abcdef0123456789abcdef"));

        auto* search = control<QLineEdit>("txtBanSearch");
        for (const char* text : {"ghost", "^2GHO", "203.0.113", "0123456789abcdef"}) {
            search->setText(QLatin1String(text));
            QCOMPARE(column(BanTableModel::Name), QStringList{QStringLiteral("Ghost")});
        }
        search->setText(QStringLiteral("nobody at all"));
        QCOMPARE(table().model()->rowCount(), 0);
        search->clear();

        // Sorting by name puts Ghost before the targets.
        table().sortByColumn(BanTableModel::Name, Qt::AscendingOrder);
        QCOMPARE(column(BanTableModel::Name).constFirst(), QStringLiteral("Ghost"));

        m_fill = [](QDialog& dialog) {
            setField(dialog, "cboReason", QStringLiteral("Reconsidered"));
            setField(dialog, "cboDuration", QStringLiteral("1 hour"));
            pressOk(dialog);
        };
        choose(BanTableModel::Name, QStringLiteral("Target1"));
        press("btnBanEdit");
        QTRY_COMPARE_WITH_TIMEOUT(stored().constLast().reason, QStringLiteral("Reconsidered"),
                                  kTimeoutMs);
        QVERIFY(stored().constLast().until &&
                QDateTime::currentDateTimeUtc().secsTo(*stored().constLast().until) <= 3600);
        shoot(banList(), "banlist");

        // Lifted: gone from the active bans, found among the lifted ones.
        m_boxes->setYes([](const QString& text) { return text.startsWith(QLatin1String("Lift")); });
        choose(BanTableModel::Name, QStringLiteral("Target1"));
        press("btnBanLift");
        QTRY_VERIFY_WITH_TIMEOUT(!column(BanTableModel::Name).contains(QStringLiteral("Target1")),
                                 kTimeoutMs);
        QCOMPARE(stored().constLast().state(QDateTime::currentDateTimeUtc()),
                 BanRecord::State::Lifted);
        auto* state = control<QComboBox>("cboBanState");
        state->setCurrentIndex(state->findText(QStringLiteral("Lifted")));
        QCOMPARE(column(BanTableModel::Name), QStringList{QStringLiteral("Target1")});
        state->setCurrentIndex(state->findText(QStringLiteral("Active")));
    }

    // This computer's reasons, edited from the ban list: a new one comes after the chosen one
    // and a repeated one is not added; OK keeps the list, which the next ban dialog offers;
    // Cancel keeps nothing.
    void reasonsAreEditedAndOffered()
    {
        BanChoices::setReasons({"Aimbot", "Wallhack", "Camping"});
        m_main->openBanList();
        QStringList shown;
        m_boxes->setInput([](const QString& prompt) {
            return prompt == QLatin1String("The reason:") ? QStringLiteral("Aimbot, confirmed")
                                                          : QStringLiteral("Spawn camping");
        });
        m_fill = [&shown](QDialog& dialog) {
            auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstReasons"));
            const auto click = [&dialog](const char* name) {
                auto* button = dialog.findChild<QPushButton*>(QLatin1String(name));
                QVERIFY2(button->isEnabled(), name);
                button->click();
            };
            QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("btnReasonUp"))->isEnabled());
            list->setCurrentRow(0);
            click("btnReasonAdd");
            list->setCurrentRow(2);
            click("btnReasonUp");
            list->setCurrentRow(3);
            QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("btnReasonDown"))->isEnabled());
            click("btnReasonRemove");
            list->setCurrentRow(0);
            click("btnReasonEdit");
            click("btnReasonAdd");
            shown = items(dialog);
            shoot(dialog, "ban-reasons");
            pressOk(dialog);
        };
        press("btnBanReasons");
        QCOMPARE(shown, QStringList({"Aimbot, confirmed", "Wallhack", "Spawn camping"}));
        QCOMPARE(BanChoices::reasons(), shown);

        m_fill = [](QDialog& dialog) {
            dialog.findChild<QListWidget*>(QStringLiteral("lstReasons"))->setCurrentRow(0);
            dialog.findChild<QPushButton*>(QStringLiteral("btnReasonRemove"))->click();
            dialog.reject();
        };
        press("btnBanReasons");
        QCOMPARE(BanChoices::reasons(), shown);

        QStringList offered;
        m_fill = [&offered](QDialog& dialog) {
            offered = items(dialog);
            dialog.reject();
        };
        press("btnBanAdd");
        QCOMPARE(offered, shown);
        m_boxes->setInput(nullptr);
    }

    // "Ban…" on the History page bans a player who has left, by his record: his guid, last
    // name and last address, with the reason and duration chosen.
    void historyPageBansAnAbsentPlayer()
    {
        const QString slot = joinAndChoose(QStringLiteral("Departed"), QStringLiteral("612345"));
        m_sim->console().reply(QStringLiteral("sim_leave ") + slot);
        m_main->showPage(MainWindow::Page::History);
        HistoryPage& page = m_main->historyPage();
        page.findChild<QLineEdit*>(QStringLiteral("txtSearch"))
            ->setText(QStringLiteral("Departed"));
        auto* results = page.findChild<QTreeWidget*>(QStringLiteral("lstResults"));
        QTRY_COMPARE_WITH_TIMEOUT(results->topLevelItemCount(), 1, kTimeoutMs);
        results->setCurrentItem(results->topLevelItem(0));
        const qsizetype before = stored().size();
        const qsizetype answered = m_sim->answered().size();
        m_fill = [](QDialog& dialog) {
            setField(dialog, "cboReason", QStringLiteral("Wallhack"));
            setField(dialog, "cboDuration", QStringLiteral("30 days"));
            pressOk(dialog);
        };
        QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("cmdBan")), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(stored().size(), before + 1, kTimeoutMs);
        const BanRecord ban = stored().first();
        QCOMPARE(ban.guid, QStringLiteral("612345"));
        QCOMPARE(ban.names, QStringList{QStringLiteral("Departed")});
        QCOMPARE(ban.address, QStringLiteral("198.51.100.%1").arg(m_joined));
        QCOMPARE(ban.reason, QStringLiteral("Wallhack"));
        QVERIFY(ban.until &&
                qAbs(QDateTime::currentDateTimeUtc().secsTo(*ban.until) - 30 * 24 * 3600) < 60);
        // Whoever has the slot now is not kicked for him.
        QVERIFY(!m_sim->answered().mid(answered).contains(QStringLiteral("clientkick ") + slot));
    }

    // The file holds the rows shown, a reason that looks like a formula defused.
    void exportWritesGuardedCsv()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("bans.csv"));
        m_main->banList().setSaveFileChooser([path](const QString&) { return path; });
        control<QLineEdit>("txtBanSearch")->setText(QStringLiteral("ghost"));
        press("btnBanExport");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0),
                 QStringLiteral("Name,Guid,Address,Reason,Until,By,When,Servers,State"));
        QVERIFY2(lines.at(1).startsWith(QStringLiteral("^2Ghost,0123456789abcdef0123456789abcdef,"
                                                       "203.0.113.0/24,\"'=cmd|' /C calc'!A0\",")),
                 qPrintable(lines.at(1)));
        control<QLineEdit>("txtBanSearch")->clear();
    }

    // PunkBuster's bans come read-only, with PunkBuster's own unban.
    void serverBansAreShownWithTheirUnban()
    {
        const QString slot = joinAndChoose(QStringLiteral("PbCheater"), QStringLiteral("900001"));
        m_sim->console().reply(QStringLiteral("pb_sv_ban %1 speedhack").arg(slot.toInt() + 1));
        auto* state = control<QComboBox>("cboBanState");
        state->setCurrentIndex(state->findText(QStringLiteral("Server's own")));
        press("btnServerBans");
        QTRY_VERIFY_WITH_TIMEOUT(column(BanTableModel::Name).contains(QStringLiteral("PbCheater")),
                                 kTimeoutMs);
        choose(BanTableModel::Name, QStringLiteral("PbCheater"));
        QVERIFY(!control<QPushButton>("btnBanEdit")->isEnabled());
        QVERIFY(!control<QPushButton>("btnBanLift")->isEnabled());
        press("btnBanUnban");
        QTRY_VERIFY_WITH_TIMEOUT(
            m_sim->answered().constLast().startsWith(QStringLiteral("pb_sv_unban ")), kTimeoutMs);
    }

    // The engine keeps its list to itself: the list shows the bans this program sent, until an
    // unban undoes them.
    void engineBansComeFromTheCommandsSent()
    {
        joinAndChoose(QStringLiteral("EngineCheater"), QStringLiteral("900002"));
        m_main->playerMenu().entry(QStringLiteral("banplayerz"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(
            m_sim->answered().contains(QStringLiteral("banuser EngineCheater")), kTimeoutMs);
        press("btnBanRefresh");
        QVERIFY(column(BanTableModel::Name).contains(QStringLiteral("EngineCheater")));
        choose(BanTableModel::Name, QStringLiteral("EngineCheater"));
        QCOMPARE(table().model()->index(table().currentIndex().row(), BanTableModel::State).data(),
                 QVariant(QStringLiteral("engine")));
        press("btnBanUnban");
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->answered().constLast(),
                                  QStringLiteral("unbanuser EngineCheater"), kTimeoutMs);
        press("btnBanRefresh");
        QVERIFY(!column(BanTableModel::Name).contains(QStringLiteral("EngineCheater")));
    }
};

GARRISON_TEST_MAIN(TestBanList)
#include "TestBanList.moc"
