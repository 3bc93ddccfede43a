#include "SettingsPage.h"

#include "control/CommandButtons.h"
#include "control/MapCatalog.h"
#include "control/MapRotation.h"
#include "control/SettingsCommands.h"
#include "platform/Dialogs.h"
#include "platform/DigitsOnly.h"
#include "rcon/CommandSender.h"
#include "ui_SettingsPage.h"

#include <QShowEvent>

namespace garrison {

namespace {

// Keeps the caption in place whether or not the border is drawn.
void showBorder(QLabel* label, bool on)
{
    label->setFrameShape(on ? QFrame::Box : QFrame::NoFrame);
    label->setFrameShadow(QFrame::Plain);
    label->setLineWidth(1);
    label->setMargin(on ? 1 : 2);
}

} // namespace

SettingsPage::SettingsPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::SettingsPage>()), m_sender(sender),
      m_dialogs(dialogs), m_values(*this, SettingsCommands::Page::Settings)
{
    m_ui->setupUi(this);
    placeCurrentValues();
    connectCommandButtons(*this, SettingsCommands::Page::Settings, m_sender);
    allowDigitsOnly(*m_ui->Text27, 4);
    allowDigitsOnly(*m_ui->Text26, 4);

    m_ui->Combo1->addItems(MapCatalog::mapNames());
    m_ui->Combo2->addItems(MapCatalog::gameTypes());
    for (QComboBox* combo : {m_ui->Combo1, m_ui->Combo2}) {
        combo->setInsertPolicy(QComboBox::NoInsert);
    }
    startSession();
    m_ui->Combo1->lineEdit()->setPlaceholderText(tr("choose a map"));
    m_ui->Combo2->lineEdit()->setPlaceholderText(tr("choose a game type"));

    connect(m_ui->Label18, &LabelButton::clicked, this, &SettingsPage::setServerName);
    sendOnEnter(*m_ui->Text8, [this] { return setServerName(); });
    connect(m_ui->Label58, &LabelButton::clicked, this, &SettingsPage::changePing);
    sendOnEnter(*m_ui->Text27, [this] { return changePing(); });
    sendOnEnter(*m_ui->Text26, [this] { return changePing(); });
    connect(m_ui->Label39, &LabelButton::clicked, this, &SettingsPage::addToRotation);
    connect(m_ui->Label40, &LabelButton::clicked, m_ui->Text12, &QPlainTextEdit::clear);
    connect(m_ui->Label41, &LabelButton::clicked, this, &SettingsPage::sendRotation);
}

SettingsPage::~SettingsPage() = default;

// Each beside what sets it: after the field or the last of the buttons, before the spacer.
void SettingsPage::placeCurrentValues()
{
    const auto after = [this](QBoxLayout* layout, QWidget* field, const QString& variable) {
        layout->insertWidget(layout->indexOf(field) + 1, m_values.add(variable));
    };
    after(m_ui->serverNameLayout, m_ui->Label18, QStringLiteral("sv_hostname"));
    after(m_ui->pingLayout, m_ui->Text27, QStringLiteral("sv_minPing"));
    after(m_ui->pingLayout, m_ui->Text26, QStringLiteral("sv_maxPing"));
    after(m_ui->hbox1, m_ui->Label20, QStringLiteral("scr_hardcore"));
    after(m_ui->hbox2, m_ui->Label22, QStringLiteral("scr_oldschool"));
    after(m_ui->hbox3, m_ui->Label25, QStringLiteral("scr_game_allowkillcam"));
    after(m_ui->hbox4, m_ui->Label78, QStringLiteral("scr_team_fftype"));
    m_ui->gameModeLayout->addWidget(m_values.add(QStringLiteral("g_gametype")), 1, 3);
    const QString options[] = {QStringLiteral("g_allowvote"), QStringLiteral("sv_punkbuster"),
                               QStringLiteral("sv_voice"), QStringLiteral("scr_teambalance")};
    for (int row = 0; row < 4; ++row) {
        m_ui->optionsLayout->addWidget(m_values.add(options[row]), row, 4);
    }
}

