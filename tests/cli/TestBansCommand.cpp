#include "bans/BanSource.h"
#include "cli/BansCommand.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using garrison::BanRecord;
using garrison::BanSource;
using garrison::cli::BansCommand;
using garrison::cli::Format;

namespace {

const QDateTime kNow = QDateTime(QDate(2026, 12, 7), QTime(20, 0), Qt::UTC);

// Answers at once, as a history database in the same thread may.
class AnsweringSource : public BanSource {
public:
    QList<BanRecord> bans;
    void list() override { Q_EMIT listed(bans); }
    void add(const BanRecord&) override { Q_EMIT added(41); }
    void edit(const BanRecord& ban) override { Q_EMIT changed(ban.id); }
    void lift(qint64 id, const QString&) override { Q_EMIT changed(id); }
};

BanRecord ban(qint64 id, const QString& name, std::optional<QDateTime> until, bool lifted = false)
{
    BanRecord record;
    record.id = id;
    record.names = {name};
    record.guid = QString::number(1000 + id);
    record.until = until;
    record.lifted = lifted;
    record.issuedAt = kNow.addDays(-1);
    return record;
}

} // namespace

class TestBansCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("error"); // a part of it; empty when it parses
        QTest::addColumn<QString>("guid");
        QTest::addColumn<QString>("address");
        QTest::addColumn<qint64>("seconds"); // of the ban's length; -1 permanent
        QTest::addColumn<QStringList>("servers");
        QTest::addColumn<QStringList>("rest");

        const QString hex = QStringLiteral("0123456789ABCDEF0123456789abcdef");
        QTest::newRow("guid, hex form kept lower")
            << "add --guid " + hex << "" << hex.toLower() << "" << qint64(-1) << QStringList()
            << QStringList();
        QTest::newRow("profile after the verb goes back")
            << "add --guid 123 --profile 2 --duration 2h --servers eu1,,us2"
            << ""
            << "123"
            << "" << qint64(7200) << QStringList{"eu1", "us2"} << QStringList{"--profile", "2"};
        QTest::newRow("address range")
            << "add --address 192.0.2.9/24 --duration=7d"
            << ""
            << ""
            << "192.0.2.0" << qint64(7 * 86400) << QStringList() << QStringList();
        QTest::newRow("both") << "add --guid 1 --address 192.0.2.1"
                              << "one of them"
                              << ""
                              << "" << qint64(0) << QStringList() << QStringList();
        QTest::newRow("guid of 33 hex") << "add --guid " + hex + "a"
                                        << "32 hexadecimal"
                                        << ""
                                        << "" << qint64(0) << QStringList() << QStringList();
        QTest::newRow("prefix too long") << "add --address 2001:db8::/129"
                                         << "prefix length"
                                         << ""
                                         << "" << qint64(0) << QStringList() << QStringList();
        QTest::newRow("bare number duration") << "add --guid 1 --duration 30"
                                              << "--duration"
                                              << ""
                                              << "" << qint64(0) << QStringList() << QStringList();
        QTest::newRow("long reason")
            << "add --guid 1 --reason " + QString(10000, u'x') << "10000 characters; at most 300"
            << ""
            << "" << qint64(0) << QStringList() << QStringList();
        QTest::newRow("control byte in name")
            << QStringLiteral("add --guid 1 --name a\x1b]0;x") << "control character (U+001b)"
            << ""
            << "" << qint64(0) << QStringList() << QStringList();
        QTest::newRow("lift needs an id") << "lift --note x"
                                          << "needs the id"
                                          << ""
                                          << "" << qint64(0) << QStringList() << QStringList();
        QTest::newRow("import takes nothing more")
            << "import 3"
            << "after bans import"
            << ""
            << "" << qint64(0) << QStringList() << QStringList();
        QTest::newRow("option of another verb")
            << "list --guid 1"
            << "does not belong"
            << ""
            << "" << qint64(0) << QStringList() << QStringList();
    }
    void parse()
    {
        QFETCH(QString, words);
        QFETCH(QString, error);
        // A reason with blanks stays one word when the shell passes it so.
        const BansCommand::Parsed parsed = BansCommand::parse(
            words.split(u' '), {QStringLiteral("profile"), QStringLiteral("host")}, kNow);
        if (!error.isEmpty()) {
            QVERIFY(!parsed.command);
            QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
            return;
        }
        QVERIFY2(parsed.command, qPrintable(parsed.error));
        const BanRecord& ban = parsed.command->ban;
        QTEST(ban.guid, "guid");
        QTEST(ban.address, "address");
        QFETCH(qint64, seconds);
        QCOMPARE(ban.until ? kNow.secsTo(*ban.until) : -1, seconds);
        QTEST(ban.servers, "servers");
        QTEST(parsed.rest, "rest");
    }

    void format_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("all");
        QTest::addColumn<QStringList>("expected"); // parts of the output, in order
        QTest::addColumn<QStringList>("absent");

        QTest::newRow("table hides lifted and expired")
            << int(Format::Table) << false << QStringList{"ID", "1", "=cmd", "permanent"}
            << QStringList{"old", "forgiven", "\x1b"};
        QTest::newRow("csv guards a formula name, all states")
            << int(Format::Csv) << true
            << QStringList{"id,names", "\"'=cmd\\u001b[2J\"", "old", "expired", "forgiven",
                           "lifted"}
            << QStringList{"\x1b"};
    }
    void format()
    {
        QFETCH(int, format);
        QFETCH(bool, all);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, absent);
        const QList<BanRecord> bans{ban(3, "forgiven", std::nullopt, true),
                                    ban(1, "=cmd\x1b[2J", std::nullopt),
                                    ban(2, "old", kNow.addSecs(-1))};
        const QString text = BansCommand::format(bans, Format(format), all, kNow);
        qsizetype at = 0;
        for (const QString& part : expected) {
            at = text.indexOf(part, at);
            QVERIFY2(at >= 0, qPrintable(part + " in:\n" + text));
        }
        for (const QString& part : absent) {
            QVERIFY2(!text.contains(part), qPrintable(part + " in:\n" + text));
        }
    }

    void jsonHasTheListedFields()
    {
        const QJsonArray array =
            QJsonDocument::fromJson(
                BansCommand::format({ban(2, "old", kNow.addSecs(-1))}, Format::Json, true, kNow)
                    .toUtf8())
                .array();
        QCOMPARE(array.size(), 1);
        const QJsonObject object = array.first().toObject();
        for (const char* key : {"id", "names", "guid", "address", "reason", "until", "by", "at",
                                "servers", "state"}) {
            QVERIFY2(object.contains(QLatin1String(key)), key);
        }
        QCOMPARE(object.value("until").toString(), "2026-12-07T19:59:59Z");
        QCOMPARE(object.value("state").toString(), "expired");
    }

    void runTakesAnAnswerGivenAtOnce()
    {
        AnsweringSource source;
        const BansCommand::Parsed parsed = BansCommand::parse(
            {QStringLiteral("add"), QStringLiteral("--guid"), QStringLiteral("7")}, {}, kNow);
        QVERIFY(parsed.command);
        const BansCommand::Outcome outcome = parsed.command->run(source, 1000);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.output, "41\n");
    }
};

GARRISON_TEST_GUILESS_MAIN(TestBansCommand)
#include "TestBansCommand.moc"
