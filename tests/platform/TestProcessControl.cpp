#include "TestMain.h"
#include "platform/ProcessControl.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

using namespace garrison;

class TestProcessControl : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void endsEveryProcessOfThatImageName()
    {
        // Two real processes whose executable file is called pbucon.exe.
        const QString sleeper = QStandardPaths::findExecutable(QStringLiteral("sleep"));
        QVERIFY(!sleeper.isEmpty());
        const QString image = QDir(test::scratchFolder()).filePath(QStringLiteral("pbucon.exe"));
        QFile::remove(image);
        QVERIFY(QFile::copy(sleeper, image));
        QVERIFY(QFile::setPermissions(image, QFile::ReadOwner | QFile::ExeOwner));

        QProcess first;
        QProcess second;
        QProcess bystander;
        for (QProcess* process : {&first, &second, &bystander}) {
            process->start(process == &bystander ? sleeper : image, {QStringLiteral("60")});
            QVERIFY(process->waitForStarted());
        }

        // At least ours: a relay that something else left running goes as well.
        QVERIFY(ProcessControl::KillProcessByName(QStringLiteral("pbucon.exe")) >= 2);
        QVERIFY(first.waitForFinished(5000));
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(bystander.state(), QProcess::Running);
        bystander.kill();
        bystander.waitForFinished(5000);
    }

    void aNameThatMatchesNothingDoesNothing()
    {
        QCOMPARE(ProcessControl::KillProcessByName(QStringLiteral("no-such-image.exe")), 0);
        QCOMPARE(ProcessControl::KillProcessByName(QString()), 0);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestProcessControl)
#include "TestProcessControl.moc"
