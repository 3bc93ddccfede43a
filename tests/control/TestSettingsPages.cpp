#include "FakeDialogs.h"
#include "TestMain.h"
#include "TextRows.h"
#include "UdpPeer.h"
#include "app/MainWindow.h"
#include "control/AdminPage.h"
#include "control/MapsPage.h"
#include "control/SettingsPage.h"
#include "rcon/CommandSender.h"
#include "rcon/RconDatagram.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace garrison;
using garrison::test::addTextRows;
using garrison::test::FakeDialogs;
using garrison::test::UdpPeer;

namespace {

// Commands and boxes in the order they happen.
class Recorder final : public CommandSender {
public:
    QStringList log;
    void Send(const QString& cmd) override { log << QStringLiteral("Send ") + cmd; }
    void WaitSend(const QString& Cmdz) override { log << QStringLiteral("WaitSend ") + Cmdz; }
};

QString describe(BoxIcon icon, BoxButtons buttons)
{
    if (buttons == BoxButtons::YesNo) {
        return icon == BoxIcon::None ? QStringLiteral("yes/no") : QStringLiteral("odd yes/no");
    }
    return icon == BoxIcon::None          ? QStringLiteral("plain")
           : icon == BoxIcon::Information ? QStringLiteral("information")
                                          : QStringLiteral("other");
}

} // namespace

Q_DECLARE_METATYPE(SettingsPage::Indicator)

class TestSettingsPages : public QObject {
    Q_OBJECT

    Recorder m_sender;
    FakeDialogs m_dialogs;
    std::unique_ptr<QWidget> m_holder;
    SettingsPage* m_settings = nullptr;
    AdminPage* m_admin = nullptr;

    template <typename T> T* child(const QString& name)
    {
        T* widget = m_holder->findChild<T*>(name);
        if (!widget) {
            qFatal("no control %s", qPrintable(name));
        }
        return widget;
    }
    void click(const QString& name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    // "Name=value" fills a line box, a combo box's text or the rotation box.
    void fill(const QStringList& fields)
    {
        for (const QString& field : fields) {
            const QString value = field.section(u'=', 1);
            QWidget* widget = child<QWidget>(field.section(u'=', 0, 0));
            if (auto* line = qobject_cast<QLineEdit*>(widget)) {
                line->setText(value);
            } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                combo->setEditText(value);
            } else if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
                text->setPlainText(value);
            } else {
                qFatal("cannot fill %s", qPrintable(field));
            }
        }
    }
    QString rotation() { return child<QPlainTextEdit>(QStringLiteral("Text12"))->toPlainText(); }

