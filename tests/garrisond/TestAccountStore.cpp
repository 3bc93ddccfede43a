#include "AccountStore.h"
#include "TestMain.h"
#include "TextRows.h"

#include <QFile>
#include <QTemporaryDir>

using garrisond::Account;
using garrisond::AccountStore;
using garrisond::PasswordHash;

class TestAccountStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void roundTripsAccountsWithoutPlainPasswords()
    {
        AccountStore store(path());
        store.put(Account{QStringLiteral("alice"),
                          PasswordHash::create(QStringLiteral("Tr0ub4dor&3"), 1000),
                          {QStringLiteral("mp"), QStringLiteral("poweradmin")}});
        store.put(Account{QString::fromUtf8("Jürgen"),
                          PasswordHash::create(QStringLiteral("b"), 1000),
                          {QStringLiteral("mp")}});
        QString error;
        QVERIFY2(store.save(&error), qPrintable(error));
        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("Tr0ub4dor"));
        QCOMPARE(file.permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());

        AccountStore loaded(path());
        QVERIFY2(loaded.load(&error), qPrintable(error));
        QCOMPARE(loaded.accounts().size(), 2);
        const Account* alice = loaded.find(QStringLiteral("alice"));
        QVERIFY(alice != nullptr);
        QCOMPARE(alice->levels, QStringList({"mp", "poweradmin"}));
        QVERIFY(alice->password.matches(QStringLiteral("Tr0ub4dor&3")));
        const Account* juergen = loaded.find(QString::fromUtf8("Jürgen"));
        QVERIFY(juergen != nullptr);
        QVERIFY(juergen->password.matches(QStringLiteral("b")));

        // The account after a removed one is still found, and replaced where it is.
        QVERIFY(loaded.remove(QStringLiteral("alice")));
        QVERIFY(!loaded.put(Account{QString::fromUtf8("Jürgen"),
                                    PasswordHash::create(QStringLiteral("c"), 1000),
                                    {QStringLiteral("admin")}}));
        QCOMPARE(loaded.accounts().size(), 1);
        QCOMPARE(loaded.find(QString::fromUtf8("Jürgen"))->levels, QStringList{"admin"});
    }
    void rejectsDamagedFile_data()
    {
        const QString hash = PasswordHash::create(QStringLiteral("x"), 1000).toString();
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not JSON") << QByteArray("name=alice");
        QTest::newRow("binary") << QByteArray("\x00\xff\x13", 3);
        QTest::newRow("plain password instead of hash") << QByteArray(
            R"({"accounts":[{"name":"a","password_hash":"secret","levels":["mp"]}]})");
        QTest::newRow("name with colon") << (R"({"accounts":[{"name":"a:b","password_hash":")" +
                                             hash.toUtf8() + R"(","levels":["mp"]}]})");
        QTest::newRow("duplicate name")
            << (R"({"accounts":[{"name":"a","password_hash":")" + hash.toUtf8() +
                R"(","levels":["mp"]},{"name":"a","password_hash":")" + hash.toUtf8() +
                R"(","levels":["mp"]}]})");
    }
    void rejectsDamagedFile()
    {
        QFETCH(QByteArray, content);
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        AccountStore store(path());
        QString error;
        QVERIFY(!store.load(&error));
        QVERIFY(!error.isEmpty());
        QVERIFY(store.accounts().isEmpty());
    }
    void validatesNames_data()
    {
        garrison::test::addTextRows({"name", "valid"},
                                    {{"plain", "alice", "yes"},
                                     {"dash and blank inside", "big - al", "yes"},
                                     {"empty", "", ""},
                                     {"colon", "al:ice", ""},
                                     {"leading blank", " alice", ""},
                                     {"control character", "al\x01ice", ""}});
        QTest::newRow("65 characters") << QString(65, QLatin1Char('a')) << QString();
    }
    void validatesNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, valid);
        QCOMPARE(AccountStore::isValidName(name), !valid.isEmpty());
    }
    // The levels read are joined by commas; none for a refused list.
    void parsesLevels_data()
    {
        garrison::test::addTextRows({"list", "levels"},
                                    {{"two", "mp,admin", "mp,admin"},
                                     {"blanks and repeats", " poweradmin , mp,mp", "poweradmin,mp"},
                                     {"wrong case", "Admin", ""},
                                     {"unknown word", "mp,root", ""},
                                     {"empty", "", ""}});
    }
    void parsesLevels()
    {
        QFETCH(QString, list);
        QFETCH(QString, levels);
        QString error;
        QCOMPARE(AccountStore::parseLevels(list, &error), levels.split(u',', Qt::SkipEmptyParts));
        QCOMPARE(error.isEmpty(), !levels.isEmpty());
    }

private:
    QString path() const { return m_dir->filePath(QStringLiteral("accounts.json")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

GARRISON_TEST_GUILESS_MAIN(TestAccountStore)
#include "TestAccountStore.moc"
