#include "SimRedirectBuffer.h"
#include "support/TestMain.h"

using garrison::sim::SimRedirectBuffer;

namespace {

// A script of prints: "#N" prints N blanks one by one, "xN" prints N letters at once, anything
// else is printed as it stands.
QList<QByteArray> run(const QStringList& script)
{
    SimRedirectBuffer buffer;
    for (const QString& step : script) {
        if (step.startsWith(u'#')) {
            buffer.printBlanks(step.mid(1).toInt());
        } else if (step.startsWith(u'x') && step.size() > 1 && step.at(1).isDigit()) {
            buffer.print(QString(step.mid(1).toInt(), u'x'));
        } else {
            buffer.print(step);
        }
    }
    return buffer.finish();
}

} // namespace

class TestSimRedirectBuffer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pack_data();
    void pack();
    void encodesWindows1252();
    void joinSkipsHeaders();
};

void TestSimRedirectBuffer::pack_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QString>("secondStartsWith");

    QTest::newRow("nothing printed") << QStringList{} << QList<int>{0} << QString();
    QTest::newRow("fits") << QStringList{"a\n", "b\n"} << QList<int>{4} << QString();
    QTest::newRow("exactly full") << QStringList{"x1000", "x7"} << QList<int>{1007} << QString();
    QTest::newRow("one byte over")
        << QStringList{"x1000", "x8"} << QList<int>{1000, 8} << "xxxxxxxx";
    QTest::newRow("cut inside a line")
        << QStringList{"x1005", "abc", "def\n"} << QList<int>{1005, 7} << "abcdef\n";
    QTest::newRow("padding fills the buffer blank by blank")
        << QStringList{"x1005", "#4", "z"} << QList<int>{1007, 3} << "  z";
    QTest::newRow("oversized print is cut")
        << QStringList{"x2500"} << QList<int>{1007, 1007, 486} << "xxx";
    QTest::newRow("oversized print after text")
        << QStringList{"ab", "x2000"} << QList<int>{2, 1007, 993} << "xxx";
}

void TestSimRedirectBuffer::pack()
{
    QFETCH(QStringList, script);
    QFETCH(QList<int>, sizes);
    QFETCH(QString, secondStartsWith);

    const QList<QByteArray> datagrams = run(script);

    QList<int> found;
    for (const QByteArray& datagram : datagrams) {
        QVERIFY(datagram.startsWith(SimRedirectBuffer::kHeader));
        found.append(static_cast<int>(datagram.size() - SimRedirectBuffer::kHeader.size()));
    }
    QCOMPARE(found, sizes);
    if (!secondStartsWith.isEmpty()) {
        QVERIFY(datagrams.at(1)
                    .mid(SimRedirectBuffer::kHeader.size())
                    .startsWith(secondStartsWith.toLatin1()));
    }
}

void TestSimRedirectBuffer::encodesWindows1252()
{
    const QList<QByteArray> datagrams = run({QStringLiteral("caf\u00e9 \u20ac \u4e2d\n")});

    QCOMPARE(datagrams,
             QList<QByteArray>{QByteArrayLiteral("\xFF\xFF\xFF\xFFprint\ncaf\xE9 \x80 ?\n")});
}

void TestSimRedirectBuffer::joinSkipsHeaders()
{
    const QList<QByteArray> datagrams = run({QStringLiteral("x1500"), QStringLiteral("\n")});

    QCOMPARE(datagrams.size(), 2);
    QCOMPARE(SimRedirectBuffer::join(datagrams), QString(1500, u'x') + u'\n');
}

GARRISON_TEST_GUILESS_MAIN(TestSimRedirectBuffer)
#include "TestSimRedirectBuffer.moc"
