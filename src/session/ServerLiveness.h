#pragma once

#include <QList>
#include <QtGlobal>
#include <optional>

namespace garrison {

// Whether the game server still answers. The console protocol has no keep-alive: a server that
// died looks like one that is slow. A request counts as unanswered once kAnswerWaitMs pass
// without any datagram from the server; the server has stopped answering when the automatic
// refresh goes unanswered, or two requests in a row do (a single command of the user's may
// print nothing). Any datagram says it answers again. Until its first reply of the session a
// server is neither: the note about a silent start says what to check then.
//
// Times are milliseconds on any one clock; the caller asks check() at nextDeadline().
class ServerLiveness {
public:
    static constexpr qint64 kAnswerWaitMs = 3000;

    enum class State { Unknown, Answering, NotAnswering };
    enum class Change { None, StoppedAnswering, AnsweringAgain };

    explicit ServerLiveness(qint64 answerWaitMs = kAnswerWaitMs) : m_answerWaitMs(answerWaitMs) {}
    void setAnswerWaitMs(qint64 ms) { m_answerWaitMs = ms; }

    // A new session: nothing heard, nothing awaited.
    void start();
    // `automatic`: the refresh's own "status", not a command of the user's.
    void requestSent(qint64 at, bool automatic);
    Change replyReceived(qint64 at);
    // The requests whose wait ended by `now` count as unanswered.
    Change check(qint64 now);
    // When check() may next find a change; nothing while no request is awaited.
    std::optional<qint64> nextDeadline() const;

    State state() const { return m_state; }
    // While not answering: when the first request that went unanswered left.
    qint64 silentSince() const { return m_silentSince; }

private:
    struct Request {
        qint64 at = 0;
        bool automatic = false;
    };

    qint64 m_answerWaitMs;
    State m_state = State::Unknown;
    // Sent since the last reply, oldest first.
    QList<Request> m_awaited;
    qint64 m_silentSince = 0;
    // Waits that ended by then have been counted.
    qint64 m_checkedUntil = 0;
};

} // namespace garrison
