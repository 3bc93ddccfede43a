#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <chrono>

namespace garrisond {

// Keeps what anonymous clients cause in the audit log to a fixed amount per minute, however
// many connections they make. Each address gets its first few events of a window written in
// full; the rest are counted and written as one summary line when the window ends. A budget
// for the whole daemon bounds the full lines over all addresses, and addresses beyond
// kMaxAddresses share one count. Time is passed in.
class RefusalSummary {
public:
    static constexpr int kFullPerAddress = 3;
    static constexpr int kFullPerWindow = 60;
    static constexpr int kMaxAddresses = 64;
    static constexpr std::chrono::seconds kWindow{60};
    // The address of the shared count.
    static inline const QString kOtherAddresses = QStringLiteral("*");

    struct Summary {
        QString address;
        QString detail; // "12 events in 60 s: connected 4, login-refused 8"
    };

    // True when this event is to be written in full; false when it was counted. Events that
    // are not `notable` (connections coming and going) are always counted, so that they cannot
    // use up the full lines that refusals need.
    bool admit(const QString& address, const QString& event, const QDateTime& now,
               bool notable = true);
    // Summaries of the windows that ended by `now` (all of them with `everything`).
    QList<Summary> takeEnded(const QDateTime& now, bool everything = false);
    bool isEmpty() const { return m_addresses.isEmpty(); }

private:
    struct Window {
        QDateTime start;
        int full = 0;
        QMap<QString, int> counted;
    };
    QHash<QString, Window> m_addresses;
    QDateTime m_budgetStart;
    int m_budgetUsed = 0;
};

} // namespace garrisond
