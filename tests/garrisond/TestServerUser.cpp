#include "ServerUser.h"
#include "TestMain.h"

#include <cerrno>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using garrisond::ServerUser;

class TestServerUser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each row runs in a child of its own (as root, which may otherwise take any id) confined to
    // nobody (65534, group 65534), and makes one system call with up to three ids; -1 leaves
    // an id as it is. setgroups' argument is the number of groups (each is root's group).
    void confinesIdChangesToTheUser_data()
    {
        QTest::addColumn<long>("call");
        QTest::addColumn<QList<long>>("ids");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("setresuid to the user")
            << long(SYS_setresuid) << QList<long>{65534, 65534, 65534} << true;
        QTest::newRow("setresuid keeping two ids")
            << long(SYS_setresuid) << QList<long>{-1, 65534, -1} << true;
        QTest::newRow("setresuid to root") << long(SYS_setresuid) << QList<long>{0, 0, 0} << false;
        QTest::newRow("setresuid keeping root as saved id")
            << long(SYS_setresuid) << QList<long>{65534, 65534, 0} << false;
        QTest::newRow("setuid to another user") << long(SYS_setuid) << QList<long>{1} << false;
        QTest::newRow("setreuid to another user")
            << long(SYS_setreuid) << QList<long>{-1, 1} << false;
        QTest::newRow("setfsuid to another user") << long(SYS_setfsuid) << QList<long>{1} << false;
        QTest::newRow("setresgid to the group")
            << long(SYS_setresgid) << QList<long>{65534, 65534, 65534} << true;
        QTest::newRow("setresgid to root's group")
            << long(SYS_setresgid) << QList<long>{-1, 0, -1} << false;
        QTest::newRow("setgid to another group") << long(SYS_setgid) << QList<long>{1} << false;
        QTest::newRow("setfsgid to another group") << long(SYS_setfsgid) << QList<long>{1} << false;
        QTest::newRow("setgroups to none") << long(SYS_setgroups) << QList<long>{0} << true;
        QTest::newRow("setgroups to root's group")
            << long(SYS_setgroups) << QList<long>{1} << false;
    }
    void confinesIdChangesToTheUser()
    {
        if (::geteuid() != 0) {
            QSKIP("only root may change ids to begin with");
        }
        QFETCH(long, call);
        QFETCH(QList<long>, ids);
        QFETCH(bool, allowed);
        QString error;
        const std::optional<ServerUser> nobody = ServerUser::find(QStringLiteral("nobody"), &error);
        QVERIFY2(nobody && nobody->uid() == 65534 && nobody->gid() == 65534, qPrintable(error));
        ids.resize(3, -1);
        const gid_t rootGroup[] = {0};
        const pid_t child = ::fork();
        if (child == 0) {
            if (!nobody->confine(&error)) {
                ::_exit(2);
            }
            const long result = call == SYS_setgroups ? ::syscall(call, ids[0], rootGroup)
                                                      : ::syscall(call, ids[0], ids[1], ids[2]);
            // setfsuid and setfsgid answer the old id when they work, -1 only when refused.
            const bool done =
                (call == SYS_setfsuid || call == SYS_setfsgid) ? result != -1 : result == 0;
            ::_exit(done == allowed && (done || errno == EPERM) ? 0 : 1);
        }
        int status = 0;
        QVERIFY(child > 0 && ::waitpid(child, &status, 0) == child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }
    // A game server run as root could do anything, the daemon's files included.
    void refusesRoot()
    {
        QString error;
        QVERIFY(!ServerUser::find(QStringLiteral("root"), &error));
        QVERIFY(error.contains(QStringLiteral("root")));
    }
};

GARRISON_TEST_GUILESS_MAIN(TestServerUser)
#include "TestServerUser.moc"
