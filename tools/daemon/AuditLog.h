#pragma once

#include <QDateTime>
#include <QString>

namespace garrisond {

// The record of who did what through the daemon: one line per event,
//   <UTC time, ISO 8601 with ms> <client address> <account/level or -> <event> [<detail>]
// Control characters and backslashes in the detail are written as \xNN escapes, so that a
// client cannot forge lines. The file is opened for each record, which keeps it working
// when an outside log rotation moves it away.
class AuditLog {
public:
    explicit AuditLog(QString path);

    void setPath(const QString& path) { m_path = path; }
    QString path() const { return m_path; }
    bool record(const QDateTime& when, const QString& address, const QString& who,
                const QString& event, const QString& detail = QString());
    QString errorString() const { return m_error; }

    static QString formatLine(const QDateTime& when, const QString& address, const QString& who,
                              const QString& event, const QString& detail);

private:
    QString m_path;
    QString m_error;
};

} // namespace garrisond
