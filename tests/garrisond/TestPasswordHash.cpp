#include "PasswordHash.h"
#include "TestMain.h"
#include "TextRows.h"

using garrisond::PasswordHash;

class TestPasswordHash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matchesOnlyTheSamePassword_data()
    {
        garrison::test::addTextRows({"stored", "given", "matches"},
                                    {{"same", "s3cret", "s3cret", "yes"},
                                     {"other case", "s3cret", "S3cret", ""},
                                     {"prefix", "s3cret", "s3cre", ""},
                                     {"trailing blank", "s3cret", "s3cret ", ""},
                                     {"empty given", "s3cret", "", ""},
                                     {"non-ASCII same", "pässwörd€", "pässwörd€", "yes"},
                                     {"non-ASCII other", "pässwörd", "passwort", ""},
                                     {"dash and colon", "a-b:c", "a-b:c", "yes"}});
    }
    void matchesOnlyTheSamePassword()
    {
        QFETCH(QString, stored);
        QFETCH(QString, given);
        QFETCH(QString, matches);
        QCOMPARE(PasswordHash::create(stored, 1000).matches(given), !matches.isEmpty());
    }
    void survivesItsTextForm()
    {
        const PasswordHash hash = PasswordHash::create(QStringLiteral("hunter2"), 1234);
        const QString text = hash.toString();
        QVERIFY(!text.contains(QStringLiteral("hunter2")));
        QVERIFY(text.startsWith(QStringLiteral("pbkdf2-sha256$1234$")));
        const auto back = PasswordHash::fromString(text);
        QVERIFY(back.has_value());
        QCOMPARE(back->iterations(), 1234);
        QVERIFY(back->matches(QStringLiteral("hunter2")));
        QVERIFY(!back->matches(QStringLiteral("hunter3")));
        // A fresh salt each time.
        QVERIFY(PasswordHash::create(QStringLiteral("hunter2"), 1234).toString() != text);
    }
    void rejectsDamagedText_data()
    {
        const QString good = PasswordHash::create(QStringLiteral("x"), 1000).toString();
        const QStringList parts = good.split(QLatin1Char('$'));
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("plain password") << "hunter2";
        QTest::newRow("other scheme")
            << QString(good).replace(QStringLiteral("pbkdf2-sha256"), QStringLiteral("md5"));
        QTest::newRow("zero iterations")
            << QStringList{parts[0], "0", parts[2], parts[3]}.join('$');
        QTest::newRow("huge iterations")
            << QStringList{parts[0], "999999999", parts[2], parts[3]}.join('$');
        QTest::newRow("iterations not a number")
            << QStringList{parts[0], "many", parts[2], parts[3]}.join('$');
        QTest::newRow("salt not base64")
            << QStringList{parts[0], parts[1], "%%%", parts[3]}.join('$');
        QTest::newRow("short key") << QStringList{parts[0], parts[1], parts[2], "AAAA"}.join('$');
        QTest::newRow("missing part") << QStringList{parts[0], parts[1], parts[2]}.join('$');
        QTest::newRow("extra part") << good + QStringLiteral("$x");
    }
    void rejectsDamagedText()
    {
        QFETCH(QString, text);
        QVERIFY(!PasswordHash::fromString(text).has_value());
    }
};

GARRISON_TEST_GUILESS_MAIN(TestPasswordHash)
#include "TestPasswordHash.moc"
