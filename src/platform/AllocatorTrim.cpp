#include "AllocatorTrim.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace garrison {

AllocatorTrim::AllocatorTrim(QObject* parent) : QObject(parent), m_timer(this)
{
    m_timer.setInterval(kIntervalMs);
    // A trim takes well under a millisecond; it must never keep the program alive or awake.
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, [] { trim(); });
    m_timer.start();
}

void AllocatorTrim::trim()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace garrison
