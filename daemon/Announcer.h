#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>

namespace garrisond {

// The announcements ("announce = <interval> <text>" lines), said in game in turn: each one its
// interval after the one before it, the first its interval after the game server started, and
// after the last the first again.
class Announcer : public QObject {
    Q_OBJECT

public:
    struct Announcement {
        std::chrono::seconds interval{0};
        QString text;
        friend bool operator==(const Announcement&, const Announcement&) = default;
    };

    explicit Announcer(QObject* parent = nullptr);

    // "5m Welcome to our server"; nothing when the interval is missing or under a second, or
    // there is no text.
    static std::optional<Announcement> parse(const QString& value);

    // New announcements start from the first one; the same ones keep their turn.
    void configure(const QList<Announcement>& announcements);
    const QList<Announcement>& announcements() const { return m_announcements; }
    void start();
    void stop();

Q_SIGNALS:
    void due(const QString& text);

private:
    void sayNext();

    QList<Announcement> m_announcements;
    qsizetype m_next = 0;
    QTimer m_timer;
};

} // namespace garrisond
