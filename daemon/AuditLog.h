#pragma once

#include <QDateTime>
#include <QString>

namespace garrisond {

// The record of who did what through the daemon: one line per event,
//   <UTC time, ISO 8601 with ms> <client address> <account/level or -> <event> [<detail>]
// Control characters and backslashes are written as \xNN escapes, so that a client cannot
// forge lines. Every line is bounded: names are cut to the longest valid name and details to
// kMaxDetail characters, each with an ellipsis. The file is opened for each record, which
// keeps it working when an outside log rotation moves it away; it also rotates by itself once
// it would grow past maxBytes, keeping `files` files in all (path, path.1, ... path.N-1).
class AuditLog {
public:
    static constexpr qsizetype kMaxName = 64;
    static constexpr qsizetype kMaxDetail = 400;
    static constexpr qint64 kDefaultMaxBytes = 10 * 1024 * 1024;
    static constexpr int kDefaultFiles = 5;

    explicit AuditLog(QString path, qint64 maxBytes = kDefaultMaxBytes, int files = kDefaultFiles);

    void configure(const QString& path, qint64 maxBytes, int files);
    QString path() const { return m_path; }
    bool record(const QDateTime& when, const QString& address, const QString& who,
                const QString& event, const QString& detail = QString());
    QString errorString() const { return m_error; }

    static QString formatLine(const QDateTime& when, const QString& address, const QString& who,
                              const QString& event, const QString& detail);
    // A claimed user name as it may appear in a line: escaped and cut to kMaxName characters.
    static QString shortName(const QString& name);

private:
    bool rotate();

    QString m_path;
    qint64 m_maxBytes;
    int m_files;
    QString m_error;
};

} // namespace garrisond
