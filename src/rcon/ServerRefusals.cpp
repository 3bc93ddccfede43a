#include "ServerRefusals.h"

#include "rcon/TextLines.h"

#include <array>

namespace garrison::ServerRefusals {

namespace {

struct Refusal {
    QStringView words;
    QStringView onlyWith; // a second piece the line must hold as well, when not empty
};

// Compared without regard to case: the engines differ ("Unknown command" and "unknown command:").
constexpr std::array kRefusals = {
    Refusal{u"unknown command", {}},
    Refusal{u"is not a valid value", {}},
    Refusal{u"bad rconpassword", {}},
    Refusal{u"invalid password", {}},
    Refusal{u"is read only", {}},
    Refusal{u"is write protected", {}},
    Refusal{u"can't find map", {}},
    Refusal{u"is not on the server", {}},
    Refusal{u"is not active", {}},
    Refusal{u"bad client slot", {}},
    Refusal{u"cannot kick host player", {}},
    Refusal{u"usage:", {}},
    Refusal{u"invalid", u"punkbuster"},
    Refusal{u"not found", u"punkbuster"},
};

bool refuses(QStringView line)
{
    for (const Refusal& refusal : kRefusals) {
        if (line.contains(refusal.words, Qt::CaseInsensitive) &&
            (refusal.onlyWith.isEmpty() || line.contains(refusal.onlyWith, Qt::CaseInsensitive))) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<QString> find(const QString& replyText)
{
    for (QStringView line : QStringView(replyText).tokenize(u'\n')) {
        if (refuses(line)) {
            return StripColourCodes(line.toString()).trimmed();
        }
    }
    return std::nullopt;
}

} // namespace garrison::ServerRefusals
