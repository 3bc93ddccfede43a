#include "TestMain.h"
#include "platform/AnsiText.h"

using namespace garrison;

class TestAnsiText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyByteRoundTrips()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b) {
            all.append(static_cast<char>(b));
        }
        const QString text = fromAnsi(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(toAnsi(text), all);
    }

    // Both ways where the text is in the code page; outside it a character becomes one "?".
    void encode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("status") << QByteArray("status");
        QTest::newRow("latin") << QStringLiteral(u"Jörg ú") << QByteArray("J\xF6rg \xFA");
        QTest::newRow("euro and quotes")
            << QStringLiteral(u"\u20AC \u201Cx\u201D") << QByteArray("\x80 \x93x\x94");
        QTest::newRow("outside the code page") << QStringLiteral(u"a\u0416b") << QByteArray("a?b");
        QTest::newRow("astral character is one ?")
            << QStringLiteral(u"x\U0001F600y") << QByteArray("x?y");
        QTest::newRow("high controls")
            << QStringLiteral(u"\u20AC\u0178\u00FF") << QByteArray("\x80\x9F\xFF");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void encode()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(toAnsi(text), bytes);
        if (!bytes.contains('?')) {
            QCOMPARE(fromAnsi(bytes), text);
        }
    }
};

GARRISON_TEST_GUILESS_MAIN(TestAnsiText)
#include "TestAnsiText.moc"
