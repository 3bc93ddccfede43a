#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class SettingsPage;
}

namespace garrison {

class CommandSender;
class Dialogs;

class SettingsPage : public QWidget {
    Q_OBJECT

public:
    SettingsPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent = nullptr);
    ~SettingsPage() override;

private:
    const std::unique_ptr<Ui::SettingsPage> m_ui;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
};

} // namespace garrison
