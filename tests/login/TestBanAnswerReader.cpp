#include "TestMain.h"
#include "TextRows.h"
#include "bans/BanAnswerReader.h"

using garrison::BanAnswerReader;

// The daemon's answers about bans as the link's receive events cut them: a long list comes
// in many pieces, cut anywhere, and other messages may follow an answer.
class TestBanAnswerReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void take_data()
    {
        // received: the receive events, separated by "|" ("\n" stands for LF); answers: what
        // was taken, one "kind:id:bans" each (for a list ":total:offset" too; for reasons
        // "kind:id:reason;reason"), separated by
        // blanks; rest: what each event left.
        garrison::test::addTextRows(
            {"received", "answers", "rest"},
            {{"list whole",
              "BANLIST 2\\n{\"guid\":\"1\",\"names\":[\"a|b\"]}\\n{\"address\":\"192.0.2.1\"}\\n",
              "list:0:2:2:0", ""},
             {"list cut in a word, a line and a value",
              "BAN|LIST 2\\n{\"guid\":|\"1\"}\\n{\"gu|id\":\"2\"}\\nADDUSER x", "list:0:2:2:0",
              "|||ADDUSER x"},
             {"empty list, then a refusal", "BANLIST 0\\nBANREFUSED no\\n",
              "list:0:0:0:0 refused:0:0", ""},
             {"page of a longer list", "BANLIST 1 3 2\\n{\"guid\":\"3\"}\\n", "list:0:1:3:2", ""},
             {"page past the end", "BANLIST 0 1 5\\n", "list:0:0:1:5", ""},
             {"added, then the log", "BANADDED 7\\n0:00 InitGame", "added:7:0", "0:00 InitGame"},
             {"engine's file cut in its word, then a list",
              "BANF|ILE 1\n{\"guid\":\"1\"}\nBANLIST 0\n", "engine:0:1 list:0:0:0:0", "|"},
             {"reasons, one like an answer, then the log",
              "BANREASONS 2\\nTeam kil|ling, twice\\nBANADDED 7\\n0:00 InitGame",
              "reasons:0:Team killing, twice;BANADDED 7", "|0:00 InitGame"},
             {"not ours", "BANANA split", "", "BANANA split"},
             {"a word cut off waits", "BANL", "", ""}});
    }
    void take()
    {
        QFETCH(QString, received);
        QFETCH(QString, answers);
        QFETCH(QString, rest);
        static const char* const kinds[] = {"list",    "added",   "changed", "imported",
                                            "refused", "changes", "engine",  "reasons"};
        BanAnswerReader reader;
        QList<BanAnswerReader::Answer> taken;
        QStringList left;
        // A row's pieces keep "|" inside JSON strings when the piece does not end there.
        const QStringList pieces = received.replace(QStringLiteral("\\n"), QStringLiteral("\n"))
                                       .replace(QStringLiteral("a|b"), QStringLiteral("a\x01b"))
                                       .split(u'|');
        for (const QString& piece : pieces) {
            left.append(reader.take(QString(piece).replace(u'\x01', u'|'), &taken));
        }
        QStringList described;
        for (const BanAnswerReader::Answer& answer : taken) {
            QString text = QStringLiteral("%1:%2:%3")
                               .arg(QLatin1String(kinds[int(answer.kind)]))
                               .arg(answer.id)
                               .arg(answer.kind == BanAnswerReader::Answer::Kind::Reasons
                                        ? answer.reasons.join(u';')
                                        : QString::number(answer.bans.size()));
            if (answer.kind == BanAnswerReader::Answer::Kind::List) {
                text += QStringLiteral(":%1:%2").arg(answer.total).arg(answer.offset);
            }
            described.append(text);
        }
        QCOMPARE(described.join(u' '), answers);
        QCOMPARE(left.join(u'|'), rest);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestBanAnswerReader)
#include "TestBanAnswerReader.moc"
