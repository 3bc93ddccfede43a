#include "TestMain.h"
#include "platform/CredentialVault.h"

using namespace garrison;
using Outcome = CredentialVault::Outcome;

Q_DECLARE_METATYPE(CredentialVault::Outcome)

// The Credential Manager of the user who runs the test, under target names of this run only,
// removed at the end.
class TestCredentialVault : public QObject {
    Q_OBJECT

    QString target(const char* row) const
    {
        return QStringLiteral("GARRISON-test/%1/%2")
            .arg(QCoreApplication::applicationPid())
            .arg(QLatin1String(row));
    }

private Q_SLOTS:
    // Written, read back as written; `read`: what a read finds after the write.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("secret");
        QTest::addColumn<Outcome>("written");
        QTest::addColumn<Outcome>("read");
        QTest::newRow("plain") << QStringLiteral("s3cret pw") << Outcome::Done << Outcome::Done;
        QTest::newRow("beyond Latin-1") << QStringLiteral("pässwörd €5 пароль 密码 \U0001F511")
                                        << Outcome::Done << Outcome::Done;
        QTest::newRow("longest kept") << QString(256, u'x') << Outcome::Done << Outcome::Done;
        QTest::newRow("too long") << QString(257, u'x') << Outcome::Failed << Outcome::NotFound;
        QTest::newRow("empty keeps nothing") << QString() << Outcome::Done << Outcome::NotFound;
    }
    void roundTrip()
    {
        QFETCH(QString, secret);
        QFETCH(Outcome, written);
        QFETCH(Outcome, read);
        const QString name = target(QTest::currentDataTag());
        const CredentialVault::Result write = CredentialVault::write(name, secret);
        QCOMPARE(write.outcome, written);
        QCOMPARE(write.error.isEmpty(), written != Outcome::Failed);
        const CredentialVault::Result back = CredentialVault::read(name);
        QCOMPARE(back.outcome, read);
        QCOMPARE(back.secret, read == Outcome::Done ? secret : QString());
        CredentialVault::remove(name);
    }

    // A new value replaces the old one; an empty one removes it, as does remove().
    void replacedAndRemoved()
    {
        const QString name = target("replaced");
        QCOMPARE(CredentialVault::write(name, QStringLiteral("first")).outcome, Outcome::Done);
        QCOMPARE(CredentialVault::write(name, QStringLiteral("second")).outcome, Outcome::Done);
        QCOMPARE(CredentialVault::read(name).secret, QStringLiteral("second"));
        QCOMPARE(CredentialVault::write(name, QString()).outcome, Outcome::Done);
        QCOMPARE(CredentialVault::read(name).outcome, Outcome::NotFound);

        QCOMPARE(CredentialVault::write(name, QStringLiteral("third")).outcome, Outcome::Done);
        QCOMPARE(CredentialVault::remove(name).outcome, Outcome::Done);
        QCOMPARE(CredentialVault::remove(name).outcome, Outcome::NotFound);
        // Target names are the Credential Manager's own keys: another one is another entry.
        QCOMPARE(CredentialVault::read(target("never written")).outcome, Outcome::NotFound);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestCredentialVault)
#include "TestCredentialVault.moc"
