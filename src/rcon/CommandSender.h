#pragma once

#include <QString>

namespace garrison {

// What every page, menu and window uses to issue a console command.
class CommandSender {
public:
    virtual ~CommandSender() = default;
    // Sends the command now.
    virtual void Send(const QString& cmd) = 0;
    // Puts the command into the one-slot deferral; it leaves about two seconds later,
    // replacing whatever was waiting there.
    virtual void WaitSend(const QString& Cmdz) = 0;
};

} // namespace garrison
