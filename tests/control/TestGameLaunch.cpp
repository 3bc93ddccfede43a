#include "TestMain.h"
#include "TextRows.h"
#include "control/GameLaunch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace garrison;
using garrison::test::addTextRows;

class TestGameLaunch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // parameters() for 10.0.0.5:28960 and a password; workingFolder() for a path.
    void texts_data()
    {
        addTextRows(
            {"function", "input", "expected"},
            {{"no password keeps the blank", "parameters", "",
              "+connect 10.0.0.5:28960 +password "},
             {"password", "parameters", "s3cret", "+connect 10.0.0.5:28960 +password s3cret"},
             {"password with a blank", "parameters", "two words",
              "+connect 10.0.0.5:28960 +password two words"},
             {"backslash and CoDWaWmp.exe", "workingFolder", "C:\\Games\\CoD WaW\\CoDWaWmp.exe",
              "C:\\Games\\CoD WaW\\"},
             {"slash and CoDWaWmp.exe", "workingFolder", "/games/cod/CoDWaWmp.exe", "/games/cod/"},
             {"codwaw.exe is kept whole", "workingFolder", "C:\\Games\\codwaw.exe",
              "C:\\Games\\codwaw.exe"},
             {"other letter case is kept whole", "workingFolder", "/games/codwawmp.exe",
              "/games/codwawmp.exe"},
             {"every occurrence goes", "workingFolder", "/x/CoDWaWmp.exe/CoDWaWmp.exe", "/x//"}});
    }
    void texts()
    {
        QFETCH(QString, function);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(
            function == QLatin1String("parameters")
                ? GameLaunch::parameters(QStringLiteral("10.0.0.5"), QStringLiteral("28960"), input)
                : GameLaunch::workingFolder(input),
            expected);
    }

    // Flags: w for a windows program, c for a host that takes one command line, l for an
    // installed layer. Arguments are split at "|"; @ is the absolute path typed relatively.
    void plan_data()
    {
        addTextRows(
            {"path", "password", "flags", "program", "arguments", "commandLine"},
            {{"windows passes one command line", "/g/CoDWaWmp.exe", "", "wcl", "/g/CoDWaWmp.exe",
              "", "+connect A:28960 +password "},
             {"windows program through the installed layer", "/g/CoDWaWmp.exe", "s3cret", "wl",
              "/usr/bin/wine", "/g/CoDWaWmp.exe|+connect|A:28960|+password|s3cret", ""},
             {"windows program without a layer starts directly", "/g/CoDWaWmp.exe", "s3cret", "w",
              "/g/CoDWaWmp.exe", "+connect|A:28960|+password|s3cret", ""},
             {"native program never goes through the layer", "/g/CoDWaWmp.exe", "s3cret", "l",
              "/g/CoDWaWmp.exe", "+connect|A:28960|+password|s3cret", ""},
             {"no password leaves a bare +password", "/g/CoDWaWmp.exe", "", "", "/g/CoDWaWmp.exe",
              "+connect|A:28960|+password", ""},
             {"typed relative path is made absolute", "cod/CoDWaWmp.exe", "s3cret", "", "@",
              "+connect|A:28960|+password|s3cret", ""}});
    }
    void plan()
    {
        QFETCH(QString, path);
        QFETCH(QString, password);
        QFETCH(QString, flags);
        QFETCH(QString, program);
        QFETCH(QString, arguments);
        QFETCH(QString, commandLine);
        const QString layer = flags.contains('l') ? QStringLiteral("/usr/bin/wine") : QString();
        const GameLaunch::Host host{flags.contains('c'), [&](const QString& name) {
                                        return name == QLatin1String("wine") ? layer : QString();
                                    }};

        const GameStart start =
            GameLaunch::plan(path, QStringLiteral("+connect A:28960 +password ") + password,
                             flags.contains('w'), host);

        // "/g/..." is absolute here, and on Windows gains the current drive.
        const auto absolute = [](QString text) {
            return text.replace(QStringLiteral("/g/"),
                                QFileInfo(QStringLiteral("/g/x")).absolutePath() + u'/');
        };
        QCOMPARE(start.program,
                 program == "@" ? QDir::current().absoluteFilePath(path) : absolute(program));
        QCOMPARE(start.arguments, absolute(arguments).split('|', Qt::SkipEmptyParts));
        QCOMPARE(start.commandLine, commandLine);
        QCOMPARE(start.workingFolder, GameLaunch::workingFolder(path));
    }

    void isWindowsProgram_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no such file
        QTest::addColumn<bool>("expected");
        const auto row = [](const char* tag, const char* name, const QByteArray& content,
                            bool expected) { QTest::newRow(tag) << name << content << expected; };
        row("MZ header whatever the name", "game.bin", QByteArray("MZ\x90\0", 4), true);
        row("script named .exe", "CoDWaWmp.exe", "#!/bin/sh\n", false);
        row("empty file named .exe", "empty.exe", "", false);
        row("missing .EXE", "missing.EXE", QByteArray(), true);
        row("missing without suffix", "missing", QByteArray(), false);
    }
    void isWindowsProgram()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, expected);
        const QString path = test::scratchFolder() + QLatin1Char('/') + name;
        QVERIFY(content.isNull() ? !QFile::exists(path) : test::writeFile(path, content));
        QCOMPARE(GameLaunch::isWindowsProgram(path), expected);
    }
};

GARRISON_TEST_GUILESS_MAIN(TestGameLaunch)
#include "TestGameLaunch.moc"
