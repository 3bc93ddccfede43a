#include "LoginRequest.h"

namespace garrisond {

std::optional<LoginRequest> LoginRequest::parse(const QString& message)
{
    const qsizetype colon = message.indexOf(QLatin1Char(':'));
    const qsizetype dash = message.lastIndexOf(QLatin1Char('-'));
    if (colon <= 0 || dash <= colon) {
        return std::nullopt;
    }
    return LoginRequest{message.left(colon), message.mid(colon + 1, dash - colon - 1),
                        message.mid(dash + 1)};
}

bool LoginRequest::isLevel(const QString& word)
{
    return word == QLatin1String("mp") || word == QLatin1String("admin") ||
           word == QLatin1String("poweradmin");
}

} // namespace garrisond
