#include "AuditLog.h"

#include "SecretFile.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace garrisond {

namespace {

const QString kEllipsis = QStringLiteral("\u2026");

QString escaped(const QString& text, qsizetype limit)
{
    QString out;
    out.reserve(std::min(text.size(), limit) + 1);
    for (const QChar c : text) {
        const QString piece =
            c == QLatin1Char('\\') || c.category() == QChar::Other_Control
                ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                : QString(c);
        if (out.size() + piece.size() > limit) {
            return out + kEllipsis;
        }
        out += piece;
    }
    return out;
}

} // namespace

AuditLog::AuditLog(QString path, qint64 maxBytes, int files)
    : m_path(std::move(path)), m_maxBytes(maxBytes), m_files(files)
{}

AuditLog::~AuditLog()
{
    reopen();
}

void AuditLog::reopen()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void AuditLog::configure(const QString& path, qint64 maxBytes, int files)
{
    if (path != m_path) {
        reopen();
    }
    m_path = path;
    m_maxBytes = maxBytes;
    m_files = files;
}

QString AuditLog::shortName(const QString& name)
{
    return escaped(name, kMaxName);
}

QString AuditLog::formatLine(const QDateTime& when, const QString& address, const QString& who,
                             const QString& event, const QString& detail)
{
    // "account/level" is at most a name, a slash and the longest level word.
    QString line = when.toUTC().toString(Qt::ISODateWithMs) + QLatin1Char(' ') +
                   escaped(address, 64) + QLatin1Char(' ') + escaped(who, kMaxName + 12) +
                   QLatin1Char(' ') + escaped(event, 32);
    if (!detail.isEmpty()) {
        line += QLatin1Char(' ') + escaped(detail, kMaxDetail);
    }
    return line + QLatin1Char('\n');
}

bool AuditLog::open()
{
    if (m_fd >= 0) {
        struct stat named {};
        struct stat opened {};
        if (::lstat(QFile::encodeName(m_path).constData(), &named) == 0 &&
            ::fstat(m_fd, &opened) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            return true;
        }
        reopen();
    }
    // Echoed commands can hold passwords (for example a changed game password): a new file is
    // created readable by its owner only, whatever the umask.
    m_fd = SecretFile::openForAppend(m_path, &m_error);
    return m_fd >= 0;
}

bool AuditLog::rotate()
{
    // path.N-1 drops out, every other file moves up by one, and path starts again. Renaming
    // moves names, never what a link points to.
    reopen();
    const auto name = [this](int n) {
        return QFile::encodeName(n == 0 ? m_path : m_path + QLatin1Char('.') + QString::number(n));
    };
    ::unlink(name(m_files - 1).constData());
    for (int n = m_files - 2; n >= 1; --n) {
        ::rename(name(n).constData(), name(n + 1).constData());
    }
    if (m_files > 1) {
        return ::rename(name(0).constData(), name(1).constData()) == 0;
    }
    return ::unlink(name(0).constData()) == 0;
}

bool AuditLog::append(const QByteArray& line)
{
    struct stat status {};
    if (::fstat(m_fd, &status) != 0) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_path, qt_error_string(errno));
        return false;
    }
    const QByteArray text = m_lineOpen ? '\n' + line : line;
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t written = ::write(m_fd, text.constData() + done, text.size() - done);
        if (written >= 0) {
            done += written;
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        m_error = QStringLiteral("cannot write %1: %2").arg(m_path, qt_error_string(errno));
        // On a full disk or past a file-size limit a part of the line may be in: cut it off, or
        // else the next line would be glued to it.
        if (done > 0 && ::ftruncate(m_fd, status.st_size) != 0) {
            m_lineOpen = true;
        }
        return false;
    }
    m_lineOpen = false;
    return true;
}

bool AuditLog::record(const QDateTime& when, const QString& address, const QString& who,
                      const QString& event, const QString& detail)
{
    const QByteArray line = formatLine(when, address, who, event, detail).toUtf8();
    if (!open()) {
        return false;
    }
    struct stat status {};
    if (::fstat(m_fd, &status) == 0 && status.st_size + line.size() > m_maxBytes) {
        if (!rotate()) {
            m_error = QStringLiteral("cannot rotate %1: %2").arg(m_path, qt_error_string(errno));
            return false;
        }
        if (!open()) {
            return false;
        }
    }
    return append(line);
}

} // namespace garrisond
