#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace garrison {

// The commands and texts of the player menu for one grid row. Cells are used as the grid
// holds them: the name untouched, the slot trimmed for commands and untrimmed for the warn
// window and the report. Missing cells count as empty.
class PlayerCommands {
public:
    enum Column { Name = 0, Score = 1, Ping = 2, Guid = 3, Slot = 4, Address = 5, ColumnCount = 6 };

    struct ReasonQuestion {
        QString prompt;
        QString title;
        QString preset;
    };
    struct ReasonQuestions {
        ReasonQuestion publicReason;
        ReasonQuestion privateReason;
    };

    explicit PlayerCommands(const QStringList& cells);

    QString cell(Column column) const;
    const QStringList& cells() const { return m_cells; }
    QString trimmedSlot() const;
    // The leading number of the trimmed slot plus one; "1" when the slot has no number.
    QString punkBusterSlot() const;

    QString kickPlayer() const;
    QString clientKick() const;
    QString banPlayer() const;
    QString clientBan() const;
    QString tempBanPlayer() const;
    QString tempBanClient() const;
    QString unbanPlayer() const;
    QString screenshot() const;
    QString screenshotSequence() const;
    QString punkBusterKick(const QString& publicReason, const QString& privateReason) const;
    QString punkBusterBan(const QString& publicReason, const QString& privateReason) const;

    // Six lines joined by CR LF, none after the last.
    QString report(const QDateTime& now) const;

    static const ReasonQuestions& kickReasons();
    static const ReasonQuestions& banReasons();
    static QString punkBusterSlot(const QString& slot);

private:
    QStringList m_cells;
};

} // namespace garrison
