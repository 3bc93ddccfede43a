#pragma once

#include "control/CurrentValues.h"

#include <QWidget>
#include <memory>

namespace Ui {
class SettingsPage;
}

class QLabel;

namespace garrison {

class CommandSender;
class Dialogs;

// The Settings page SeeSettings: server name, ping limits, game rules and modes, the four
// options whose current state the server reports, and the map rotation builder.
class SettingsPage : public QWidget {
    Q_OBJECT

public:
    // The on/off pairs of "Other Options", in the order the reply routing names them.
    enum class Indicator { Vote, PunkBuster, Voice, TeamBalance };

    SettingsPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent = nullptr);
    ~SettingsPage() override;

    // The server's answer to an option's query: a single-line border on the label of the
    // current state, none on the other.
    void setIndicator(Indicator which, bool on);
    // A new session: the boxes as the page opens, no indicator lit, no rotation, no current
    // value known.
    void startSession();
    // The server's current value of a variable, beside the field or buttons that set it.
    void showServerValue(const QString& variable, const QString& value);
    // While the page is in view: its variables' current values are wanted (valuesRequested).
    void requestValues();

Q_SIGNALS:
    // Something for the main window's status line.
    void statusMessage(const QString& text);
    // The page came into view: the current values of these variables are wanted.
    void valuesRequested(const QStringList& variables);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Both return whether the command went out.
    bool setServerName();
    bool changePing();
    void addToRotation();
    void sendRotation();
    // Text12 with its line breaks as CR LF, the way the program's multi-line texts hold them.
    QString rotationText() const;
    void setRotationText(const QString& text);

    void placeCurrentValues();

    const std::unique_ptr<Ui::SettingsPage> m_ui;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
    CurrentValues m_values;
};

} // namespace garrison
