#include "SecretFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace garrisond {

namespace {

constexpr int kOpenFlags = O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

QString userName(uid_t uid)
{
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(4096);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return QStringLiteral("%1 (uid %2)").arg(QString::fromLocal8Bit(entry.pw_name)).arg(uid);
    }
    return QStringLiteral("uid %1").arg(uid);
}

QString octal(mode_t mode)
{
    return QString::number(mode & 07777, 8).rightJustified(4, QLatin1Char('0'));
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

QString openError(const QString& path, int error)
{
    if (error == ELOOP) {
        return QStringLiteral("%1 is a symbolic link: garrisond does not follow links to its "
                              "files; put the file itself there")
            .arg(path);
    }
    return QStringLiteral("cannot open %1: %2").arg(path, qt_error_string(error));
}

bool trusted(uid_t owner, SecretFile::Use use)
{
    const uid_t self = ::geteuid();
    return owner == self || owner == 0 || (use == SecretFile::Use::Edit && self == 0);
}

// The descriptor's file must be a regular file whose owner may be trusted.
bool check(int fd, const QString& path, SecretFile::Use use, struct stat* status, QString* error)
{
    if (::fstat(fd, status) != 0) {
        *error = QStringLiteral("cannot check %1: %2").arg(path, qt_error_string(errno));
        return false;
    }
    if (!S_ISREG(status->st_mode)) {
        *error = QStringLiteral("%1 is %2, not a plain file: garrisond uses only plain files "
                                "there and changes nothing else")
                     .arg(path, S_ISDIR(status->st_mode) ? QStringLiteral("a folder")
                                                         : QStringLiteral("a special file"));
        return false;
    }
    if (!trusted(status->st_uid, use)) {
        *error = QStringLiteral("%1 belongs to %2, not to the user garrisond runs as, %3: "
                                "make it that user's (chown) or name another file")
                     .arg(path, userName(status->st_uid), userName(::geteuid()));
        return false;
    }
    return true;
}

// The file opened for reading and checked; -1 with *missing when there is none.
Descriptor openChecked(const QString& path, SecretFile::Use use, struct stat* status, bool* missing,
                       QString* error)
{
    *missing = false;
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | kOpenFlags));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            *missing = true;
        } else {
            *error = openError(path, errno);
        }
        return Descriptor();
    }
    if (!check(fd.get(), path, use, status, error)) {
        return Descriptor();
    }
    return fd;
}

bool writeAll(int fd, const QByteArray& content)
{
    for (qsizetype done = 0; done < content.size();) {
        const ssize_t written = ::write(fd, content.constData() + done, content.size() - done);
        if (written < 0 && errno != EINTR) {
            return false;
        }
        done += std::max<ssize_t>(written, 0);
    }
    return true;
}

} // namespace

bool SecretFile::read(const QString& path, Use use, QByteArray* content, bool* missing,
                      QString* error)
{
    struct stat status {};
    Descriptor fd = openChecked(path, use, &status, missing, error);
    if (fd.get() < 0) {
        return *missing;
    }
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    *content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool SecretFile::write(const QString& path, const QByteArray& content, QString* error)
{
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    struct stat old {};
    bool missing = false;
    if (openChecked(path, Use::Edit, &old, &missing, error).get() < 0 && !missing) {
        return false;
    }
    const uid_t self = ::geteuid();
    uid_t owner = self;
    gid_t group = ::getegid();
    if (!missing) {
        if (self != 0 && old.st_uid != self) {
            *error = QStringLiteral("%1 belongs to %2: only that user or root may change it")
                         .arg(path, userName(old.st_uid));
            return false;
        }
        owner = old.st_uid;
        group = old.st_gid;
    } else if (struct stat parent{}; self == 0 && ::stat(folder.constData(), &parent) == 0) {
        owner = parent.st_uid;
        group = parent.st_gid;
    }

    QByteArray temporary =
        folder + '/' + QFile::encodeName(QLatin1Char('.') + info.fileName()) + ".XXXXXX";
    Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        *error = QStringLiteral("cannot write beside %1: %2").arg(path, qt_error_string(errno));
        return false;
    }
    const bool written =
        writeAll(fd.get(), content) && ::fsync(fd.get()) == 0 &&
        ((owner == self && group == ::getegid()) || ::fchown(fd.get(), owner, group) == 0) &&
        ::fchmod(fd.get(), S_IRUSR | S_IWUSR) == 0 && ::close(fd.release()) == 0 &&
        ::rename(temporary.constData(), QFile::encodeName(path).constData()) == 0;
    if (!written) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, qt_error_string(errno));
        ::unlink(temporary.constData());
        return false;
    }
    // The rename itself lasts only once the folder is on disk.
    const Descriptor directory(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0) {
        ::fsync(directory.get());
    }
    return true;
}

int SecretFile::openForAppend(const QString& path, QString* error)
{
    Descriptor fd(::open(QFile::encodeName(path).constData(),
                         O_WRONLY | O_APPEND | O_CREAT | kOpenFlags, S_IRUSR | S_IWUSR));
    if (fd.get() < 0) {
        *error = openError(path, errno);
        return -1;
    }
    struct stat status {};
    if (!check(fd.get(), path, Use::Serve, &status, error)) {
        return -1;
    }
    return fd.release();
}

bool SecretFile::secure(const QStringList& paths, QStringList* notes, QString* error)
{
    struct Found {
        Descriptor fd;
        QString path;
        struct stat status;
    };
    std::vector<Found> found;
    for (const QString& path : paths) {
        if (path.isEmpty()) {
            continue;
        }
        struct stat status {};
        bool missing = false;
        Descriptor fd = openChecked(path, Use::Serve, &status, &missing, error);
        if (fd.get() < 0 && !missing) {
            return false;
        }
        if (!missing) {
            found.push_back(Found{std::move(fd), path, status});
        }
    }
    for (const Found& file : found) {
        const mode_t mode = file.status.st_mode & 07777;
        if ((mode & 077) == 0) {
            continue;
        }
        if (file.status.st_uid == ::geteuid() && ::fchmod(file.fd.get(), S_IRUSR | S_IWUSR) == 0) {
            notes->append(
                QStringLiteral("%1 was mode %2, made it 0600").arg(file.path, octal(mode)));
        } else {
            notes->append(QStringLiteral("%1 is mode %2 and belongs to %3, not to this user: "
                                         "others may read its secrets; make it 0600 (chmod 600)")
                              .arg(file.path, octal(mode), userName(file.status.st_uid)));
        }
    }
    return true;
}

} // namespace garrisond
