#pragma once

#include "control/SettingsCommands.h"

class QWidget;

namespace garrison {

class CommandSender;

// Makes every label-button of the page that sends one literal command (and every option name
// that asks the server) send it on a click.
void connectCommandButtons(QWidget& page, SettingsCommands::Page which, CommandSender& sender);

} // namespace garrison
