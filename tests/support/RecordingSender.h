#pragma once

#include "rcon/CommandSender.h"

#include <QStringList>

namespace garrison::test {

// A CommandSender that only remembers what it was asked to send.
class RecordingSender final : public CommandSender {
public:
    void Send(const QString& cmd) override { sent.append(cmd); }
    void WaitSend(const QString& Cmdz) override { waited.append(Cmdz); }

    QStringList sent;
    QStringList waited;
};

} // namespace garrison::test
