#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class ChatPage;
}

namespace garrison {

class CommandSender;
class Dialogs;

class ChatPage : public QWidget {
    Q_OBJECT

public:
    ChatPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent = nullptr);
    ~ChatPage() override;

private:
    const std::unique_ptr<Ui::ChatPage> m_ui;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
};

} // namespace garrison
