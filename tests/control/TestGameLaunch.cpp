#include "TestMain.h"
#include "TextRows.h"
#include "control/GameLaunch.h"

#include <QDir>
#include <QFile>

using namespace garrison;
using garrison::test::addTextRows;

class TestGameLaunch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parameters_data()
    {
        addTextRows({"password", "expected"},
                    {{"no password keeps the blank", "", "+connect 10.0.0.5:28960 +password "},
                     {"password", "s3cret", "+connect 10.0.0.5:28960 +password s3cret"},
                     {"password with a blank", "two words",
                      "+connect 10.0.0.5:28960 +password two words"}});
    }
    void parameters()
    {
        QFETCH(QString, password);
        QFETCH(QString, expected);
        QCOMPARE(
            GameLaunch::parameters(QStringLiteral("10.0.0.5"), QStringLiteral("28960"), password),
            expected);
    }

    void workingFolder_data()
    {
        addTextRows(
            {"path", "expected"},
            {{"backslash and CoDWaWmp.exe", "C:\\Games\\CoD WaW\\CoDWaWmp.exe",
              "C:\\Games\\CoD WaW\\"},
             {"slash and CoDWaWmp.exe", "/games/cod/CoDWaWmp.exe", "/games/cod/"},
             {"codwaw.exe is kept whole", "C:\\Games\\codwaw.exe", "C:\\Games\\codwaw.exe"},
             {"other letter case is kept whole", "/games/codwawmp.exe", "/games/codwawmp.exe"},
             {"every occurrence goes", "/x/CoDWaWmp.exe/CoDWaWmp.exe", "/x//"}});
    }
    void workingFolder()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(GameLaunch::workingFolder(path), expected);
    }

    void plan_data()
    {
        const QString exe = QStringLiteral("/games/cod/CoDWaWmp.exe");
        const QString params = QStringLiteral("+connect A:28960 +password s3cret");
        const QStringList split{QStringLiteral("+connect"), QStringLiteral("A:28960"),
                                QStringLiteral("+password"), QStringLiteral("s3cret")};
        const QString wine = QStringLiteral("/usr/bin/wine");

        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("parameters");
        QTest::addColumn<bool>("windowsProgram");
        QTest::addColumn<bool>("commandLineHost");
        QTest::addColumn<QString>("installedLayer");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("commandLine");

        QTest::newRow("windows passes one command line")
            << exe << QStringLiteral("+connect A:28960 +password ") << true << true << wine << exe
            << QStringList() << QStringLiteral("+connect A:28960 +password ");
        QTest::newRow("windows program through the installed layer")
            << exe << params << true << false << wine << wine << (QStringList{exe} + split)
            << QString();
        QTest::newRow("windows program without a layer starts directly")
            << exe << params << true << false << QString() << exe << split << QString();
        QTest::newRow("native program never goes through the layer")
            << exe << params << false << false << wine << exe << split << QString();
        QTest::newRow("no password leaves a bare +password")
            << exe << QStringLiteral("+connect A:28960 +password ") << false << false << QString()
            << exe
            << QStringList{QStringLiteral("+connect"), QStringLiteral("A:28960"),
                           QStringLiteral("+password")}
            << QString();
        QTest::newRow("typed relative path is made absolute")
            << QStringLiteral("cod/CoDWaWmp.exe") << params << false << false << QString()
            << QDir::current().absoluteFilePath(QStringLiteral("cod/CoDWaWmp.exe")) << split
            << QString();
    }
    void plan()
    {
        QFETCH(QString, path);
        QFETCH(QString, parameters);
        QFETCH(bool, windowsProgram);
        QFETCH(bool, commandLineHost);
        QFETCH(QString, installedLayer);
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QString, commandLine);
        const GameLaunch::Host host{commandLineHost, [&](const QString& name) {
                                        return name == QLatin1String("wine") ? installedLayer
                                                                             : QString();
                                    }};

        const GameStart start = GameLaunch::plan(path, parameters, windowsProgram, host);

        QCOMPARE(start.program, program);
        QCOMPARE(start.arguments, arguments);
        QCOMPARE(start.commandLine, commandLine);
        QCOMPARE(start.workingFolder, GameLaunch::workingFolder(path));
    }

    void isWindowsProgram_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no such file
        QTest::addColumn<bool>("expected");
        QTest::newRow("MZ header whatever the name")
            << QStringLiteral("game.bin") << QByteArray("MZ\x90\0", 4) << true;
        QTest::newRow("script named .exe")
            << QStringLiteral("CoDWaWmp.exe") << QByteArray("#!/bin/sh\n") << false;
        QTest::newRow("empty file named .exe")
            << QStringLiteral("empty.exe") << QByteArray("") << false;
        QTest::newRow("missing .EXE") << QStringLiteral("missing.EXE") << QByteArray() << true;
        QTest::newRow("missing without suffix")
            << QStringLiteral("missing") << QByteArray() << false;
    }
    void isWindowsProgram()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, expected);
        const QString path = QDir(test::scratchFolder()).filePath(name);
        QFile::remove(path);
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QCOMPARE(GameLaunch::isWindowsProgram(path), expected);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestGameLaunch)
#include "TestGameLaunch.moc"
