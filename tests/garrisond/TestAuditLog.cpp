#include "AuditLog.h"
#include "TestMain.h"

using garrisond::AuditLog;

class TestAuditLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The line is given without the time and address that start every line.
    void formatsOneLine_data()
    {
        QTest::addColumn<QString>("who");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* tag, const char* who, const char* event,
                            const QString& detail, const QString& line) {
            QTest::newRow(tag) << who << event << detail << line;
        };
        row("command", "alice/admin", "command", "kick Bob", "alice/admin command kick Bob\n");
        row("no detail", "-", "connected", "", "- connected\n");
        row("line break cannot forge a record", "alice/mp", "command",
            "say hi\n2024-01-01T00:00:00Z 1.2.3.4 root/x command y",
            "alice/mp command say hi\\x0a2024-01-01T00:00:00Z 1.2.3.4 root/x command y\n");
        row("backslash escaped", "-", "message", "a\\x0ab", "- message a\\x5cx0ab\n");
        row("claimed name escaped", "ev\ril/mp", "login", "", "ev\\x0dil/mp login\n");
        row("long detail cut", "-", "login-refused", QString(65500, QLatin1Char('A')),
            "- login-refused " + QString(400, QLatin1Char('A')) + u'\u2026' + '\n');
        row("escapes count towards the cut", "-", "message", QString(1000, QLatin1Char('\n')),
            "- message " + QStringLiteral("\\x0a").repeated(100) + u'\u2026' + '\n');
    }
    void formatsOneLine()
    {
        QFETCH(QString, who);
        QFETCH(QString, event);
        QFETCH(QString, detail);
        // The time is written in UTC whatever zone it comes in.
        const QDateTime when(QDate(2024, 3, 1), QTime(13, 30, 45, 250), Qt::OffsetFromUTC, 3600);
        QFETCH(QString, line);
        QCOMPARE(AuditLog::formatLine(when, QStringLiteral("127.0.0.1"), who, event, detail),
                 QStringLiteral("2024-03-01T12:30:45.250Z 127.0.0.1 ") + line);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestAuditLog)
#include "TestAuditLog.moc"
