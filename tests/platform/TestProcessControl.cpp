#include "TestMain.h"
#include "platform/ProcessControl.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

using namespace garrison;

class TestProcessControl : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void endsEveryProcessOfThatImageName()
    {
        // Two real processes whose executable file is called pbucon.exe.
        const QString sleeper = test::sleeperProgram();
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

    // The relay's arguments go to the shell as one command line; the program splits it again.
    void windowsCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << QStringList{"ini=codwaw.ini"} << "ini=codwaw.ini";
        QTest::newRow("several") << QStringList{"a", "b"} << "a b";
        QTest::newRow("blank") << QStringList{"ini=my relay.ini"} << "\"ini=my relay.ini\"";
        QTest::newRow("empty") << QStringList{"", "x"} << "\"\" x";
        QTest::newRow("quote") << QStringList{"say \"hi\""} << "\"say \\\"hi\\\"\"";
        QTest::newRow("backslashes before no quote")
            << QStringList{"C:\\Games\\relay"} << "C:\\Games\\relay";
        QTest::newRow("folder with a blank, ending in a backslash")
            << QStringList{"C:\\My Games\\"} << "\"C:\\My Games\\\\\"";
        QTest::newRow("backslash before a quote") << QStringList{"a\\\"b"} << "\"a\\\\\\\"b\"";
        QTest::newRow("tab") << QStringList{"a\tb"} << "\"a\tb\"";
    }
    void windowsCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        QCOMPARE(ProcessControl::windowsCommandLine(arguments), line);
#ifdef Q_OS_WIN
        // And the system splits it back as written.
        int count = 0;
        const std::wstring whole = L"pbucon.exe " + line.toStdWString();
        wchar_t** split = CommandLineToArgvW(whole.c_str(), &count);
        QStringList back;
        for (int i = 1; i < count; ++i) {
            back.append(QString::fromWCharArray(split[i]));
        }
        LocalFree(split);
        QCOMPARE(back, arguments);
#endif
    }

    void aNameThatMatchesNothingDoesNothing()
    {
        QCOMPARE(ProcessControl::KillProcessByName(QStringLiteral("no-such-image.exe")), 0);
        QCOMPARE(ProcessControl::KillProcessByName(QString()), 0);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestProcessControl)
#include "TestProcessControl.moc"
