#include "SimPlayer.h"

#include "SimText.h"

namespace garrison::sim {

QString SimPlayer::addressText() const
{
    switch (kind) {
    case Kind::Host:
        return QStringLiteral("loopback");
    case Kind::Bot:
        return QStringLiteral("bot");
    case Kind::Human:
        break;
    }
    // The engine keeps ports in a short, so ports above 32767 print negative.
    return ip + u':' + QString::number(static_cast<qint16>(port));
}

QString SimPlayer::plainName() const
{
    return SimText::stripColours(name);
}

} // namespace garrison::sim
