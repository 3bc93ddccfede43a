#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class AdminPage;
}

namespace garrison {

class CommandSender;
class Dialogs;

class AdminPage : public QWidget {
    Q_OBJECT

public:
    AdminPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent = nullptr);
    ~AdminPage() override;

private:
    const std::unique_ptr<Ui::AdminPage> m_ui;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
};

} // namespace garrison
