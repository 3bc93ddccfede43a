#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace garrison::sim {

// The server's variables with their registered spelling, default and domain. Names are looked
// up without regard to case, as the engine does, and always answer with the registered spelling.
class SimDvarTable {
public:
    enum class Domain { Bool, Int, Text };
    enum Flag { ServerInfo = 0x1, SystemInfo = 0x2, ReadOnly = 0x4 };

    struct Dvar {
        QString name;
        QString value;
        QString defaultValue;
        Domain domain = Domain::Text;
        int min = 0;
        int max = 0;
        int flags = 0;
    };

    enum class SetResult { Done, ReadOnly, OutOfDomain };

    // The variables GARRISON reads or writes, with the game's defaults.
    static SimDvarTable withDefaults();

    void add(const Dvar& dvar);
    const Dvar* find(QStringView name) const;
    QString value(QStringView name) const;

    // Through the console: read-only variables refuse, values outside the domain are refused.
    SetResult set(QStringView name, const QString& value);
    // From the engine itself (the map name after a load); creates a text variable if needed.
    void force(const QString& name, const QString& value);

    // The engine's answer to a bare name, as print pieces.
    QStringList describe(const Dvar& dvar) const;
    static QString domainText(const Dvar& dvar);
    QList<const Dvar*> withFlag(Flag flag) const;

private:
    Dvar* findMutable(QStringView name);

    QList<Dvar> m_dvars;
    QHash<QString, qsizetype> m_index;
};

} // namespace garrison::sim
