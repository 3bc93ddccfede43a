#pragma once

#include <QDateTime>
#include <QString>

namespace garrisond {

// The record of who did what through the daemon: one line per event,
//   <UTC time, ISO 8601 with ms> <client address> <account/level or -> <event> [<detail>]
// Control characters and backslashes are written as \xNN escapes, so that a client cannot
// forge lines. Every line is bounded: names are cut to the longest valid name and details to
// kMaxDetail characters, each with an ellipsis. The file stays open between records, but is
// opened again when its name no longer leads to it, so an outside log rotation that moves it
// away works with or without reopen(); it also rotates by itself once it would grow past
// maxBytes, keeping `files` files in all (path, path.1, ... path.N-1). A line that cannot be
// written whole is taken back, so that the file holds whole lines only.
class AuditLog {
public:
    static constexpr qsizetype kMaxName = 64;
    static constexpr qsizetype kMaxDetail = 400;
    static constexpr qint64 kDefaultMaxBytes = 10 * 1024 * 1024;
    static constexpr int kDefaultFiles = 5;

    explicit AuditLog(QString path, qint64 maxBytes = kDefaultMaxBytes, int files = kDefaultFiles);
    ~AuditLog();
    AuditLog(const AuditLog&) = delete;
    AuditLog& operator=(const AuditLog&) = delete;

    void configure(const QString& path, qint64 maxBytes, int files);
    QString path() const { return m_path; }
    bool record(const QDateTime& when, const QString& address, const QString& who,
                const QString& event, const QString& detail = QString());
    // The next record opens the file anew.
    void reopen();
    // What went wrong, with the file's name.
    QString errorString() const { return m_error; }

    static QString formatLine(const QDateTime& when, const QString& address, const QString& who,
                              const QString& event, const QString& detail);
    // A claimed user name as it may appear in a line: escaped and cut to kMaxName characters.
    static QString shortName(const QString& name);

private:
    bool open();
    bool rotate();
    bool append(const QByteArray& line);

    QString m_path;
    qint64 m_maxBytes;
    int m_files;
    QString m_error;
    int m_fd = -1;
    // A part of a line stayed in the file (it could not be taken back): the next line starts on
    // a line of its own.
    bool m_lineOpen = false;
};

} // namespace garrisond
