#include "RecordingSender.h"
#include "TestMain.h"
#include "TextRows.h"
#include "app/TellWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <stdexcept>

using namespace garrison;
using garrison::test::addTextRows;
using garrison::test::RecordingSender;

namespace {
class FailingSender final : public CommandSender {
public:
    void Send(const QString&) override
    {
        ++attempts;
        throw std::runtime_error("socket gone");
    }
    void WaitSend(const QString&) override {}
    int attempts = 0;
};
} // namespace

class TestTellWindow : public QObject {
    Q_OBJECT

    RecordingSender m_sender;
    std::unique_ptr<TellWindow> m_window;

    template <typename T> T* child(const char* name)
    {
        return m_window->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

private Q_SLOTS:
    void init()
    {
        m_sender.sent.clear();
        m_window = std::make_unique<TellWindow>(m_sender);
    }
    void cleanup() { m_window.reset(); }

    void okSendsTellAndCloses_data()
    {
        addTextRows({"slot", "message", "command"},
                    {{"slot with blanks", " 3 ", "hello", "tell 3 hello"},
                     {"message kept as typed", "  12", " ^1stop  it ", "tell 12  ^1stop  it "},
                     {"empty slot", "", "hi", "tell  hi"}});
    }
    void okSendsTellAndCloses()
    {
        QFETCH(QString, slot);
        QFETCH(QString, message);
        QFETCH(QString, command);
        m_window->warn(slot);
        QVERIFY(m_window->isVisible());
        QCOMPARE(child<QLabel>("lblusage")->text(), slot);
        QCOMPARE(child<QLabel>("lbldesc")->text(),
                 QStringLiteral("Just type in the warning message to this player. Only he can "
                                "see this! (The slot is used for this!)"));
        QTest::keyClicks(child<QLineEdit>("Text1"), message);
        click("Command1");
        QCOMPARE(m_sender.sent, QStringList{command});
        QVERIFY(!m_window->isVisible());
    }

    // Reopening the open window keeps the draft; whatever closes it forgets the message.
    void reopenCancelAndAFailedSend()
    {
        m_window->warn(QStringLiteral("3"));
        QTest::keyClicks(child<QLineEdit>("Text1"), QStringLiteral("draft"));
        m_window->open(QStringLiteral("other"), QStringLiteral("5"));
        QCOMPARE(child<QLabel>("lbldesc")->text(), QStringLiteral("other"));
        QCOMPARE(child<QLabel>("lblusage")->text(), QStringLiteral("5"));
        click("Command1");
        m_window->warn(QStringLiteral("3"));
        QTest::keyClicks(child<QLineEdit>("Text1"), QStringLiteral("draft"));
        click("Command2");
        QVERIFY(!m_window->isVisible());
        m_window->warn(QStringLiteral("4"));
        QVERIFY(child<QLineEdit>("Text1")->text().isEmpty());
        click("Command1");
        QCOMPARE(m_sender.sent, (QStringList{"tell 5 draft", "tell 4 "}));

        // It closes even when sending fails.
        FailingSender failing;
        TellWindow window(failing);
        window.warn(QStringLiteral("3"));
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        QCOMPARE(failing.attempts, 1);
        QVERIFY(!window.isVisible());
    }
};

GARRISON_TEST_MAIN(TestTellWindow)
#include "TestTellWindow.moc"
