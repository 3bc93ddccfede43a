#pragma once

#include "control/SettingsCommands.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class QLabel;
class QWidget;

namespace garrison {

// The server's current values beside a page's fields: one small label per variable, empty
// until the session has read the value. A value that one of the page's label-buttons sets is
// shown by that button's caption ("ON", "Free For All"), any other as the server has it.
class CurrentValues {
public:
    // Longer values are cut, with an ellipsis, to about this many characters.
    static constexpr int kWidthInCharacters = 24;

    CurrentValues(QWidget& page, SettingsCommands::Page commands);

    // The label for the variable, made here; the page places it beside the field.
    QLabel* add(const QString& variable);
    QStringList variables() const;
    // Values of variables without a label (the other page's) are left alone; names are
    // compared ignoring case, as the server does.
    void show(const QString& variable, const QString& value);
    // A new session: nothing is known of the new server.
    void clear();

private:
    QString shownValue(const QString& variable, const QString& value) const;
    static QString toolTip(const QString& variable);

    QWidget& m_page;
    SettingsCommands::Page m_commands;
    QList<std::pair<QString, QLabel*>> m_labels;
};

} // namespace garrison
