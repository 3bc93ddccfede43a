#include "CommandButtons.h"

#include "control/LabelButton.h"
#include "rcon/CommandSender.h"

#include <QLineEdit>
#include <QWidget>

namespace garrison {

void connectCommandButtons(QWidget& page, SettingsCommands::Page which, CommandSender& sender)
{
    for (const auto* table : {&SettingsCommands::fixedCommands(), &SettingsCommands::queries()}) {
        for (const SettingsCommands::Fixed& entry : *table) {
            if (entry.page != which) {
                continue;
            }
            auto* button = page.findChild<LabelButton*>(entry.control);
            Q_ASSERT_X(button, "connectCommandButtons", qPrintable(entry.control));
            if (!button) {
                continue;
            }
            const QString command = entry.command;
            QObject::connect(button, &LabelButton::clicked, &page,
                             [&sender, command] { sender.Send(command); });
        }
    }
}

void sendOnEnter(QLineEdit& field, std::function<bool()> send)
{
    QObject::connect(&field, &QLineEdit::returnPressed, &field, [&field, send = std::move(send)] {
        if (send()) {
            field.selectAll();
        }
    });
}

} // namespace garrison
