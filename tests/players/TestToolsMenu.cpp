#include "TestMain.h"
#include "players/ToolsMenu.h"

#include <QAction>
#include <QMenu>
#include <QUrl>

using namespace garrison;

class TestToolsMenu : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The switched-off entries have nothing connected: only their state matters.
    void linksOpenTheirPagesTheRestIsOffAndALeftClickOpens()
    {
        ToolsMenu menu;
        QStringList opened;
        menu.setPageOpener([&opened](const QString& page) { opened.append(page); });
        menu.entry(QStringLiteral("websitez"))->trigger();
        menu.entry(QStringLiteral("aboutz"))->trigger();
        QCOMPARE(opened, (QStringList{ToolsMenu::kHomePage, ToolsMenu::kDonationPage}));
        for (const QString& page : opened) {
            QVERIFY2(QUrl(page).isValid() && QUrl(page).scheme() == u"https", qPrintable(page));
        }
        for (const char* entry : {"setupserverforpbbansz", "setupserverforpunksbustedz",
                                  "addnewusertodaemonz", "changerconpasswordindaemonz"}) {
            QVERIFY2(!menu.entry(QLatin1String(entry))->isEnabled(), entry);
        }
        // Only a left click opens it.
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            const bool opens = button == Qt::LeftButton;
            QCOMPARE(menu.labelClicked(button, QPoint(10, 10)), opens);
            QCOMPARE(menu.toolsz().isVisible(), opens);
            menu.toolsz().hide();
        }
    }
};

GARRISON_TEST_MAIN(TestToolsMenu)
#include "TestToolsMenu.moc"
