#pragma once

#include <QObject>
#include <QStringList>

class QAbstractButton;
class QStackedWidget;

namespace garrison {

class Dialogs;
class HistoryPage;
class ServerSession;
class TerminalPage;

// The pages of a main window and how the user gets to them: which page shows, the gates of a
// daemon session (Settings and Admin, the terminal's command line), and the page kept for the
// next run.
class PageNavigator : public QObject {
    Q_OBJECT

public:
    // The order of the pages in their stack.
    enum class Page { Players, Chat, Settings, Maps, Admin, Terminal, History };

    // chatButton: the Chat page's own button, whose first visit registers the relay.
    PageNavigator(QStackedWidget& pages, QAbstractButton& chatButton, ServerSession& session,
                  Dialogs& dialogs, TerminalPage& terminal, HistoryPage& history,
                  QObject* parent = nullptr);

    // Shows the page and remembers it for the next run.
    void showPage(Page page);
    // Shows it, and nothing else.
    void switchPage(Page page);
    Page currentPage() const;
    // At the first session of a run: the page shown last, as far as this user may open it.
    void restoreLastPage();
    // Settings and Admin: refused in a box to a daemon session below admin.
    void gatedPage(Page page);
    void openTerminal();
    // With a grid row's cells, that player's record.
    void openHistory(const QStringList& cells);
    // A new session: a page it may not open gives way to the players.
    void startSession();

private:
    void showChatOnceLoaded();

    QStackedWidget& m_pages;
    QAbstractButton& m_chatButton;
    ServerSession& m_session;
    Dialogs& m_dialogs;
    TerminalPage& m_terminal;
    HistoryPage& m_history;
};

} // namespace garrison
