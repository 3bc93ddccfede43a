#include "LoginRequest.h"
#include "TestMain.h"
#include "TextRows.h"

using garrisond::LoginRequest;

class TestLoginRequest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The user, password and level of a valid message; a row without a user is refused.
    void parses_data()
    {
        garrison::test::addTextRows({"message", "user", "password", "level"},
                                    {{"plain", "alice:pw-admin", "alice", "pw", "admin"},
                                     {"dash in password", "alice:a-b-mp", "alice", "a-b", "mp"},
                                     {"colon in password", "alice:a:b-mp", "alice", "a:b", "mp"},
                                     {"dash in name", "al-ice:pw-mp", "al-ice", "pw", "mp"},
                                     {"empty password", "alice:-mp", "alice", "", "mp"},
                                     {"empty level", "alice:pw-", "alice", "pw", ""},
                                     {"no colon", "alice-pw-mp", "", "", ""},
                                     {"no dash", "alice:pw", "", "", ""},
                                     {"dash only before colon", "a-lice:pw", "", "", ""},
                                     {"empty name", ":pw-mp", "", "", ""},
                                     {"request word", "getrconpass", "", "", ""}});
    }
    void parses()
    {
        QFETCH(QString, message);
        QFETCH(QString, user);
        const auto request = LoginRequest::parse(message);
        QCOMPARE(request.has_value(), !user.isEmpty());
        if (request) {
            QCOMPARE(request->user, user);
            QTEST(request->password, "password");
            QTEST(request->level, "level");
        }
    }
};

GARRISON_TEST_GUILESS_MAIN(TestLoginRequest)
#include "TestLoginRequest.moc"
