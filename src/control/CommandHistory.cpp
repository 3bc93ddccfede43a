#include "CommandHistory.h"

namespace garrison {

void CommandHistory::add(const QString& command)
{
    if (!command.isEmpty() && (m_commands.isEmpty() || m_commands.constLast() != command)) {
        m_commands.append(command);
        if (m_commands.size() > kLimit) {
            m_commands.removeFirst();
        }
    }
    m_position = m_commands.size();
    m_draft.clear();
}

std::optional<QString> CommandHistory::previous(const QString& currentLine)
{
    if (m_position == 0) {
        return std::nullopt;
    }
    if (m_position == m_commands.size()) {
        m_draft = currentLine;
        if (m_commands.constLast() == currentLine && m_commands.size() > 1) {
            --m_position;
        }
    }
    --m_position;
    return m_commands.at(m_position);
}

std::optional<QString> CommandHistory::next()
{
    if (m_position >= m_commands.size()) {
        return std::nullopt;
    }
    ++m_position;
    return m_position == m_commands.size() ? m_draft : m_commands.at(m_position);
}

} // namespace garrison
