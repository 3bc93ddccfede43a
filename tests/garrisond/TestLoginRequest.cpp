#include "LoginRequest.h"
#include "TestMain.h"

using garrisond::LoginRequest;

class TestLoginRequest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parses_data();
    void parses();
};

void TestLoginRequest::parses_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("level");
    QTest::newRow("plain") << "alice:pw-admin" << true << "alice"
                           << "pw"
                           << "admin";
    QTest::newRow("dash in password") << "alice:a-b-mp" << true << "alice"
                                      << "a-b"
                                      << "mp";
    QTest::newRow("colon in password") << "alice:a:b-mp" << true << "alice"
                                       << "a:b"
                                       << "mp";
    QTest::newRow("dash in name") << "al-ice:pw-mp" << true << "al-ice"
                                  << "pw"
                                  << "mp";
    QTest::newRow("empty password") << "alice:-mp" << true << "alice"
                                    << ""
                                    << "mp";
    QTest::newRow("empty level") << "alice:pw-" << true << "alice"
                                 << "pw"
                                 << "";
    QTest::newRow("no colon") << "alice-pw-mp" << false << ""
                              << ""
                              << "";
    QTest::newRow("no dash") << "alice:pw" << false << ""
                             << ""
                             << "";
    QTest::newRow("dash only before colon") << "a-lice:pw" << false << ""
                                            << ""
                                            << "";
    QTest::newRow("empty name") << ":pw-mp" << false << ""
                                << ""
                                << "";
    QTest::newRow("request word") << "getrconpass" << false << ""
                                  << ""
                                  << "";
}

void TestLoginRequest::parses()
{
    QFETCH(QString, message);
    QFETCH(bool, valid);
    const auto request = LoginRequest::parse(message);
    QCOMPARE(request.has_value(), valid);
    if (valid) {
        QTEST(request->user, "user");
        QTEST(request->password, "password");
        QTEST(request->level, "level");
    }
}

GARRISON_TEST_GUILESS_MAIN(TestLoginRequest)
#include "TestLoginRequest.moc"
