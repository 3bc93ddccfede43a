#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class PlayersPage;
}

class QTableView;

namespace garrison {

// The players page Picture1 with the player grid.
class PlayersPage : public QWidget {
    Q_OBJECT

public:
    explicit PlayersPage(QWidget* parent = nullptr);
    ~PlayersPage() override;

    QTableView& grid();

private:
    const std::unique_ptr<Ui::PlayersPage> m_ui;
};

} // namespace garrison
