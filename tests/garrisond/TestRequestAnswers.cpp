#include "DaemonConfig.h"
#include "RequestAnswers.h"
#include "TestMain.h"
#include "TextRows.h"

#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

using namespace garrisond;
using garrison::test::addTextRows;

class TestRequestAnswers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The log is sent only when it is the game server's own plain file: never another name of
    // one of garrisond's files, which mp accounts would otherwise read.
    void log_data()
    {
        addTextRows({"answer"},
                    {{"read", "0:00 InitGame\r\n"},
                     {"empty", "The game server's log is empty."},
                     {"missing", "The game server's log could not be read: "},
                     {"symbolic link", "The game server's log could not be read: it is a symbolic"},
                     {"hard link", "The game server's log could not be read: it has 2 names"},
                     {"garrisond's own user's",
                      "The game server's log could not be read: it belongs to garrisond's"}});
    }
    void log()
    {
        const QString log = QString::fromLatin1(QTest::currentDataTag());
        QTemporaryDir dir;
        DaemonConfig config = DaemonConfig::defaults(dir.filePath(QStringLiteral("d.conf")));
        config.gameLogPath = dir.filePath(QStringLiteral("games_mp.log"));
        const QString secret = dir.filePath(QStringLiteral("garrisond-accounts.json"));
        QFile file(log == QLatin1String("symbolic link") || log == QLatin1String("hard link")
                       ? secret
                       : config.gameLogPath);
        if (log != QLatin1String("missing")) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(log == QLatin1String("empty") ? "" : "0:00 InitGame\n");
            file.close();
        }
        const QByteArray from = QFile::encodeName(secret);
        const QByteArray to = QFile::encodeName(config.gameLogPath);
        if (log == QLatin1String("symbolic link")) {
            QVERIFY(::symlink(from.constData(), to.constData()) == 0);
        } else if (log == QLatin1String("hard link")) {
            QVERIFY(::link(from.constData(), to.constData()) == 0);
        }
        const uid_t refused =
            log == QLatin1String("garrisond's own user's") ? ::geteuid() : static_cast<uid_t>(-1);
        const QByteArray sent = RequestAnswers::log(config, refused);
        QFETCH(QString, answer);
        // Every answer, a refusal too, comes after its length.
        const qsizetype header = sent.indexOf("\r\n") + 2;
        const QByteArray text = sent.sliced(header);
        QCOMPARE(sent.first(header), "LOG " + QByteArray::number(text.size()) + "\r\n");
        QVERIFY2(text.startsWith(answer.toLatin1()), sent.constData());
    }

    // The reasons go to the levels that may ban, and the count announces every line, a reason
    // that looks like another answer included; none is "0", for GARRISON to offer its own.
    void banReasons_data()
    {
        addTextRows({"level", "reasons", "answer"},
                    {{"a ban level", "admin", "Team killing, twice|BANADDED 7",
                      "BANREASONS 2\nTeam killing, twice\nBANADDED 7\n"},
                     {"none set", "admin", "", "BANREASONS 0\n"},
                     {"another level", "mp", "Cheating",
                      "BANREFUSED the level mp may not read or change the bans (ban_levels)\n"}});
    }
    void banReasons()
    {
        QFETCH(QString, level);
        QFETCH(QString, reasons);
        QFETCH(QString, answer);
        DaemonConfig config = DaemonConfig::defaults(QStringLiteral("/nonexistent/d.conf"));
        config.banReasons = reasons.split(u'|', Qt::SkipEmptyParts);
        QCOMPARE(QString::fromLatin1(RequestAnswers::banReasons(config, level)),
                 answer.replace(QStringLiteral("\\n"), QStringLiteral("\n")));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestRequestAnswers)
#include "TestRequestAnswers.moc"
