#pragma once

#include "control/SettingsCommands.h"

#include <functional>

class QLineEdit;
class QWidget;

namespace garrison {

class CommandSender;

// Makes every label-button of the page that sends one literal command (and every option name
// that asks the server) send it on a click.
void connectCommandButtons(QWidget& page, SettingsCommands::Page which, CommandSender& sender);

// Enter in the field runs send (true when something went out). Then the whole text is
// selected: typing replaces it instead of running on from it, and Enter sends it again.
void sendOnEnter(QLineEdit& field, std::function<bool()> send);

} // namespace garrison
