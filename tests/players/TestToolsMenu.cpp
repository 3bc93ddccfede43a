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

    void linksOpenTheirPages()
    {
        for (const auto& [entry, page] : {std::pair{"websitez", ToolsMenu::kHomePage},
                                          std::pair{"aboutz", ToolsMenu::kDonationPage}}) {
            m_opened.clear();
            m_menu->entry(QLatin1String(entry))->trigger();
            QCOMPARE(m_opened, QStringList{page});
            const QUrl url(page);
            QVERIFY(url.isValid());
            QCOMPARE(url.scheme(), QStringLiteral("https"));
        }
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

    void onlyALeftClickOpens()
    {
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            const bool opens = button == Qt::LeftButton;
            QCOMPARE(m_menu->labelClicked(button, QPoint(10, 10)), opens);
            QCOMPARE(m_menu->toolsz().isVisible(), opens);
            m_menu->toolsz().hide();
        }
    }
};

GARRISON_TEST_MAIN(TestToolsMenu)
#include "TestToolsMenu.moc"
