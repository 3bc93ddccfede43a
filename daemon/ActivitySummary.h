#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <chrono>

namespace garrisond {

// Keeps what one logged-in account causes in the audit log to a fixed amount per minute, so
// that no account can rotate the others' lines out of the files, as RefusalSummary does for
// clients that are not logged in. Per account and window, each kind of event gets its first
// kFullPerKind lines written in full; the rest are counted and written as one summary line
// when the window ends. The kind of an echoed command is its first word, so that an account's
// routine polling does not use up the lines of its rare commands; beyond kMaxWords first words
// in a window, the commands share one count. Time is passed in.
class ActivitySummary {
public:
    static constexpr int kFullPerKind = 10;
    static constexpr int kMaxWords = 16;
    static constexpr std::chrono::seconds kWindow{60};

    struct Summary {
        QString address; // "*" when the counted events came from several
        QString who;     // "account/*" when they came from several levels
        QString detail;  // "40 more in 60 s: command say 30, getlog 10"
    };

    // The kind under which an audit event is counted.
    static QString kindOf(const QString& event, const QString& detail);

    // True when this event is to be written in full; false when it was counted.
    bool admit(const QString& account, const QString& who, const QString& address,
               const QString& kind, const QDateTime& now);
    // Summaries of the windows that ended by `now` (all of them with `everything`).
    QList<Summary> takeEnded(const QDateTime& now, bool everything = false);
    bool isEmpty() const { return m_accounts.isEmpty(); }

private:
    struct Window {
        QDateTime start;
        QString who;
        QString address;
        QHash<QString, int> full;
        int words = 0;
        QMap<QString, int> counted;
    };
    QHash<QString, Window> m_accounts;
};

} // namespace garrisond
