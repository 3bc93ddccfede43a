#include "TestMain.h"
#include "players/ToolsMenu.h"

#include <QAction>
#include <QMenu>
#include <QUrl>

using namespace garrison;

class TestToolsMenu : public QObject {
    Q_OBJECT

    std::unique_ptr<ToolsMenu> m_menu;
    QStringList m_opened;

private Q_SLOTS:
    void init()
    {
        m_opened.clear();
        m_menu = std::make_unique<ToolsMenu>();
        m_menu->setPageOpener([this](const QString& page) { m_opened.append(page); });
    }
    void cleanup() { m_menu.reset(); }

    void linksOpenTheirPages_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("page");
        QTest::newRow("website") << "websitez" << ToolsMenu::kHomePage;
        QTest::newRow("donation") << "aboutz" << ToolsMenu::kDonationPage;
    }
    void linksOpenTheirPages()
    {
        QFETCH(QString, entry);
        QFETCH(QString, page);
        m_menu->entry(entry)->trigger();
        QCOMPARE(m_opened, QStringList{page});
        const QUrl url(page);
        QVERIFY(url.isValid());
        QCOMPARE(url.scheme(), QStringLiteral("https"));
    }

    void switchedOffEntriesDoNothing_data()
    {
        QTest::addColumn<QString>("entry");
        for (const char* entry : {"setupserverforpbbansz", "setupserverforpunksbustedz",
                                  "addnewusertodaemonz", "changerconpasswordindaemonz"}) {
            QTest::newRow(entry) << entry;
        }
    }
    void switchedOffEntriesDoNothing()
    {
        QFETCH(QString, entry);
        QVERIFY(!m_menu->entry(entry)->isEnabled());
        m_menu->entry(entry)->trigger();
        QVERIFY(m_opened.isEmpty());
    }

    void onlyALeftClickOpens_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("opens");
        QTest::newRow("left") << Qt::LeftButton << true;
        QTest::newRow("right") << Qt::RightButton << false;
        QTest::newRow("middle") << Qt::MiddleButton << false;
    }
    void onlyALeftClickOpens()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, opens);
        QCOMPARE(m_menu->labelClicked(button, QPoint(10, 10)), opens);
        QCOMPARE(m_menu->toolsz().isVisible(), opens);
        m_menu->toolsz().hide();
    }
};

GARRISON_TEST_MAIN(TestToolsMenu)
#include "TestToolsMenu.moc"
