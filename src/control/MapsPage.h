#pragma once

#include <QHash>
#include <QWidget>
#include <memory>

namespace Ui {
class MapsPage;
}

class QLabel;
class QListWidgetItem;

namespace garrison {

class CommandSender;
class Dialogs;

// The Maps page seeMaps: the map list with its preview pictures, the change to the chosen map,
// and the next-map and restart commands.
class MapsPage : public QWidget {
    Q_OBJECT

public:
    MapsPage(CommandSender& sender, Dialogs& dialogs, QWidget* parent = nullptr);
    ~MapsPage() override;

    // A new session: no map chosen, the default picture.
    void startSession();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void entrySelected();
    void entryActivated(QListWidgetItem* item);
    void askForCustomName();
    void showPicture(const QString& picture);
    void changeMap();
    // Paints the pictures again when the screen's pixel ratio differs from the last painting.
    void paintPreviews();

    const std::unique_ptr<Ui::MapsPage> m_ui;
    CommandSender& m_sender;
    Dialogs& m_dialogs;
    QHash<QString, QLabel*> m_pictures;
    qreal m_paintedRatio = 0;
};

} // namespace garrison
