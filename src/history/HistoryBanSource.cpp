#include "HistoryBanSource.h"

#include "history/History.h"
#include "history/HistoryBans.h"

namespace garrison {

HistoryBanSource::HistoryBanSource(History& history, QObject* parent)
    : BanSource(parent), m_history(history)
{
    connect(&m_history, &History::bansChanged, this, &BanSource::listChanged);
    m_sharedPoll.setInterval(kSharedPollMs);
    connect(&m_sharedPoll, &QTimer::timeout, this, [this] {
        if (m_history.bans() != nullptr && !m_history.hearsBanChanges()) {
            Q_EMIT listChanged();
        }
    });
    m_sharedPoll.start();
}

void HistoryBanSource::later(std::function<void()> answer)
{
    QMetaObject::invokeMethod(this, std::move(answer), Qt::QueuedConnection);
}

QString HistoryBanSource::problem(const QString& what) const
{
    HistoryBans* bans = m_history.bans();
    const QString why = bans == nullptr               ? m_history.problem()
                        : bans->lastError().isValid() ? bans->lastError().text()
                                                      : QString();
    return why.isEmpty() ? tr("The bans could not be %1.").arg(what)
                         : tr("The bans could not be %1: %2").arg(what, why);
}

void HistoryBanSource::list()
{
    later([this] {
        HistoryBans* bans = m_history.bans();
        const std::optional<QList<BanRecord>> all = bans ? bans->list() : std::nullopt;
        if (all) {
            Q_EMIT listed(*all);
        } else {
            Q_EMIT failed(problem(tr("read")));
        }
    });
}

void HistoryBanSource::add(const BanRecord& newBan)
{
    BanRecord ban = newBan;
    if (ban.issuedBy.isEmpty()) {
        ban.issuedBy = m_actor;
    }
    if (!ban.issuedAt.isValid()) {
        ban.issuedAt = QDateTime::currentDateTimeUtc();
    }
    later([this, ban] {
        HistoryBans* bans = m_history.bans();
        const std::optional<qint64> id = bans ? bans->add(ban) : std::nullopt;
        if (!id) {
            Q_EMIT failed(problem(tr("written")));
            return;
        }
        Q_EMIT added(*id);
        m_history.noteBansChanged();
    });
}

void HistoryBanSource::edit(const BanRecord& ban)
{
    later([this, ban] {
        HistoryBans* bans = m_history.bans();
        if (!bans || !bans->edit(ban)) {
            Q_EMIT failed(problem(tr("changed")));
            return;
        }
        Q_EMIT changed(ban.id);
        m_history.noteBansChanged();
    });
}

void HistoryBanSource::lift(qint64 id, const QString& note)
{
    later([this, id, note] {
        HistoryBans* bans = m_history.bans();
        if (!bans || !bans->lift(id, m_actor, note, QDateTime::currentDateTimeUtc())) {
            Q_EMIT failed(bans && !bans->lastError().isValid()
                              ? tr("Ban %1 is not there, or was lifted before.").arg(id)
                              : problem(tr("changed")));
            return;
        }
        Q_EMIT changed(id);
        m_history.noteBansChanged();
    });
}

} // namespace garrison
