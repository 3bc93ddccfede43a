#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace garrison {

// The commands typed in this run, walked with Up and Down as shells do: Up from the line being
// typed keeps it as a draft, and Down past the newest command brings the draft back.
class CommandHistory {
public:
    static constexpr int kLimit = 200;

    // Empty commands and a repeat of the newest one are not recorded; the walk starts afresh.
    void add(const QString& command);

    // The command before the one shown; nullopt when there is none. The command line keeps
    // what was sent, so the newest command equal to the line is passed over.
    std::optional<QString> previous(const QString& currentLine);
    // The command after the one shown, or the draft after the newest; nullopt at the draft.
    std::optional<QString> next();

    const QStringList& commands() const { return m_commands; }

private:
    QStringList m_commands;
    qsizetype m_position = 0;
    QString m_draft;
};

} // namespace garrison
