#pragma once

#include <QObject>
#include <QString>

class QBoxLayout;
class QLabel;
class QSystemTrayIcon;
class QWidget;

namespace garrison {

// What a main window tells without a box: the note over the pages while the server stays
// silent (lblNoAnswer), and the line at the bottom (statusLine) with the last command sent,
// the server's refusals and whatever else the user should see.
class SessionNotes : public QObject {
    Q_OBJECT

public:
    // Places both in the window's outer layout: the note under the header, the line last.
    SessionNotes(QWidget& window, QBoxLayout& outer);

    void showStatus(const QString& text);
    // Something in the game wants an administrator (an alert word, a player's report): the
    // status line tells it, and the desktop shows a notification where it has a tray.
    void showAlert(const QString& title, const QString& text);
    // A desktop notification: the desktop's own service, else the tray where there is one.
    void notify(const QString& title, const QString& text);
    void showSilence(const QString& note);
    void hideSilence();

private:
    QLabel* m_noAnswer;
    QLabel* m_statusLine;
    QSystemTrayIcon* m_tray = nullptr;
};

} // namespace garrison
