#include "serverlist/ServerListModel.h"
#include "support/SimFixture.h"
#include "support/TestMain.h"
#include "support/UdpPeer.h"

#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QSignalSpy>

using namespace garrison;
using garrison::test::SimFixture;
using garrison::test::UdpPeer;

namespace {

constexpr int kWaitMs = 5000;
const QString kLocal = QStringLiteral("127.0.0.1");

// The row's cells, with the ping and the time (which vary) as patterns: "#" for a number,
// "hh:mm:ss" for a time of today.
QStringList cells(const ServerListModel& model, int row)
{
    QStringList texts;
    for (int column = 0; column < ServerListModel::Columns; ++column) {
        QString text = model.index(row, column).data().toString();
        if (column == ServerListModel::Ping &&
            QRegularExpression(QStringLiteral("^\\d+$")).match(text).hasMatch()) {
            text = QStringLiteral("#");
        } else if (column == ServerListModel::LastSeen &&
                   QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                       .match(text)
                       .hasMatch()) {
            text = QStringLiteral("hh:mm:ss");
        }
        texts.append(text);
    }
    return texts;
}

} // namespace

class TestServerListModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Two servers, a port where nothing answers and a second profile of the first server: each
    // server is asked once, every row shows what its server said, the silent one says so, and
    // rows that share a server change together.
    void rowsShowWhatTheirServersSay()
    {
        SimFixture alpha(SimFixture::listedSettings("mp_dome", "dm", 3, ""));
        SimFixture bravo(SimFixture::listedSettings("mp_makin", "sd", 0, "letmein"));
        QVERIFY(alpha.start() && bravo.start());
        bravo.console().dvars().set(u"sv_hostname", QStringLiteral("^1Red^7Base"));
        UdpPeer silent;
        int alphaAsked = 0;
        connect(&alpha.server(), &sim::SimServer::queryAnswered, this, [&] { ++alphaAsked; });

        ServerListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        qint64 clock = 0;
        model.query().setClock([&clock] { return clock; });
        model.query().setReplyTimeoutMs(300);
        const QList<ServerListEntry> entries = {{"Home", kLocal, alpha.port(), 1},
                                                {"", kLocal, bravo.port(), 0},
                                                {"", kLocal, silent.port(), 0},
                                                {"Home again", kLocal, alpha.port(), 4}};
        model.setEntries(entries);
        QCOMPARE(model.query().count(), 3);
        QSignalSpy finished(&model.query(), &ServerQuery::queryFinished);
        model.query().refresh();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 3, kWaitMs);

        const QString a = "127.0.0.1:" + QString::number(alpha.port());
        const QString b = "127.0.0.1:" + QString::number(bravo.port());
        const QString s = "127.0.0.1:" + QString::number(silent.port());
        QCOMPARE(cells(model, 0), (QStringList{"Home", a, "mp_dome", "3/24", "#", "dm", "no",
                                               "hh:mm:ss", "answering"}));
        QCOMPARE(cells(model, 1), (QStringList{"^1Red^7Base", b, "mp_makin", "0/24", "#", "sd",
                                               "yes", "hh:mm:ss", "answering"}));
        QCOMPARE(cells(model, 2), (QStringList{s, s, "", "", "", "", "", "", "not answering"}));
        QCOMPARE(cells(model, 3), (QStringList{"Home again", a, "mp_dome", "3/24", "#", "dm", "no",
                                               "hh:mm:ss", "answering"}));
        QCOMPARE(alphaAsked, 2);
        // The filter reads the server's own name without its colour codes.
        QVERIFY(model.index(1, ServerListModel::Name)
                    .data(ServerListModel::FilterRole)
                    .toString()
                    .contains(u"RedBase"));

        alpha.console().dvars().set(u"g_gametype", QStringLiteral("war"));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        clock += ServerQuery::kMinimumIntervalMs;
        model.query().refresh();
        // Both rows of the server are told, so that views repaint both.
        const auto told = [&] {
            QSet<int> rows;
            for (const QList<QVariant>& change : changed) {
                for (int row = change.at(0).toModelIndex().row();
                     row <= change.at(1).toModelIndex().row(); ++row) {
                    rows.insert(row);
                }
            }
            return rows;
        };
        QTRY_VERIFY_WITH_TIMEOUT(told().contains(0) && told().contains(3), kWaitMs);
        QCOMPARE(model.index(0, ServerListModel::GameType).data().toString(),
                 QStringLiteral("war"));
        QCOMPARE(model.index(3, ServerListModel::GameType).data().toString(),
                 QStringLiteral("war"));

        // Entries read again keep what their servers said; servers no longer listed are no
        // longer asked.
        model.setEntries({entries.at(1), entries.at(0)});
        QCOMPARE(model.query().count(), 2);
        QCOMPARE(cells(model, 0).at(ServerListModel::Map), QStringLiteral("mp_makin"));
        QCOMPARE(cells(model, 1).at(ServerListModel::GameType), QStringLiteral("war"));
        model.removeEntry(0);
        QCOMPARE(model.query().count(), 1);
        QCOMPARE(cells(model, 0).at(ServerListModel::Name), QStringLiteral("Home"));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestServerListModel)
#include "TestServerListModel.moc"
