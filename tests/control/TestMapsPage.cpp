#include "FakeDialogs.h"
#include "RecordingSender.h"
#include "TestMain.h"
#include "TextRows.h"
#include "control/MapPreview.h"
#include "control/MapsPage.h"

#include <QLabel>
#include <QListWidget>

using namespace garrison;
using garrison::test::addTextRows;
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
        m_sender = {};
        m_dialogs = {};
        m_page = std::make_unique<MapsPage>(m_sender, m_dialogs);
        m_page->show();
    }
    void cleanup() { m_page.reset(); }

    // Nothing is chosen at the start, nor by tabbing into the list, which ends in the custom map;
    // a change without a choice is refused.
    void nothingChosenIsRefused()
    {
        QCOMPARE(list()->count(), 14);
        QCOMPARE(list()->item(13)->text(), QStringLiteral("Custom Map"));
        list()->setFocus(Qt::TabFocusReason);
        QCOMPARE(chosen(), QStringLiteral("Select a map"));
        QCOMPARE(visiblePictures(), QStringList{QStringLiteral("Image27")});
        changeMap();
        QVERIFY(m_sender.sent.isEmpty());
        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_dialogs.calls[0].text, QStringLiteral("Please select a map first!"));
        QCOMPARE(m_dialogs.calls[0].caption, QStringLiteral("Map"));
        QCOMPARE(m_dialogs.calls[0].icon, BoxIcon::Information);
    }

    // The list's rows in order: the map each names and the only picture shown for it.
    void eachMapShowsOnlyItsPicture_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("map");
        QTest::addColumn<QString>("picture");
        const char* rows[][2] = {
            {"mp_airfield", "Image12"},   {"mp_asylum", "Image13"}, {"mp_castle", "Image14"},
            {"mp_courtyard", "Image16"},  {"mp_dome", "Image17"},   {"mp_downfall", "Image18"},
            {"mp_hangar", "Image19"},     {"mp_makin", "Image20"},  {"mp_outskirts", "Image21"},
            {"mp_roundhouse", "Image22"}, {"mp_seelow", "Image23"}, {"mp_shrine", "Image15"},
            {"mp_suburban", "Image24"}};
        for (int row = 0; row < 13; ++row) {
            QTest::newRow(rows[row][0]) << row << rows[row][0] << rows[row][1];
        }
    }
    void eachMapShowsOnlyItsPicture()
    {
        QFETCH(int, row);
        QFETCH(QString, map);
        QFETCH(QString, picture);
        clickEntry(row);
        QCOMPARE(chosen(), map);
        QCOMPARE(visiblePictures(), QStringList{picture});
        changeMap();
        QCOMPARE(m_sender.sent, QStringList{QStringLiteral("map ") + map});
        QVERIFY(m_dialogs.calls.isEmpty());
        QVERIFY(m_sender.waited.isEmpty());
    }

    // Only the untouched caption refuses; the same words typed go out.
    void customMapIsTyped_data()
    {
        addTextRows({"answer", "command"},
                    {{"typed", "mp_newmap", "map mp_newmap"},
                     {"cancelled", "<cancel>", "map "},
                     {"blanks and semicolon", " my map;quit", "map  my map;quit"},
                     {"caption in other letters", "select a map", "map select a map"}});
    }
    void customMapIsTyped()
    {
        QFETCH(QString, answer);
        QFETCH(QString, command);
        const bool cancelled = answer == QLatin1String("<cancel>");
        clickEntry(4);
        m_dialogs.texts.enqueue(cancelled ? std::nullopt : std::optional<QString>(answer));
        clickEntry(13);

        QCOMPARE(m_dialogs.calls.size(), 1);
        QCOMPARE(m_dialogs.calls[0].kind, FakeDialogs::Call::Input);
        QCOMPARE(m_dialogs.calls[0].text,
                 QStringLiteral("Type the name of the map (example: mp_newmap)"));
        QCOMPARE(m_dialogs.calls[0].caption, QStringLiteral("Custom Map"));
        QCOMPARE(m_dialogs.calls[0].preset, QStringLiteral("mp_"));
        QCOMPARE(chosen(), cancelled ? QString() : answer);
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
