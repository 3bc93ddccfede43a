#pragma once

#include <QString>
#include <QWidget>
#include <memory>

namespace Ui {
class TellWindow;
}

namespace garrison {

class CommandSender;

// The tell window Form2 ("Input box"): one line sent privately to the player in a slot with
// "tell". Opening it again while it is open reuses it with the new slot; closing forgets it.
class TellWindow : public QWidget {
    Q_OBJECT

public:
    inline static const QString kWarnDescription =
        QStringLiteral("Just type in the warning message to this player. Only he can see this! "
                       "(The slot is used for this!)");

    explicit TellWindow(CommandSender& sender, QWidget* parent = nullptr);
    ~TellWindow() override;

    // Sets the explanation and the slot, then shows the window, not modal.
    void open(const QString& description, const QString& slot);
    // What the player menu's "Warn Player" opens.
    void warn(const QString& slot) { open(kWarnDescription, slot); }
    // A new session: a message begun for the previous server's player is dropped unsent.
    void startSession() { close(); }

Q_SIGNALS:
    // The message went out to the player in this slot.
    void messageSent(const QString& slot, const QString& message);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void sendAndClose();

    const std::unique_ptr<Ui::TellWindow> m_ui;
    CommandSender& m_sender;
};

} // namespace garrison
