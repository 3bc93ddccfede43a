#include "SimGameLog.h"

#include "SimText.h"

namespace garrison::sim {

bool SimGameLog::open(const QString& path)
{
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void SimGameLog::write(qint64 nowMs, const QString& line)
{
    if (!m_file.isOpen()) {
        return;
    }
    m_file.write(SimText::toWire(stamp(nowMs) + line + u'\n'));
    m_file.flush();
}

QString SimGameLog::stamp(qint64 nowMs)
{
    const qint64 seconds = nowMs / 1000;
    return QString::asprintf("%3lld:%02lld ", seconds / 60, seconds % 60);
}

} // namespace garrison::sim
