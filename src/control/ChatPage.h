#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class ChatPage;
}

namespace garrison {

class CommandSender;
class ConsoleBox;
class Dialogs;

// The chat page SeeChatp: "say" messages to every player, a time-stamped transcript txtsay2
// and eight buttons that insert the game's colour codes.
class ChatPage : public QWidget {
    Q_OBJECT

public:
    ChatPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent = nullptr);
    ~ChatPage() override;

    // txtsay2; the relay log worker writes the filtered log into it as well.
    ConsoleBox& txtsay2();
    QString transcript() const;
    // The filtered relay log replaces what the box shows.
    void setTranscript(const QString& text);
    // The filtered relay log changed (see RelayLogWorker::logChanged). New lines follow what
    // the box shows, the page's own lines included; a change to lines already shown rewrites
    // the box from there, or shows the whole log again when the page's own lines came since.
    void showLogChange(qsizetype kept, const QString& appended, const QString& text);

    // A line of the players' chat from the game log (daemon mode): the time, "(Team)" for team
    // chat, the name in its colours and the text. The box shows once the first line comes.
    void showGameChat(const QDateTime& at, bool teamChat, const QString& name, const QString& text);
    // The players' chat as plain text, one line each.
    QString gameChatText() const;
    // The most lines the box keeps.
    static constexpr int kGameChatLines = 2000;

    // A new session: the transcript (relay lines included) and the line being typed go.
    void startSession();

    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // "[mm.dd.yyyy hh:mm:ss]" on the 24-hour clock.
    static QString timeStamp(const QDateTime& now);

Q_SIGNALS:
    // The get-log click area: the daemon administration answers it.
    void serverLogRequested();

protected:
    void changeEvent(QEvent* event) override;

private:
    void sendMessage();
    void insertColourCode(const QString& code);

    const std::unique_ptr<Ui::ChatPage> m_ui;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
    std::function<QDateTime()> m_clock;
    // Characters of the filtered log the box shows, and whether own lines followed them.
    qsizetype m_logShown = 0;
    bool m_ownLinesSinceLog = false;
};

} // namespace garrison
