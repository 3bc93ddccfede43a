#include "SessionNotes.h"

#include "platform/DesktopNotifier.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QSystemTrayIcon>

namespace garrison {

SessionNotes::SessionNotes(QWidget& window, QBoxLayout& outer)
    : QObject(&window), m_noAnswer(new QLabel(&window)), m_statusLine(new QLabel(&window))
{
    m_noAnswer->setObjectName(QStringLiteral("lblNoAnswer"));
    m_noAnswer->setWordWrap(true);
    m_noAnswer->setStyleSheet(QStringLiteral("QLabel { background: #fff3c4; color: #4a3800; "
                                             "border: 1px solid #d9b948; padding: 4px; }"));
    m_noAnswer->hide();
    outer.insertWidget(1, m_noAnswer);
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    m_statusLine->setFrameShape(QFrame::StyledPanel);
    m_statusLine->setFrameShadow(QFrame::Sunken);
    m_statusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long text is cut at the window's edge (the tool tip has it whole), never widens it.
    m_statusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_statusLine->setToolTip(tr("The last command sent, and the server's refusals"));
    outer.addWidget(m_statusLine);
}

void SessionNotes::showStatus(const QString& text)
{
    m_statusLine->setText(text);
    m_statusLine->setToolTip(text);
}

void SessionNotes::showAlert(const QString& title, const QString& text)
{
    showStatus(title + QStringLiteral(" — ") + text);
    notify(title, text);
}

void SessionNotes::notify(const QString& title, const QString& text)
{
    if (DesktopNotifier::notify(title, text) || !QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    if (m_tray == nullptr) {
        m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
        m_tray->setToolTip(QStringLiteral("GARRISON"));
    }
    m_tray->show();
    m_tray->showMessage(title, text, QSystemTrayIcon::Warning);
}

void SessionNotes::showSilence(const QString& note)
{
    m_noAnswer->setText(note);
    m_noAnswer->show();
}

void SessionNotes::hideSilence()
{
    m_noAnswer->hide();
}

} // namespace garrison
