#pragma once

#include "control/CommandHistory.h"

#include <QWidget>
#include <memory>

namespace Ui {
class TerminalPage;
}

namespace garrison {

class CommandSender;
class ConsoleBox;

// The console transcript txtOutput and the command line Text7, with the commands of this run
// on Up and Down, Ctrl+F to find text in the transcript and a context entry that clears it.
class TerminalPage : public QWidget {
    Q_OBJECT

public:
    explicit TerminalPage(CommandSender& sender, QWidget* parent = nullptr);
    ~TerminalPage() override;

    ConsoleBox& console();
    // Daemon users below "poweradmin" see the console but may not type into it.
    void setCommandLineAllowed(bool allowed);
    // A new session: the transcript and the command line start empty; the commands of this run
    // stay on Up and Down.
    void startSession();
    const CommandHistory& history() const { return m_history; }

    void showFindBar();
    // Selects the next (or previous) match after the caret, wrapping at the end; false when the
    // text is nowhere in the console.
    bool findText(bool backwards = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    // The command line takes the keys at once, where it may be used.
    void showEvent(QShowEvent* event) override;

private:
    void sendCommandLine();
    void showConsoleMenu(const QPoint& position);
    void applyTranscriptColours();

    const std::unique_ptr<Ui::TerminalPage> m_ui;
    CommandSender& m_sender;
    CommandHistory m_history;
};

} // namespace garrison
