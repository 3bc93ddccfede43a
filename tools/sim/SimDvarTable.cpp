#include "SimDvarTable.h"

namespace garrison::sim {

namespace {

// Like atoi: the leading number, 0 when there is none.
qint64 leadingNumber(const QString& text, bool* found)
{
    const QString trimmed = text.trimmed();
    qsizetype end = 0;
    if (end < trimmed.size() && (trimmed[end] == u'-' || trimmed[end] == u'+')) {
        ++end;
    }
    const qsizetype digits = end;
    while (end < trimmed.size() && trimmed[end].isDigit() && end - digits < 12) {
        ++end;
    }
    *found = end > digits;
    return *found ? trimmed.left(end).toLongLong() : 0;
}

} // namespace

SimDvarTable SimDvarTable::withDefaults()
{
    using D = Domain;
    SimDvarTable table;
    const auto text = [&](const char16_t* name, const char16_t* value, int flags = 0) {
        table.add({QString::fromUtf16(name), QString::fromUtf16(value), QString::fromUtf16(value),
                   D::Text, 0, 0, flags});
    };
    const auto flag = [&](const char16_t* name, bool on, int flags = 0) {
        const QString value = on ? QStringLiteral("1") : QStringLiteral("0");
        table.add({QString::fromUtf16(name), value, value, D::Bool, 0, 1, flags});
    };
    const auto number = [&](const char16_t* name, int value, int min, int max, int flags = 0) {
        table.add({QString::fromUtf16(name), QString::number(value), QString::number(value), D::Int,
                   min, max, flags});
    };
    text(u"sv_hostname", u"CoDWaWHost", ServerInfo);
    text(u"mapname", u"", ServerInfo | ReadOnly);
    text(u"g_gametype", u"tdm", ServerInfo);
    flag(u"g_allowVote", true);
    flag(u"sv_punkbuster", true, ServerInfo);
    flag(u"sv_voice", false, ServerInfo);
    flag(u"scr_teambalance", true);
    flag(u"scr_hardcore", false, ServerInfo);
    flag(u"scr_oldschool", false, ServerInfo);
    flag(u"scr_game_allowkillcam", true);
    number(u"scr_team_fftype", 0, 0, 3);
    number(u"sv_minPing", 0, 0, 1000, ServerInfo);
    number(u"sv_maxPing", 0, 0, 1000, ServerInfo);
    number(u"sv_privateClients", 0, 0, 64, ServerInfo);
    text(u"sv_privatePassword", u"");
    // The join password; the game keeps g_needpass in step with it for the server lists.
    text(u"g_password", u"");
    number(u"g_needpass", 0, 0, 1, ServerInfo | ReadOnly);
    text(u"sv_mapRotation", u"");
    text(u"sv_mapRotationCurrent", u"");
    number(u"sv_maxclients", 24, 1, 64, ServerInfo);
    flag(u"sv_cheats", false, SystemInfo);
    flag(u"sv_pure", true, SystemInfo);
    number(u"sv_serverid", 0, 0, 0x7FFFFFFF, SystemInfo | ReadOnly);
    number(u"sv_fps", 20, 10, 1000);
    return table;
}

void SimDvarTable::add(const Dvar& dvar)
{
    m_index.insert(dvar.name.toLower(), m_dvars.size());
    m_dvars.append(dvar);
}

const SimDvarTable::Dvar* SimDvarTable::find(QStringView name) const
{
    const auto at = m_index.constFind(name.toString().toLower());
    return at == m_index.cend() ? nullptr : &m_dvars.at(*at);
}

SimDvarTable::Dvar* SimDvarTable::findMutable(QStringView name)
{
    const auto at = m_index.constFind(name.toString().toLower());
    return at == m_index.cend() ? nullptr : &m_dvars[*at];
}

QString SimDvarTable::value(QStringView name) const
{
    const Dvar* dvar = find(name);
    return dvar == nullptr ? QString() : dvar->value;
}

SimDvarTable::SetResult SimDvarTable::set(QStringView name, const QString& value)
{
    Dvar* dvar = findMutable(name);
    if (dvar == nullptr) {
        add({name.toString(), value, QString(), Domain::Text, 0, 0, 0});
        return SetResult::Done;
    }
    if (dvar->flags & ReadOnly) {
        return SetResult::ReadOnly;
    }
    bool found = false;
    const qint64 number = leadingNumber(value, &found);
    switch (dvar->domain) {
    case Domain::Text:
        dvar->value = value;
        break;
    case Domain::Bool:
        dvar->value = number != 0 ? QStringLiteral("1") : QStringLiteral("0");
        break;
    case Domain::Int:
        if (!found || number < dvar->min || number > dvar->max) {
            return SetResult::OutOfDomain;
        }
        dvar->value = QString::number(number);
        break;
    }
    return SetResult::Done;
}

void SimDvarTable::force(const QString& name, const QString& value)
{
    if (Dvar* dvar = findMutable(name)) {
        dvar->value = value;
    } else {
        add({name, value, QString(), Domain::Text, 0, 0, 0});
    }
}

QStringList SimDvarTable::describe(const Dvar& dvar) const
{
    return {QStringLiteral("\"%1\" is: \"%2^7\" default: \"%3^7\"\n")
                .arg(dvar.name, dvar.value, dvar.defaultValue),
            QStringLiteral("  %1\n").arg(domainText(dvar))};
}

QString SimDvarTable::domainText(const Dvar& dvar)
{
    switch (dvar.domain) {
    case Domain::Bool:
        return QStringLiteral("Domain is 0 or 1");
    case Domain::Int:
        return QStringLiteral("Domain is any integer from %1 to %2").arg(dvar.min).arg(dvar.max);
    case Domain::Text:
        break;
    }
    return QStringLiteral("Domain is any text");
}

QList<const SimDvarTable::Dvar*> SimDvarTable::withFlag(Flag flag) const
{
    QList<const Dvar*> found;
    for (const Dvar& dvar : m_dvars) {
        if (dvar.flags & flag) {
            found.append(&dvar);
        }
    }
    return found;
}

} // namespace garrison::sim
