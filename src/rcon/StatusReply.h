#pragma once

#include "rcon/StatusParser.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace garrison {

// Collects the datagrams that answer one "status" request until its table is whole. A long
// table comes in several datagrams, cut anywhere, even inside a line; it is whole at its ending
// empty line, or when nothing more has come for a short while. Nothing sent before the request
// ever mixes in: restart() drops it.
class StatusReply : public QObject {
    Q_OBJECT

public:
    static constexpr int kQuietGapMs = 100;

    explicit StatusReply(QObject* parent = nullptr);

    // "status" has just been sent.
    void restart();
    // A datagram's text that arrived while "status" was the last command sent.
    void append(const QString& replyText);
    // Drops what was collected, without a table.
    void discard();

    // What was collected so far and is not a whole table yet.
    const QString& text() const { return m_text; }

Q_SIGNALS:
    void tableReady(const garrison::StatusParser::StatusTable& table);

private:
    void quietGap();

    QString m_text;
    QTimer m_quiet;
};

} // namespace garrison
