#include "ChatPage.h"

#include "control/LabelButton.h"
#include "platform/Blanks.h"
#include "platform/ConsoleBox.h"
#include "platform/ReadableColours.h"
#include "players/GameColours.h"
#include "rcon/CommandSender.h"
#include "ui_ChatPage.h"

#include <QPushButton>
#include <QTextBrowser>

namespace garrison {

ChatPage::ChatPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::ChatPage>()), m_sender(sender), m_dialogs(dialogs),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    m_ui->setupUi(this);

    ReadableColours::setTranscriptBackground(*m_ui->txtsay2, palette());

    const struct {
        QPushButton* button;
        const char* colour;
        const char* name;
        const char* code;
    } colourButtons[] = {
        {m_ui->Command6, "#ff0000", "red", " ^1"},
        {m_ui->Command7, "#00c000", "green", " ^2"},
        {m_ui->Command8, "#ffff00", "yellow", " ^3"},
        {m_ui->Command9, "#0000ff", "blue", " ^4"},
        {m_ui->Command10, "#00ffff", "cyan", " ^5"},
        {m_ui->Command11, "#ff00ff", "magenta", " ^6"},
        {m_ui->Command12, "#ffffff", "white", " ^7"},
        {m_ui->Command13, "#000000", "black", " ^0"},
    };
    for (const auto& entry : colourButtons) {
        const QString code = QString::fromLatin1(entry.code);
        entry.button->setStyleSheet(
            QStringLiteral("QPushButton { background-color: %1; border: 1px solid #808080; }")
                .arg(QLatin1String(entry.colour)));
        entry.button->setToolTip(QStringLiteral("Insert the colour code for %1 (%2)")
                                     .arg(QLatin1String(entry.name), code.trimmed()));
        entry.button->setAccessibleName(QLatin1String(entry.name));
        connect(entry.button, &QPushButton::clicked, this,
                [this, code] { insertColourCode(code); });
    }

    m_ui->gameChat->document()->setMaximumBlockCount(kGameChatLines);
    m_ui->gameChat->setStyleSheet(QStringLiteral("QTextBrowser { background-color: #%1; }")
                                      .arg(GameColours::kNameCell, 6, 16, QLatin1Char('0')));

    connect(m_ui->txtsay1, &QLineEdit::returnPressed, this, &ChatPage::sendMessage);
    connect(m_ui->Label93, &LabelButton::clicked, this, &ChatPage::serverLogRequested);
}

ChatPage::~ChatPage() = default;

ConsoleBox& ChatPage::txtsay2()
{
    return *m_ui->txtsay2;
}

QString ChatPage::transcript() const
{
    return m_ui->txtsay2->text();
}

void ChatPage::setTranscript(const QString& text)
{
    m_ui->txtsay2->setText(text);
    m_ui->txtsay2->moveCaretToEnd();
    m_logShown = text.size();
    m_ownLinesSinceLog = false;
}

void ChatPage::showLogChange(qsizetype kept, const QString& appended, const QString& text)
{
    ConsoleBox& box = *m_ui->txtsay2;
    if (kept == m_logShown) {
        box.appendText(appended);
    } else if (!m_ownLinesSinceLog && kept < m_logShown) {
        box.truncateText(kept);
        box.appendText(appended);
    } else {
        setTranscript(text);
        return;
    }
    m_logShown = text.size();
    box.moveCaretToEnd();
}

void ChatPage::showGameChat(const QDateTime& at, bool teamChat, const QString& name,
                            const QString& text)
{
    const auto coloured = [](const QString& codedText) {
        QString html;
        for (const GameColours::Run& run : GameColours::runs(codedText)) {
            html += QStringLiteral("<span style=\"color:#%1\">%2</span>")
                        .arg(GameColours::shownOn(run.code, GameColours::kNameCell), 6, 16,
                             QLatin1Char('0'))
                        .arg(run.text.toHtmlEscaped());
        }
        return html;
    };
    const QString stamp = at.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
    QString line = QStringLiteral("<span style=\"color:#a0a8b0\">%1</span> ").arg(stamp);
    if (teamChat) {
        line += QStringLiteral("<span style=\"color:#f0c040\">%1</span> ").arg(tr("(Team)"));
    }
    line += QStringLiteral("<b>%1</b><span style=\"color:#e0e0e0\">: </span>%2")
                .arg(coloured(name), coloured(text));
    m_ui->gameChat->show();
    m_ui->gameChat->append(line);
}

QString ChatPage::gameChatText() const
{
    return m_ui->gameChat->toPlainText();
}

void ChatPage::startSession()
{
    m_ui->txtsay1->clear();
    m_ui->gameChat->clear();
    m_ui->txtsay2->clearText();
    // The box no longer holds the log shown so far: lines the tail adds still follow, and only
    // a log that starts over (each login deletes it) is shown whole.
    m_ownLinesSinceLog = true;
}

QString ChatPage::timeStamp(const QDateTime& now)
{
    return QLatin1Char('[') + now.toString(QStringLiteral("MM.dd.yyyy HH:mm:ss")) +
           QLatin1Char(']');
}

void ChatPage::sendMessage()
{
    const QString stamp = timeStamp(m_clock());
    m_ui->txtsay1->setText(Blanks::trim(m_ui->txtsay1->text()));
    const QString message = m_ui->txtsay1->text();
    // Nothing to say: a stray Enter must not broadcast an empty line to every player.
    if (message.isEmpty()) {
        return;
    }
    m_sender.Send(QStringLiteral("say ") + message);

    const QString line = stamp + QStringLiteral("-> You Said: ") + message;
    ConsoleBox& transcriptBox = *m_ui->txtsay2;
    if (transcriptBox.text().isEmpty()) {
        transcriptBox.setText(line);
    } else {
        transcriptBox.appendText(QStringLiteral("\r\n") + line);
    }
    m_ownLinesSinceLog = true;
    transcriptBox.moveCaretToEnd();
    m_ui->txtsay1->clear();
}

void ChatPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        ReadableColours::setTranscriptBackground(*m_ui->txtsay2, palette());
    }
}

void ChatPage::insertColourCode(const QString& code)
{
    m_ui->txtsay1->setText(m_ui->txtsay1->text() + code);
    m_ui->txtsay1->setFocus();
    m_ui->txtsay1->setCursorPosition(m_ui->txtsay1->text().size());
}

} // namespace garrison
