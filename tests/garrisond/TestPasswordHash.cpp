#include "PasswordHash.h"
#include "TestMain.h"

using garrisond::PasswordHash;

class TestPasswordHash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matchesOnlyTheSamePassword_data();
    void matchesOnlyTheSamePassword();
    void survivesItsTextForm();
    void saltsDiffer();
    void rejectsDamagedText_data();
    void rejectsDamagedText();
};

void TestPasswordHash::matchesOnlyTheSamePassword_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("matches");
    QTest::newRow("same") << "s3cret"
                          << "s3cret" << true;
    QTest::newRow("other case") << "s3cret"
                                << "S3cret" << false;
    QTest::newRow("prefix") << "s3cret"
                            << "s3cre" << false;
    QTest::newRow("trailing blank") << "s3cret"
                                    << "s3cret " << false;
    QTest::newRow("empty given") << "s3cret"
                                 << "" << false;
    QTest::newRow("non-ASCII same")
        << QString::fromUtf8("pässwörd€") << QString::fromUtf8("pässwörd€") << true;
    QTest::newRow("non-ASCII other") << QString::fromUtf8("pässwörd") << "passwort" << false;
    QTest::newRow("dash and colon") << "a-b:c"
                                    << "a-b:c" << true;
}

void TestPasswordHash::matchesOnlyTheSamePassword()
{
    QFETCH(QString, stored);
    QFETCH(QString, given);
    QFETCH(bool, matches);
    QCOMPARE(PasswordHash::create(stored, 1000).matches(given), matches);
}

void TestPasswordHash::survivesItsTextForm()
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
}

void TestPasswordHash::saltsDiffer()
{
    const QString a = PasswordHash::create(QStringLiteral("same"), 1000).toString();
    const QString b = PasswordHash::create(QStringLiteral("same"), 1000).toString();
    QVERIFY(a != b);
}

void TestPasswordHash::rejectsDamagedText_data()
{
    const QString good = PasswordHash::create(QStringLiteral("x"), 1000).toString();
    const QStringList parts = good.split(QLatin1Char('$'));
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("plain password") << "hunter2";
    QTest::newRow("other scheme") << QString(good).replace(QStringLiteral("pbkdf2-sha256"),
                                                           QStringLiteral("md5"));
    QTest::newRow("zero iterations") << QStringList{parts[0], "0", parts[2], parts[3]}.join('$');
    QTest::newRow("huge iterations")
        << QStringList{parts[0], "999999999", parts[2], parts[3]}.join('$');
    QTest::newRow("iterations not a number")
        << QStringList{parts[0], "many", parts[2], parts[3]}.join('$');
    QTest::newRow("salt not base64") << QStringList{parts[0], parts[1], "%%%", parts[3]}.join('$');
    QTest::newRow("short key") << QStringList{parts[0], parts[1], parts[2], "AAAA"}.join('$');
    QTest::newRow("missing part") << QStringList{parts[0], parts[1], parts[2]}.join('$');
    QTest::newRow("extra part") << good + QStringLiteral("$x");
}

void TestPasswordHash::rejectsDamagedText()
{
    QFETCH(QString, text);
    QVERIFY(!PasswordHash::fromString(text).has_value());
}

GARRISON_TEST_GUILESS_MAIN(TestPasswordHash)
#include "TestPasswordHash.moc"
