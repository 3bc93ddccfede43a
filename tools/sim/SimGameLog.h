#pragma once

#include <QFile>
#include <QString>

namespace garrison::sim {

// The server log: one line per event, stamped with the minutes and seconds the server has run,
// written through at once so that a reader can follow it.
class SimGameLog {
public:
    bool open(const QString& path);
    QString errorString() const { return m_file.errorString(); }
    bool isOpen() const { return m_file.isOpen(); }
    void write(qint64 nowMs, const QString& line);

    // "  1:05 " for 65 seconds.
    static QString stamp(qint64 nowMs);

private:
    QFile m_file;
};

} // namespace garrison::sim
