#include "ServerUser.h"

#include <QFile>
#include <cerrno>
#include <cstddef>
#include <linux/audit.h>
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace garrisond {

namespace {

#if defined(__x86_64__)
constexpr quint32 kArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr quint32 kArchitecture = AUDIT_ARCH_AARCH64;
#else
constexpr quint32 kArchitecture = 0;
#endif

constexpr quint32 kUnchanged = 0xFFFFFFFF; // -1: leave this id as it is

// The low 32 bits of a system call's argument, where ids and counts are.
constexpr quint32 argumentOffset(int n)
{
    return offsetof(seccomp_data, args) + n * sizeof(quint64) +
           (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? 0 : sizeof(quint32));
}

// The effective capabilities include CAP_SETUID and CAP_SETGID.
bool mayChangeIds()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    const quint32 wanted = (1u << CAP_SETUID) | (1u << CAP_SETGID);
    return (data[0].effective & wanted) == wanted;
}

} // namespace

ServerUser::ServerUser(QString name, uid_t uid, gid_t gid)
    : m_name(std::move(name)), m_uid(uid), m_gid(gid)
{}

std::optional<ServerUser> ServerUser::find(const QString& name, QString* error)
{
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    const int failure =
        ::getpwnam_r(name.toLocal8Bit().constData(), &entry, buffer.data(), buffer.size(), &found);
    if (failure != 0 || found == nullptr) {
        *error = QStringLiteral("server_user: there is no user \"%1\"").arg(name);
        return std::nullopt;
    }
    if (entry.pw_uid == 0) {
        *error =
            QStringLiteral("server_user: the game server must not run as root (\"%1\")").arg(name);
        return std::nullopt;
    }
    return ServerUser(name, entry.pw_uid, entry.pw_gid);
}

bool ServerUser::canSwitch(QString* error) const
{
    if (::geteuid() == 0 || mayChangeIds()) {
        return true;
    }
    *error = QStringLiteral("server_user: garrisond may not start the game server as %1: that "
                            "needs root or the capabilities CAP_SETUID and CAP_SETGID (the "
                            "service grants them with AmbientCapabilities=)")
                 .arg(m_name);
    return false;
}

std::function<void()> ServerUser::childSwitch() const
{
    const uid_t uid = m_uid;
    const gid_t gid = m_gid;
    const QByteArray failed =
        "garrisond: the game server could not take the user " + m_name.toLocal8Bit() + "\n";
    // System calls only, without the C library's wrappers: the child may share the daemon's
    // memory (vfork), and glibc's setresuid would change the ids of the daemon's threads too.
    return [uid, gid, failed] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct none[2] = {};
        const bool switched = ::syscall(SYS_setgroups, 0, nullptr) == 0 &&
                              ::syscall(SYS_setresgid, gid, gid, gid) == 0 &&
                              ::syscall(SYS_setresuid, uid, uid, uid) == 0 &&
                              // Dropping the permitted capabilities drops the ambient ones too.
                              ::syscall(SYS_capset, &header, none) == 0;
        if (!switched) {
            [[maybe_unused]] const auto written =
                ::write(STDERR_FILENO, failed.constData(), size_t(failed.size()));
            ::_exit(127);
        }
        ::umask(027);
    };
}

bool ServerUser::signal(pid_t pid, int number) const
{
    if (::geteuid() == 0 || ::geteuid() == m_uid) {
        return ::kill(pid, number) == 0;
    }
    const pid_t helper = ::fork();
    if (helper == 0) {
        const bool sent =
            ::syscall(SYS_setresuid, m_uid, m_uid, m_uid) == 0 && ::kill(pid, number) == 0;
        ::_exit(sent ? 0 : 1);
    }
    int status = 0;
    while (helper > 0 && ::waitpid(helper, &status, 0) < 0 && errno == EINTR) {
    }
    return helper > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ServerUser::confine(QString* error) const
{
    if (kArchitecture == 0) {
        *error = QStringLiteral("server_user: confining garrisond's capabilities is not built "
                                "for this processor");
        return false;
    }
    const quint32 deny = SECCOMP_RET_ERRNO | EPERM;
    std::vector<sock_filter> program;
    const auto load = [&](quint32 offset) {
        program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset));
    };
    const auto jumpIfEqual = [&](quint32 value, quint8 skip) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, skip, 0));
    };
    const auto answer = [&](quint32 action) {
        program.push_back(BPF_STMT(BPF_RET | BPF_K, action));
    };
    // Calls of another architecture (32-bit ones from a 64-bit process) name other numbers.
    load(offsetof(seccomp_data, arch));
    jumpIfEqual(kArchitecture, 1);
    answer(deny);
    load(offsetof(seccomp_data, nr));
#if defined(__x86_64__)
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, __X32_SYSCALL_BIT, 0, 1));
    answer(deny);
#endif
    struct Rule {
        long number;
        int arguments;
        quint32 value;
        bool mayStay; // -1 (no change) is allowed too
    };
    const Rule rules[] = {
        {SYS_setuid, 1, m_uid, false},   {SYS_setreuid, 2, m_uid, true},
        {SYS_setresuid, 3, m_uid, true}, {SYS_setfsuid, 1, m_uid, false},
        {SYS_setgid, 1, m_gid, false},   {SYS_setregid, 2, m_gid, true},
        {SYS_setresgid, 3, m_gid, true}, {SYS_setfsgid, 1, m_gid, false},
        {SYS_setgroups, 1, 0, false}, // the count: none at all
    };
    for (const Rule& rule : rules) {
        // Per argument: load it, compare (with -1 too), deny; then allow.
        const int block = rule.arguments * (rule.mayStay ? 4 : 3) + 1;
        program.push_back(
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, quint32(rule.number), 0, quint8(block)));
        for (int n = 0; n < rule.arguments; ++n) {
            load(argumentOffset(n));
            if (rule.mayStay) {
                jumpIfEqual(rule.value, 2);
                jumpIfEqual(kUnchanged, 1);
            } else {
                jumpIfEqual(rule.value, 1);
            }
            answer(deny);
        }
        answer(SECCOMP_RET_ALLOW);
    }
    answer(SECCOMP_RET_ALLOW);

    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &filter) != 0) {
        *error = QStringLiteral("server_user: cannot confine garrisond's capabilities to %1: %2")
                     .arg(m_name, qt_error_string(errno));
        return false;
    }
    return true;
}

} // namespace garrisond
