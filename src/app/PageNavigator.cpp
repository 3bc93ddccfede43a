#include "PageNavigator.h"

#include "control/TerminalPage.h"
#include "history/HistoryPage.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMemory.h"
#include "rcon/PlayerRow.h"
#include "session/ServerSession.h"

#include <QAbstractButton>
#include <QStackedWidget>
#include <memory>

namespace garrison {

namespace {
const QString kLastPageKey = QStringLiteral("LastPage");
const QStringList kPageNames = {QStringLiteral("Players"),  QStringLiteral("Chat"),
                                QStringLiteral("Settings"), QStringLiteral("Maps"),
                                QStringLiteral("Admin"),    QStringLiteral("Terminal"),
                                QStringLiteral("History")};
} // namespace

PageNavigator::PageNavigator(QStackedWidget& pages, QAbstractButton& chatButton,
                             ServerSession& session, Dialogs& dialogs, TerminalPage& terminal,
                             HistoryPage& history, QObject* parent)
    : QObject(parent), m_pages(pages), m_chatButton(chatButton), m_session(session),
      m_dialogs(dialogs), m_terminal(terminal), m_history(history)
{}

void PageNavigator::showPage(Page page)
{
    switchPage(page);
    SettingsStore::write(WindowMemory::kSection, kLastPageKey,
                         kPageNames.value(static_cast<int>(page)));
}

void PageNavigator::switchPage(Page page)
{
    m_pages.setCurrentIndex(static_cast<int>(page));
    if (page != Page::Players) {
        m_session.cancelRefresh();
    }
}

PageNavigator::Page PageNavigator::currentPage() const
{
    return static_cast<Page>(m_pages.currentIndex());
}

void PageNavigator::startSession()
{
    if ((currentPage() == Page::Settings || currentPage() == Page::Admin) &&
        !m_session.pagesAllowed()) {
        switchPage(Page::Players);
    }
    m_terminal.setCommandLineAllowed(m_session.commandLineAllowed());
}

void PageNavigator::restoreLastPage()
{
    const qsizetype index = kPageNames.indexOf(
        SettingsStore::read(WindowMemory::kSection, kLastPageKey, kPageNames.first()));
    switch (static_cast<Page>(index)) {
    case Page::Chat:
        showChatOnceLoaded();
        return;
    case Page::Settings:
    case Page::Admin:
        // A page this user may not open is not offered again, and not refused again either.
        if (m_session.pagesAllowed()) {
            showPage(static_cast<Page>(index));
        }
        return;
    case Page::Maps:
        showPage(Page::Maps);
        return;
    case Page::Terminal:
        openTerminal();
        return;
    case Page::History:
        openHistory({});
        return;
    case Page::Players:
        return;
    }
}

// The page is of use only once the relay runs: shown the way its button shows it. Its first
// visit registers the relay with commands of its own, which would be taken for the replies that
// the header still waits for and leave it "loading..." for good; so it waits for the header.
void PageNavigator::showChatOnceLoaded()
{
    if (m_session.hostName() != ServerSession::kLoading) {
        m_chatButton.click();
        return;
    }
    auto loaded = std::make_shared<QMetaObject::Connection>();
    auto ended = std::make_shared<QMetaObject::Connection>();
    *loaded = connect(&m_session, &ServerSession::headerChanged, this, [this, loaded, ended] {
        if (m_session.hostName() == ServerSession::kLoading) {
            return;
        }
        disconnect(*loaded);
        disconnect(*ended);
        m_chatButton.click();
    });
    // A session that ends first takes the wish with it: the next one starts on its own pages.
    *ended = connect(&m_session, &ServerSession::disconnected, this, [loaded, ended] {
        disconnect(*loaded);
        disconnect(*ended);
    });
}

void PageNavigator::gatedPage(Page page)
{
    if (m_session.pagesAllowed()) {
        showPage(page);
        return;
    }
    m_dialogs.message(QStringLiteral("Sorry you dont have access to this area!"),
                      QStringLiteral("Access Denied"), BoxIcon::Critical);
}

void PageNavigator::openTerminal()
{
    showPage(Page::Terminal);
    m_terminal.setCommandLineAllowed(m_session.commandLineAllowed());
}

// The History page is open to everyone, like the players page.
void PageNavigator::openHistory(const QStringList& cells)
{
    m_history.setServer(m_session.serverKey());
    if (!cells.isEmpty()) {
        m_history.showPlayerFor(m_session.serverKey(), cells.value(PlayerRow::Guid),
                                cells.value(PlayerRow::Name));
    }
    showPage(Page::History);
}

} // namespace garrison
