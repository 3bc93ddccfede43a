#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class TerminalPage;
}

namespace garrison {

class CommandSender;
class ConsoleBox;

// The console transcript txtOutput and the command line Text7.
class TerminalPage : public QWidget {
    Q_OBJECT

public:
    explicit TerminalPage(CommandSender& sender, QWidget* parent = nullptr);
    ~TerminalPage() override;

    ConsoleBox& console();
    // Daemon users below "poweradmin" see the console but may not type into it.
    void setCommandLineAllowed(bool allowed);

private:
    void sendCommandLine();

    const std::unique_ptr<Ui::TerminalPage> m_ui;
    CommandSender& m_sender;
};

} // namespace garrison
