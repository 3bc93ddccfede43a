#include "PlayerCommands.h"

#include "platform/Blanks.h"

#include <limits>

namespace garrison {

PlayerCommands::PlayerCommands(const QStringList& cells) : m_cells(cells)
{
    while (m_cells.size() < ColumnCount) {
        m_cells.append(QString());
    }
}

QString PlayerCommands::cell(Column column) const
{
    return m_cells.at(column);
}

QString PlayerCommands::trimmedSlot() const
{
    return Blanks::trim(cell(Slot));
}

QString PlayerCommands::punkBusterSlot() const
{
    return punkBusterSlot(cell(Slot));
}

QString PlayerCommands::punkBusterSlot(const QString& slot)
{
    const QString text = Blanks::trim(slot);
    qsizetype position = 0;
    bool negative = false;
    if (position < text.size() &&
        (text.at(position) == QLatin1Char('-') || text.at(position) == QLatin1Char('+'))) {
        negative = text.at(position) == QLatin1Char('-');
        ++position;
    }
    // A slot has three digits at most; a longer number saturates rather than overflowing.
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 10 - 10;
    qint64 value = 0;
    for (; position < text.size(); ++position) {
        const char16_t character = text.at(position).unicode();
        if (character < u'0' || character > u'9') {
            break;
        }
        value = value < kLimit ? value * 10 + (character - u'0') : kLimit;
    }
    return QString::number((negative ? -value : value) + 1);
}

QString PlayerCommands::kickPlayer() const
{
    return QStringLiteral("kick ") + cell(Name);
}

QString PlayerCommands::clientKick() const
{
    return QStringLiteral("clientkick ") + trimmedSlot();
}

QString PlayerCommands::banPlayer() const
{
    return QStringLiteral("banuser ") + cell(Name);
}

QString PlayerCommands::clientBan() const
{
    return QStringLiteral("banclient ") + trimmedSlot();
}

QString PlayerCommands::tempBanPlayer() const
{
    return QStringLiteral("tempbanUser ") + cell(Name);
}

QString PlayerCommands::tempBanClient() const
{
    return QStringLiteral("tempbanClient ") + trimmedSlot();
}

QString PlayerCommands::unbanPlayer() const
{
    return QStringLiteral("unbanuser ") + cell(Name);
}

QString PlayerCommands::screenshot() const
{
    return QStringLiteral("pb_sv_getss ") + punkBusterSlot();
}

QString PlayerCommands::screenshotSequence() const
{
    return QStringLiteral("PB_SV_Task 10 180 PB_SV_GETSS ") + punkBusterSlot();
}

QString PlayerCommands::punkBusterKick(const QString& publicReason,
                                       const QString& privateReason) const
{
    return QStringLiteral("pb_sv_kick ") + punkBusterSlot() + QStringLiteral(" 0 ") + publicReason +
           QLatin1Char(' ') + privateReason;
}

QString PlayerCommands::punkBusterBan(const QString& publicReason,
                                      const QString& privateReason) const
{
    return QStringLiteral("pb_sv_ban ") + punkBusterSlot() + QStringLiteral(" 0 ") + publicReason +
           QLatin1Char(' ') + privateReason;
}

QString PlayerCommands::report(const QDateTime& now) const
{
    return QStringList{
        QStringLiteral("Player Report : Created on ") + now.toString(QStringLiteral("MM-dd-yyyy")) +
            QStringLiteral(" at ") + now.toString(QStringLiteral("HH:mm:ss")),
        QStringLiteral("Slot:") + cell(Slot),
        QStringLiteral("Player Name: ") + cell(Name),
        QStringLiteral("Hash: ") + cell(Guid),
        QStringLiteral("Current Score: ") + Blanks::trimLeading(cell(Score)),
        QStringLiteral("IP Address : ") + cell(Address),
    }
        .join(QStringLiteral("\r\n"));
}

const PlayerCommands::ReasonQuestions& PlayerCommands::kickReasons()
{
    static const ReasonQuestions questions{
        {QStringLiteral("Type here the public reason of this kick"),
         QStringLiteral("Kick - Public Reason"), QStringLiteral("Teamkill")},
        {QStringLiteral("Type here the private reason of this kick"),
         QStringLiteral("Kick - Private Reason"), QStringLiteral("Teamkill")},
    };
    return questions;
}

const PlayerCommands::ReasonQuestions& PlayerCommands::banReasons()
{
    // "Ba - " is the title users know; kept as it is.
    static const ReasonQuestions questions{
        {QStringLiteral("Type here the public reason of this ban"),
         QStringLiteral("Ban - Public Reason"), QStringLiteral("Teamkill")},
        {QStringLiteral("Type here the private reason of this ban"),
         QStringLiteral("Ba - Private Reason"), QStringLiteral("Teamkill")},
    };
    return questions;
}

} // namespace garrison
