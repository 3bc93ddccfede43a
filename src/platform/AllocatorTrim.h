#pragma once

#include <QObject>
#include <QTimer>

namespace garrison {

// Hands the memory that the program freed back to the system now and then. The boxes of a
// long session grow and drop big texts; the C library keeps what they freed for later and,
// after a few hours, the program looks much bigger than what it holds. Does nothing where the
// C library has no such call.
class AllocatorTrim : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 60 * 1000;

    explicit AllocatorTrim(QObject* parent = nullptr);

    // Returns the free memory now.
    static void trim();

private:
    QTimer m_timer;
};

} // namespace garrison
