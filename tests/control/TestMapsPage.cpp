#include "FakeDialogs.h"
#include "RecordingSender.h"
#include "TestMain.h"
#include "control/MapPreview.h"
#include "control/MapsPage.h"

#include <QLabel>
#include <QListWidget>

using namespace garrison;
using garrison::test::FakeDialogs;

namespace {

const QStringList kPictures = {"Image12", "Image13", "Image14", "Image15", "Image16",
                               "Image17", "Image18", "Image19", "Image20", "Image21",
                               "Image22", "Image23", "Image24", "Image27"};

} // namespace

class TestMapsPage : public QObject {
    Q_OBJECT

    test::RecordingSender m_sender;
    FakeDialogs m_dialogs;
    std::unique_ptr<MapsPage> m_page;

    QListWidget* list() { return m_page->findChild<QListWidget*>(QStringLiteral("List1")); }
    QString chosen() { return m_page->findChild<QLabel*>(QStringLiteral("Label13"))->text(); }
    QStringList visiblePictures()
    {
        QStringList shown;
        for (const QString& name : kPictures) {
            auto* picture = m_page->findChild<QLabel*>(name);
            if (!picture) {
                qFatal("no picture %s", qPrintable(name));
            }
            if (picture->isVisibleTo(m_page.get())) {
                shown << name;
            }
        }
        return shown;
    }
    void clickEntry(int row)
    {
        QListWidget* entries = list();
        const QRect area = entries->visualItemRect(entries->item(row));
        QTest::mouseClick(entries->viewport(), Qt::LeftButton, {}, area.center());
    }
    void changeMap()
    {
        QTest::mouseClick(m_page->findChild<QLabel*>(QStringLiteral("Label14")), Qt::LeftButton);
    }

private Q_SLOTS:
    void init()
    {
        m_sender.sent.clear();
        m_sender.waited.clear();
        m_dialogs.calls.clear();
        m_dialogs.texts.clear();
        m_page = std::make_unique<MapsPage>(m_sender, m_dialogs);
        m_page->show();
    }
    void cleanup() { m_page.reset(); }

    void startsWithTheListAndTheDefaultPicture()
    {
        QStringList entries;
        for (int row = 0; row < list()->count(); ++row) {
            entries << list()->item(row)->text();
        }
        QCOMPARE(entries, QStringList({"mp_airfield", "mp_asylum", "mp_castle", "mp_courtyard",
                                       "mp_dome", "mp_downfall", "mp_hangar", "mp_makin",
                                       "mp_outskirts", "mp_roundhouse", "mp_seelow", "mp_shrine",
                                       "mp_suburban", "Custom Map"}));
        QCOMPARE(chosen(), QStringLiteral("Select a map"));
        QCOMPARE(visiblePictures(), QStringList{QStringLiteral("Image27")});
    }

    void changeWithoutAChoiceIsRefused()
    {
        changeMap();
        QVERIFY(m_sender.sent.isEmpty());
        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_dialogs.calls[0].text, QStringLiteral("Please select a map first!"));
        QCOMPARE(m_dialogs.calls[0].caption, QStringLiteral("Map"));
        QCOMPARE(m_dialogs.calls[0].icon, BoxIcon::Information);
    }

    void tabbingIntoTheListChoosesNothing()
    {
        list()->setFocus(Qt::TabFocusReason);
        QCOMPARE(chosen(), QStringLiteral("Select a map"));
        QCOMPARE(visiblePictures(), QStringList{QStringLiteral("Image27")});
    }

    void eachMapShowsOnlyItsPicture_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("picture");
        const char* pictures[] = {"Image12", "Image13", "Image14", "Image16", "Image17",
                                  "Image18", "Image19", "Image20", "Image21", "Image22",
                                  "Image23", "Image15", "Image24"};
        for (int row = 0; row < 13; ++row) {
            QTest::addRow("row %d %s", row, pictures[row])
                << row << QString::fromLatin1(pictures[row]);
        }
    }
    void eachMapShowsOnlyItsPicture()
    {
        QFETCH(int, row);
        QFETCH(QString, picture);
        clickEntry(row);
        const QString map = list()->item(row)->text();
        QCOMPARE(chosen(), map);
        QCOMPARE(visiblePictures(), QStringList{picture});
        changeMap();
        QCOMPARE(m_sender.sent, QStringList{QStringLiteral("map ") + map});
        QVERIFY(m_dialogs.calls.isEmpty());
        QVERIFY(m_sender.waited.isEmpty());
    }

    void customMapIsTyped_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("command");
        QTest::newRow("typed") << std::optional<QString>(QStringLiteral("mp_newmap"))
                               << "map mp_newmap";
        QTest::newRow("cancelled") << std::optional<QString>() << "map ";
        QTest::newRow("blanks and semicolon")
            << std::optional<QString>(QStringLiteral(" my map;quit")) << "map  my map;quit";
        // Only the untouched caption refuses; the same words typed go out.
        QTest::newRow("caption in other letters")
            << std::optional<QString>(QStringLiteral("select a map")) << "map select a map";
    }
    void customMapIsTyped()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, command);
        clickEntry(4);
        m_dialogs.texts.enqueue(answer);
        clickEntry(13);

        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_dialogs.calls[0].kind, FakeDialogs::Call::Input);
        QCOMPARE(m_dialogs.calls[0].text,
                 QStringLiteral("Type the name of the map (example: mp_newmap)"));
        QCOMPARE(m_dialogs.calls[0].caption, QStringLiteral("Custom Map"));
        QCOMPARE(m_dialogs.calls[0].preset, QStringLiteral("mp_"));
        QCOMPARE(chosen(), answer.value_or(QString()));
        QCOMPARE(visiblePictures(), QStringList{QStringLiteral("Image17")});
        changeMap();
        QCOMPARE(m_sender.sent, QStringList{command});
    }

    void enterOnCustomMapAsksAgain()
    {
        m_dialogs.texts.enqueue(QStringLiteral("mp_first"));
        m_dialogs.texts.enqueue(QStringLiteral("mp_second"));
        clickEntry(13);
        QTest::keyClick(list(), Qt::Key_Return);
        QCOMPARE(m_dialogs.calls.size(), 2);
        QCOMPARE(chosen(), QStringLiteral("mp_second"));
        QCOMPARE(visiblePictures(), QStringList{QStringLiteral("Image27")});
    }

    void picturesAreDrawnSharpAtTheScreenRatio()
    {
        for (const QString& name : kPictures) {
            const QPixmap pixmap = m_page->findChild<QLabel*>(name)->pixmap();
            QVERIFY2(!pixmap.isNull(), qPrintable(name));
            QCOMPARE(pixmap.deviceIndependentSize().toSize(), QSize(170, 110));
        }
        const QPixmap doubled = MapPreview::paint(QStringLiteral("mp_dome"), 2.0);
        QCOMPARE(doubled.size(), QSize(340, 220));
        QCOMPARE(doubled.deviceIndependentSize().toSize(), QSize(170, 110));
        QCOMPARE(MapPreview::paint(QStringLiteral("mp_dome"), 1.0).toImage(),
                 MapPreview::paint(QStringLiteral("mp_dome"), 1.0).toImage());
        QVERIFY(MapPreview::paint(QStringLiteral("mp_dome"), 1.0).toImage() !=
                MapPreview::paint(QStringLiteral("mp_castle"), 1.0).toImage());
    }
};

GARRISON_TEST_MAIN(TestMapsPage)
#include "TestMapsPage.moc"
