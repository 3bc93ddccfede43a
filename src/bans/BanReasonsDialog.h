#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

namespace Ui {
class BanReasonsDialog;
}

namespace garrison {

class BanSource;
class Dialogs;

// The reasons that the ban dialogs offer, in a list to add to, change, take from and put in
// order: this computer's ("[Bans] Reasons"). A daemon's reasons are set in its configuration;
// they are shown here, but not to be changed.
class BanReasonsDialog : public QDialog {
    Q_OBJECT

public:
    // Shows this computer's reasons; new ones are typed in `dialogs`' input box.
    explicit BanReasonsDialog(Dialogs& dialogs, QWidget* parent = nullptr);
    ~BanReasonsDialog() override;

    // In a session whose bans are `source`'s: the reasons it sets, if any, are shown instead,
    // and it is asked for them anew; until something is changed here, the list follows its
    // answer.
    void showReasonsOf(BanSource& source);
    // Whether the list is this computer's, which OK keeps.
    bool isEditable() const { return m_editable; }
    QStringList reasons() const;

private:
    void showList(const QStringList& reasons, bool editable);
    void add();
    void edit();
    void remove();
    void move(int by);
    void updateButtons();

    const std::unique_ptr<Ui::BanReasonsDialog> m_ui;
    Dialogs& m_dialogs;
    bool m_editable = true;
    bool m_changed = false;
};

} // namespace garrison
