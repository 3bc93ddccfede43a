#include "AuditLog.h"

#include <QFile>
#include <QFileInfo>

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

void AuditLog::configure(const QString& path, qint64 maxBytes, int files)
{
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

bool AuditLog::rotate()
{
    // path.N-1 drops out, every other file moves up by one, and path starts again.
    QFile::remove(m_path + QLatin1Char('.') + QString::number(m_files - 1));
    for (int n = m_files - 2; n >= 1; --n) {
        QFile::rename(m_path + QLatin1Char('.') + QString::number(n),
                      m_path + QLatin1Char('.') + QString::number(n + 1));
    }
    if (m_files > 1) {
        return QFile::rename(m_path, m_path + QStringLiteral(".1"));
    }
    return QFile::remove(m_path);
}

bool AuditLog::record(const QDateTime& when, const QString& address, const QString& who,
                      const QString& event, const QString& detail)
{
    const QByteArray line = formatLine(when, address, who, event, detail).toUtf8();
    const QFileInfo info(m_path);
    if (info.exists() && info.size() + line.size() > m_maxBytes && !rotate()) {
        m_error = QStringLiteral("cannot rotate the file");
        return false;
    }
    QFile file(m_path);
    // Echoed commands can hold passwords (for example a changed game password): a new file is
    // created readable by its owner only, whatever the umask.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        m_error = file.errorString();
        return false;
    }
    if (file.write(line) != line.size()) {
        m_error = file.errorString();
        return false;
    }
    return true;
}

} // namespace garrisond
