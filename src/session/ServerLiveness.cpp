#include "ServerLiveness.h"

#include <algorithm>
#include <utility>

namespace garrison {

void ServerLiveness::start()
{
    m_state = State::Unknown;
    m_awaited.clear();
    m_silentSince = 0;
    m_checkedUntil = 0;
}

void ServerLiveness::requestSent(qint64 at, bool automatic)
{
    // Before the first reply, and once down, only a reply changes anything.
    if (m_state == State::Answering) {
        m_awaited.append({at, automatic});
    }
}

ServerLiveness::Change ServerLiveness::replyReceived(qint64 at)
{
    m_awaited.clear();
    m_checkedUntil = at;
    const State before = std::exchange(m_state, State::Answering);
    return before == State::NotAnswering ? Change::AnsweringAgain : Change::None;
}

ServerLiveness::Change ServerLiveness::check(qint64 now)
{
    if (m_state != State::Answering) {
        return Change::None;
    }
    m_checkedUntil = std::max(m_checkedUntil, now);
    const auto unanswered =
        std::find_if(m_awaited.cbegin(), m_awaited.cend(),
                     [&](const Request& r) { return r.at + m_answerWaitMs > now; });
    const qsizetype count = unanswered - m_awaited.cbegin();
    const bool refreshUnanswered =
        std::any_of(m_awaited.cbegin(), unanswered, [](const Request& r) { return r.automatic; });
    if (!refreshUnanswered && count < 2) {
        return Change::None;
    }
    m_silentSince = m_awaited.constFirst().at;
    m_awaited.clear();
    m_state = State::NotAnswering;
    return Change::StoppedAnswering;
}

std::optional<qint64> ServerLiveness::nextDeadline() const
{
    if (m_state != State::Answering) {
        return std::nullopt;
    }
    for (const Request& request : m_awaited) {
        if (request.at + m_answerWaitMs > m_checkedUntil) {
            return request.at + m_answerWaitMs;
        }
    }
    return std::nullopt;
}

} // namespace garrison