private Q_SLOTS:
    void initTestCase()
    {
        m_holder = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(m_holder.get());
        m_settings = new SettingsPage(m_sender, m_dialogs);
        m_admin = new AdminPage(m_sender, m_dialogs);
        layout->addWidget(m_settings);
        layout->addWidget(m_admin);
        layout->addWidget(new MapsPage(m_sender, m_dialogs));
        connect(m_admin, &AdminPage::listRequested, this,
                [this] { m_sender.log << QStringLiteral("clear list"); });
        const auto status = [this](const QString& text) {
            m_sender.log << QStringLiteral("status ") + text;
        };
        connect(m_settings, &SettingsPage::statusMessage, this, status);
        connect(m_admin, &AdminPage::statusMessage, this, status);
        m_dialogs.whileOpen = [this](const FakeDialogs::Call& call) {
            if (call.kind == FakeDialogs::Call::Input) {
                m_sender.log << QStringLiteral("input %1 | %2 | %3")
                                    .arg(call.caption, call.text, call.preset);
            } else {
                m_sender.log << QStringLiteral("%1 box %2 | %3")
                                    .arg(describe(call.icon, call.buttons), call.caption,
                                         call.text);
            }
        };
        m_holder->show();
    }
    void init()
    {
        m_sender.log.clear();
        m_dialogs.calls.clear();
        m_dialogs.answers.clear();
        m_dialogs.texts.clear();
    }

    // Each control and the command it sends; option names ask the server, whose answer
    // lights the indicator pair.
    void fixedCommandsSendTheirLiteral_data()
    {
        QTest::addColumn<QString>("command");
        const QString table = QStringLiteral(
            "Label19 scr_hardcore 1, Label20 scr_hardcore 0, Label21 scr_oldschool 1, "
            "Label22 scr_oldschool 0, Label24 scr_game_allowkillcam 1, "
            "Label25 scr_game_allowkillcam 0, Label26 scr_team_fftype 1, "
            "Label27 scr_team_fftype 0, Label77 scr_team_fftype 2, Label78 scr_team_fftype 3, "
            "Label42 g_gametype twar, Label29 g_gametype war, Label30 g_gametype dm, "
            "Label31 g_gametype koth, Label32 g_gametype sab, Label33 g_gametype sd, "
            "Label28 g_gametype dom, Label80 g_allowvote 1, Label81 g_allowvote 0, "
            "Label83 sv_punkbuster 1, Label84 sv_punkbuster 0, Label86 sv_voice 1, "
            "Label87 sv_voice 0, Label89 scr_teambalance 1, Label90 scr_teambalance 0, "
            "Label16 serverinfo, Label17 systeminfo, Label10 map_rotate, Label11 map_restart, "
            "Label12 fast_restart, Label43 g_allowvote, Label79 g_allowvote, "
            "Label82 sv_punkbuster, Label85 sv_voice, Label88 scr_teambalance");
        for (const QString& row : table.split(QStringLiteral(", "))) {
            QTest::newRow(qPrintable(row.section(u' ', 0, 0))) << row.section(u' ', 1);
        }
    }
    void fixedCommandsSendTheirLiteral()
    {
        QFETCH(QString, command);
        click(QLatin1String(QTest::currentDataTag()));
        QCOMPARE(m_sender.log, QStringList{QStringLiteral("Send ") + command});
        QVERIFY(m_dialogs.calls.isEmpty());
    }

    void indicatorsShowTheLatestAnswer_data()
    {
        QTest::addColumn<SettingsPage::Indicator>("indicator");
        QTest::addColumn<QString>("onLabel");
        QTest::addColumn<QString>("offLabel");
        using I = SettingsPage::Indicator;
        for (const auto& [name, indicator, on, off] :
             {std::tuple{"vote", I::Vote, "Label80", "Label81"},
              std::tuple{"punkbuster", I::PunkBuster, "Label83", "Label84"},
              std::tuple{"voice", I::Voice, "Label86", "Label87"},
              std::tuple{"balance", I::TeamBalance, "Label89", "Label90"}}) {
            QTest::newRow(name) << indicator << QString::fromLatin1(on) << QString::fromLatin1(off);
        }
    }
    void indicatorsShowTheLatestAnswer()
    {
        QFETCH(SettingsPage::Indicator, indicator);
        QFETCH(QString, onLabel);
        QFETCH(QString, offLabel);
        SettingsPage page(m_sender, m_dialogs);
        auto* on = page.findChild<QLabel*>(onLabel);
        auto* off = page.findChild<QLabel*>(offLabel);
        QCOMPARE(on->frameShape(), QFrame::NoFrame);
        QCOMPARE(off->frameShape(), QFrame::NoFrame);
        const QSize unframed = on->sizeHint();

        page.setIndicator(indicator, true);
        QCOMPARE(on->frameShape(), QFrame::Box);
        QCOMPARE(on->frameShadow(), QFrame::Plain);
        QCOMPARE(on->frameWidth(), 1);
        QCOMPARE(off->frameShape(), QFrame::NoFrame);

        page.setIndicator(indicator, false);
        QCOMPARE(on->frameShape(), QFrame::NoFrame);
        QCOMPARE(off->frameShape(), QFrame::Box);
        QCOMPARE(off->frameWidth(), 1);
        // The border takes the place of a margin, so the caption does not move.
        QCOMPARE(on->sizeHint(), unframed);
        QCOMPARE(off->sizeHint().height(), unframed.height());
    }

    // Fields and log entries are split at "¦". The answer is "Yes"/"No" for a question, text or
    // <cancel> for input. A box's entry starts with its look.
    void composedCommands_data()
    {
        addTextRows(
            {"control", "fields", "answer", "log"},
            {{"server name empty", "Label18", "Text8=", "", "Send sv_hostname "},
             {"server name as typed", "Label18", "Text8=^1My; Server ", "",
              "Send sv_hostname ^1My; Server "},
             {"ping initial texts", "Label58", "", "",
              "Send sv_minping 0¦WaitSend sv_maxping 300¦"
              "information box GARRISON | Min ping is now: 0 and Max ping is now: 300"},
             {"ping not a number", "Label58", "Text27=1;quit¦Text26=300", "",
              "status Min ping and max ping each take a number of milliseconds; nothing was sent."},
             {"ping empty", "Label58", "Text27=0¦Text26=", "",
              "status Min ping and max ping each take a number of milliseconds; nothing was sent."},
             {"min ping above max", "Label58", "Text27=301¦Text26=300", "",
              "status Min ping 301 is above max ping 300, so no player could join; nothing was "
              "sent."},
             {"min ping above max, more digits", "Label58", "Text27=1000¦Text26=0999", "",
              "status Min ping 1000 is above max ping 0999, so no player could join; nothing was "
              "sent."},
             {"min ping equal to max", "Label58", "Text27=0300¦Text26=300", "",
              "Send sv_minping 0300¦WaitSend sv_maxping 300¦"
              "information box GARRISON | Min ping is now: 0300 and Max ping is now: 300"},
             {"max ping 0 is no limit", "Label58", "Text27=50¦Text26=00", "",
              "Send sv_minping 50¦WaitSend sv_maxping 00¦"
              "information box GARRISON | Min ping is now: 50 and Max ping is now: 00"},
             // Blanks around the slots go; a pasted tab is no blank and is sent.
             {"private slots trimmed of blanks only", "Label99", "Text44= \t8 ", "",
              "Send sv_privateclients \t8¦plain box GARRISON | Private Slots Defined to: \t8"},
             {"private slots not a number", "Label99", "Text44=8x", "",
              "status Private slots take a number of slots; nothing was sent."},
             {"slots password trimmed", "Label101", "Text45=  se cret ", "",
              "Send set sv_privatePassword se cret¦"
              "plain box GARRISON | Private Slots Password Defined as se cret"},
             {"ban list", "Label36", "", "",
              "clear list¦WaitSend pb_sv_banlist¦"
              "information box Ban list | This may take a few seconds!"},
             {"unban untouched 0", "Label34", "", "",
              "information box Remove Ban | Please fill the ban number!"},
             {"unban empty", "Label34", "Text11=", "",
              "information box Remove Ban | Please fill the ban number!"},
             {"unban 00", "Label34", "Text11=00", "", "Send pb_sv_unban 00"},
             {"unban blank 0", "Label34", "Text11= 0", "",
              "status The ban number takes digits only; nothing was sent."},
             {"bad name typed", "Label95", "", "Cheat;er",
              "input GARRISON | Please enter the name you want to block | NAZI¦"
              "Send pb_sv_badname 30 Cheat;er¦"
              "information box GARRISON | Cheat;er added to bad name list!"},
             {"bad name cancelled", "Label95", "", "<cancel>",
              "input GARRISON | Please enter the name you want to block | NAZI¦"
              "Send pb_sv_badname 30 ¦information box GARRISON |  added to bad name list!"},
             {"bad name list", "Label96", "", "",
              "clear list¦WaitSend PB_SV_BadNameList¦"
              "plain box GARRISON | Check the list on the ´Banned Management´"},
             {"restart punkbuster", "Label94", "", "",
              "Send pb_sv_restart¦plain box GARRISON | Punkbuster should be restarting now!"},
             {"restart server yes", "Label15", "", "Yes",
              "yes/no box Restart Server | Are you sure you want to restart server?¦Send Quit"},
             {"restart server no", "Label15", "", "No",
              "yes/no box Restart Server | Are you sure you want to restart server?"},
             {"screenshot all players", "Label23", "", "",
              "Send pb_sv_getss¦plain box GARRISON | Screenshots are being taken!"},
             {"rotation without game type", "Label39",
              "Combo1=mp_dome¦Combo2=¦Text12=gametype dm map x", "",
              "information box GARRISON | Please select both map and gametype!"},
             {"send empty rotation", "Label41", "Text12=", "",
              "information box Maps | Please add a map rotation first!"},
             {"send hand-edited rotation", "Label41", "Text12=gametype \"dm\" map a;b\nmap  c\n",
              "", "Send set sv_mapRotation \"gametype \"dm\" map a;b\r\nmap  c\r\n\""},
             {"clear rotation", "Label40", "Text12=gametype dm map x", "", ""}});
    }
    void composedCommands()
    {
        QFETCH(QString, control);
        QFETCH(QString, fields);
        QFETCH(QString, answer);
        QFETCH(QString, log);
        fill(fields.split(u'¦', Qt::SkipEmptyParts));
        const QString rotationBefore = rotation();
        if (answer == QLatin1String("Yes") || answer == QLatin1String("No")) {
            m_dialogs.answers.enqueue(answer == QLatin1String("Yes") ? BoxAnswer::Yes
                                                                     : BoxAnswer::No);
        } else if (answer == QLatin1String("<cancel>")) {
            m_dialogs.texts.enqueue(std::nullopt);
        } else if (!answer.isEmpty()) {
            m_dialogs.texts.enqueue(answer);
        }

        click(control);

        QCOMPARE(m_sender.log, log.split(u'¦', Qt::SkipEmptyParts));
        // Only Clear changes the rotation text; a refused add and a send leave it.
        QCOMPARE(rotation(), control == QLatin1String("Label40") ? QString() : rotationBefore);
    }

    void addKeepsHandEditedLineBreaks()
    {
        fill({QStringLiteral("Text12=gametype dm\nmap a"), QStringLiteral("Combo1=my map"),
              QStringLiteral("Combo2=tdm")});
        click(QStringLiteral("Label39"));
        click(QStringLiteral("Label41"));
        QCOMPARE(m_sender.log, QStringList{QStringLiteral(
                                   "Send set sv_mapRotation \"gametype dm\r\nmap a gametype tdm "
                                   "map my map\"")});
    }

    // Number boxes keep only the digits typed; Enter in a box sends like its button, and what
    // is typed after that replaces the value.
    void typingAndEnterInABox_data()
    {
        addTextRows({"box", "typed", "kept", "first"},
                    {{"server name", "Text8", "Mine", "Mine", "Send sv_hostname Mine"},
                     {"min ping", "Text27", "2x;0 5", "205", "Send sv_minping 205"},
                     {"max ping", "Text26", "-300.5", "3005", "Send sv_minping 0"},
                     {"private slots", "Text44", "1a2b3", "12", "Send sv_privateclients 12"},
                     {"ban number", "Text11", "#7 ", "7", "Send pb_sv_unban 7"},
                     {"slots password", "Text45", "pw", "pw", "Send set sv_privatePassword pw"}});
    }
    void typingAndEnterInABox()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QString, first);
        fill({QStringLiteral("Text27=0"), QStringLiteral("Text26=300")});
        auto* field = child<QLineEdit>(box);
        field->clear();
        QTest::keyClicks(field, typed);
        QCOMPARE(field->text(), kept);
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(!m_sender.log.isEmpty());
        QCOMPARE(m_sender.log.constFirst(), first);
        QTest::keyClicks(field, QStringLiteral("9"));
        QCOMPARE(field->text(), QStringLiteral("9"));
    }

    void labelButtonsWorkFromTheKeyboard()
    {
        auto* set = child<QLabel>(QStringLiteral("Label19"));
        QCOMPARE(set->focusPolicy(), Qt::StrongFocus);
        QTest::keyClick(set, Qt::Key_Space);
        QTest::keyClick(set, Qt::Key_Return);
        QTest::mouseClick(set, Qt::RightButton);
        QCOMPARE(m_sender.log, QStringList({"Send scr_hardcore 1", "Send scr_hardcore 1"}));
    }
};

GARRISON_TEST_MAIN(TestSettingsPages)
#include "TestSettingsPages.moc"