void SettingsPage::showServerValue(const QString& variable, const QString& value)
{
    m_values.show(variable, value);
}

void SettingsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        requestValues();
    }
}

void SettingsPage::setIndicator(Indicator which, bool on)
{
    const std::pair<QLabel*, QLabel*> pairs[] = {{m_ui->Label80, m_ui->Label81},
                                                 {m_ui->Label83, m_ui->Label84},
                                                 {m_ui->Label86, m_ui->Label87},
                                                 {m_ui->Label89, m_ui->Label90}};
    const auto& [onLabel, offLabel] = pairs[static_cast<int>(which)];
    showBorder(onLabel, on);
    showBorder(offLabel, !on);
}

void SettingsPage::startSession()
{
    m_ui->Text8->clear();
    m_ui->Text27->setText(QStringLiteral("0"));
    m_ui->Text26->setText(QStringLiteral("300"));
    for (QLabel* label : {m_ui->Label80, m_ui->Label81, m_ui->Label83, m_ui->Label84, m_ui->Label86,
                          m_ui->Label87, m_ui->Label89, m_ui->Label90}) {
        showBorder(label, false);
    }
    for (QComboBox* combo : {m_ui->Combo1, m_ui->Combo2}) {
        combo->setCurrentIndex(-1);
        combo->clearEditText();
    }
    m_ui->Text12->clear();
    m_values.clear();
}

void SettingsPage::requestValues()
{
    if (isVisible()) {
        Q_EMIT valuesRequested(m_values.variables());
    }
}

bool SettingsPage::setServerName()
{
    m_sender.Send(SettingsCommands::hostName(m_ui->Text8->text()));
    return true;
}

bool SettingsPage::changePing()
{
    switch (SettingsCommands::checkPing(m_ui->Text27->text(), m_ui->Text26->text())) {
    case SettingsCommands::PingProblem::NotNumbers:
        Q_EMIT statusMessage(tr("Min ping and max ping each take a number of milliseconds; "
                                "nothing was sent."));
        return false;
    case SettingsCommands::PingProblem::MinimumAboveMaximum:
        Q_EMIT statusMessage(tr("Min ping %1 is above max ping %2, so no player could join; "
                                "nothing was sent.")
                                 .arg(m_ui->Text27->text(), m_ui->Text26->text()));
        return false;
    case SettingsCommands::PingProblem::None:
        break;
    }
    const SettingsCommands::Ping ping =
        SettingsCommands::ping(m_ui->Text27->text(), m_ui->Text26->text());
    m_sender.Send(ping.minimum);
    m_sender.WaitSend(ping.maximum);
    m_dialogs.message(ping.report, kProgramCaption, BoxIcon::Information);
    return true;
}

void SettingsPage::addToRotation()
{
    const std::optional<QString> rotation =
        MapRotation::add(rotationText(), m_ui->Combo2->currentText(), m_ui->Combo1->currentText());
    if (!rotation) {
        m_dialogs.message(QStringLiteral("Please select both map and gametype!"), kProgramCaption,
                          BoxIcon::Information);
        return;
    }
    setRotationText(*rotation);
}

void SettingsPage::sendRotation()
{
    const std::optional<QString> command = MapRotation::command(rotationText());
    if (!command) {
        m_dialogs.message(QStringLiteral("Please add a map rotation first!"),
                          QStringLiteral("Maps"), BoxIcon::Information);
        return;
    }
    m_sender.Send(*command);
}

QString SettingsPage::rotationText() const
{
    QString text = m_ui->Text12->toPlainText();
    return text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

void SettingsPage::setRotationText(const QString& text)
{
    QString shown = text;
    m_ui->Text12->setPlainText(shown.replace(QLatin1String("\r\n"), QLatin1String("\n")));
    m_ui->Text12->moveCursor(QTextCursor::End);
}

} // namespace garrison
