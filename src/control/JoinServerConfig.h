#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class JoinServerConfig;
}

namespace garrison {

class Dialogs;

// The window joinserverconfig: where the game's executable and the join password are chosen.
// It deletes itself when closed; only "Save" stores anything.
class JoinServerConfig : public QWidget {
    Q_OBJECT

public:
    JoinServerConfig(Dialogs& dialogs, const QString& path, const QString& password,
                     QWidget* parent = nullptr);
    ~JoinServerConfig() override;

Q_SIGNALS:
    // After "Save" has written both values to the settings store.
    void saved(const QString& path, const QString& password);

private:
    // The open-file dialog for files of type flType, starting in the current folder; empty
    // when cancelled.
    QString Select_File(const QString& Desc, const QString& flType);
    void save();

    const std::unique_ptr<Ui::JoinServerConfig> m_ui;
    Dialogs& m_dialogs;
};

} // namespace garrison
