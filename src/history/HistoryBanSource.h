#pragma once

#include "bans/BanSource.h"

#include <QPointer>
#include <QTimer>

namespace garrison {

class History;

// The bans of a direct session: the player history's table, on this machine or on a shared
// PostgreSQL. Answers come from the event loop, as a daemon's would. Every source on the same
// History hears of the others' changes; a shared database tells of changes made from other
// machines as they happen. Where nothing tells (a file that another GARRISON on this
// computer may write too), the bans are read again every kSharedPollMs.
class HistoryBanSource : public BanSource {
    Q_OBJECT

public:
    static constexpr int kSharedPollMs = 30 * 1000;

    explicit HistoryBanSource(History& history, QObject* parent = nullptr);

    void list() override;
    void add(const BanRecord& ban) override;
    void edit(const BanRecord& ban) override;
    void lift(qint64 id, const QString& note) override;

    // Who lifts a ban: "rcon" unless told otherwise.
    void setActor(const QString& actor) { m_actor = actor; }

private:
    void later(std::function<void()> answer);
    QString problem(const QString& what) const;

    History& m_history;
    QString m_actor = QStringLiteral("rcon");
    QTimer m_sharedPoll;
};

} // namespace garrison
