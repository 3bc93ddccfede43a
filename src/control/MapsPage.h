#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MapsPage;
}

namespace garrison {

class CommandSender;
class Dialogs;

class MapsPage : public QWidget {
    Q_OBJECT

public:
    MapsPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent = nullptr);
    ~MapsPage() override;

private:
    const std::unique_ptr<Ui::MapsPage> m_ui;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
};

} // namespace garrison
