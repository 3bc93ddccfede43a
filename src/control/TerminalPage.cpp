#include "TerminalPage.h"

#include "control/CommandButtons.h"
#include "platform/ConsoleBox.h"
#include "platform/FixedPitchFont.h"
#include "platform/ReadableColours.h"
#include "rcon/CommandSender.h"
#include "ui_TerminalPage.h"

#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>
#include <QShowEvent>

namespace garrison {

namespace {
const QString kRefusal =
    QStringLiteral("Sorry but you dont have access to full console command...");
} // namespace

TerminalPage::TerminalPage(CommandSender& sender, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::TerminalPage>()), m_sender(sender)
{
    m_ui->setupUi(this);
    m_ui->txtOutput->setFont(FixedPitchFont::get());
    m_ui->txtOutput->setLimit(ConsoleBox::kConsoleLimit);
    applyTranscriptColours();
    sendOnEnter(*m_ui->Text7, [this] {
        sendCommandLine();
        return true;
    });
    m_ui->Text7->installEventFilter(this);

    m_ui->txtOutput->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui->txtOutput, &QWidget::customContextMenuRequested, this,
            &TerminalPage::showConsoleMenu);

    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, &TerminalPage::showFindBar);
    m_ui->txtFind->installEventFilter(this);
    connect(m_ui->txtFind, &QLineEdit::textEdited, this, [this] {
        // Search again from where the text was found, so that typing refines the same match.
        QTextCursor cursor = m_ui->txtOutput->textCursor();
        cursor.setPosition(cursor.selectionStart());
        m_ui->txtOutput->setTextCursor(cursor);
        findText();
    });
}

TerminalPage::~TerminalPage() = default;

ConsoleBox& TerminalPage::console()
{
    return *m_ui->txtOutput;
}

void TerminalPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_ui->Text7->isEnabled()) {
        m_ui->Text7->setFocus(Qt::OtherFocusReason);
    }
}

void TerminalPage::setCommandLineAllowed(bool allowed)
{
    if (allowed) {
        // The refusal is the program's text, never a command to send.
        if (m_ui->Text7->text() == kRefusal) {
            m_ui->Text7->clear();
        }
        m_ui->Text7->setEnabled(true);
        if (isVisible()) {
            m_ui->Text7->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    m_ui->Text7->setText(kRefusal);
    m_ui->Text7->setEnabled(false);
}

void TerminalPage::startSession()
{
    m_ui->txtOutput->clearText();
    m_ui->Text7->clear();
    m_ui->lblFindResult->clear();
    m_ui->findBar->hide();
}

void TerminalPage::sendCommandLine()
{
    // Sent as typed and kept (selected), so that Enter again sends it again.
    const QString command = m_ui->Text7->text();
    m_history.add(command);
    m_sender.Send(command);
}

void TerminalPage::showFindBar()
{
    m_ui->findBar->show();
    m_ui->txtFind->setFocus();
    m_ui->txtFind->selectAll();
}

bool TerminalPage::findText(bool backwards)
{
    const QString wanted = m_ui->txtFind->text();
    m_ui->lblFindResult->clear();
    if (wanted.isEmpty()) {
        return false;
    }
    ConsoleBox& box = *m_ui->txtOutput;
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (box.find(wanted, flags)) {
        return true;
    }
    const QTextCursor kept = box.textCursor();
    QTextCursor wrapped = kept;
    wrapped.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
    box.setTextCursor(wrapped);
    if (box.find(wanted, flags)) {
        return true;
    }
    box.setTextCursor(kept);
    m_ui->lblFindResult->setText(tr("Not found"));
    return false;
}

bool TerminalPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == m_ui->Text7 && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        const std::optional<QString> recalled =
            key->key() == Qt::Key_Up ? m_history.previous(m_ui->Text7->text()) : m_history.next();
        if (recalled) {
            m_ui->Text7->setText(*recalled);
        }
        return true;
    }
    if (watched == m_ui->txtFind) {
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            findText(key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        case Qt::Key_Escape:
            m_ui->findBar->hide();
            m_ui->txtOutput->setFocus();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TerminalPage::showConsoleMenu(const QPoint& position)
{
    const std::unique_ptr<QMenu> menu(m_ui->txtOutput->createStandardContextMenu(position));
    menu->addSeparator();
    QAction* find = menu->addAction(tr("&Find..."), this, &TerminalPage::showFindBar);
    find->setShortcut(QKeySequence::Find);
    QAction* clear =
        menu->addAction(tr("C&lear Console"), this, [this] { m_ui->txtOutput->clearText(); });
    clear->setObjectName(QStringLiteral("clearConsole"));
    clear->setEnabled(!m_ui->txtOutput->text().isEmpty());
    menu->exec(m_ui->txtOutput->viewport()->mapToGlobal(position));
}

void TerminalPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyTranscriptColours();
    }
}

void TerminalPage::applyTranscriptColours()
{
    ReadableColours::setTranscriptBackground(*m_ui->txtOutput, palette());
}

} // namespace garrison
