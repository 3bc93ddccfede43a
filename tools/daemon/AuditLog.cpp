#include "AuditLog.h"

#include <QFile>

namespace garrisond {

namespace {

QString escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c.category() == QChar::Other_Control) {
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

AuditLog::AuditLog(QString path) : m_path(std::move(path)) {}

QString AuditLog::formatLine(const QDateTime& when, const QString& address, const QString& who,
                             const QString& event, const QString& detail)
{
    QString line = when.toUTC().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + address +
                   QLatin1Char(' ') + escaped(who) + QLatin1Char(' ') + event;
    if (!detail.isEmpty()) {
        line += QLatin1Char(' ') + escaped(detail);
    }
    return line + QLatin1Char('\n');
}

bool AuditLog::record(const QDateTime& when, const QString& address, const QString& who,
                      const QString& event, const QString& detail)
{
    QFile file(m_path);
    const bool fresh = !file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_error = file.errorString();
        return false;
    }
    if (fresh) {
        // Echoed commands can hold passwords (for example a changed game password).
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    const QByteArray line = formatLine(when, address, who, event, detail).toUtf8();
    if (file.write(line) != line.size()) {
        m_error = file.errorString();
        return false;
    }
    return true;
}

} // namespace garrisond
