#include "QueryResponse.h"

#include "platform/AnsiText.h"

namespace garrison {

namespace {

constexpr QByteArrayView kMarker("\xFF\xFF\xFF\xFF", 4);

// The leading whole number and what follows it; nullopt when the text starts with none.
std::optional<std::pair<int, QStringView>> leadingNumber(QStringView text)
{
    text = text.trimmed();
    qsizetype end = text.startsWith(u'-') ? 1 : 0;
    const qsizetype digits = end;
    while (end < text.size() && text[end] >= u'0' && text[end] <= u'9') {
        ++end;
    }
    bool ok = false;
    const int value = text.first(end).toInt(&ok);
    if (end == digits || !ok || (end < text.size() && text[end] != u' ')) {
        return std::nullopt;
    }
    return std::pair{value, text.sliced(end)};
}

} // namespace

std::optional<QueryPlayer> QueryResponse::parsePlayer(QStringView line)
{
    const auto score = leadingNumber(line);
    if (!score) {
        return std::nullopt;
    }
    const auto ping = leadingNumber(score->second);
    if (!ping) {
        return std::nullopt;
    }
    QStringView name = ping->second.trimmed();
    // Quotes are dropped at both ends only, so that a quote inside a name stays.
    if (name.startsWith(u'"')) {
        name = name.sliced(1);
        if (name.endsWith(u'"')) {
            name.chop(1);
        }
    }
    return QueryPlayer{name.toString(), score->first, ping->first};
}

std::optional<QueryResponse> QueryResponse::parse(QByteArrayView datagram)
{
    if (datagram.size() > kMaxDatagram || !datagram.startsWith(kMarker)) {
        return std::nullopt;
    }
    const QString text = fromAnsi(datagram.sliced(kMarker.size()).toByteArray());
    const qsizetype wordEnd = text.indexOf(u'\n');
    if (wordEnd < 0) {
        return std::nullopt;
    }
    const QStringView word = QStringView(text).first(wordEnd).trimmed();
    QueryResponse response;
    if (word.compare(u"infoResponse", Qt::CaseInsensitive) == 0) {
        response.kind = Kind::Info;
    } else if (word.compare(u"statusResponse", Qt::CaseInsensitive) == 0) {
        response.kind = Kind::Status;
    } else {
        return std::nullopt;
    }
    const QStringView body = QStringView(text).sliced(wordEnd + 1);
    response.variables = InfoString::parse(body);
    if (response.kind == Kind::Status) {
        const qsizetype playersStart = body.indexOf(u'\n');
        const QStringView lines = playersStart < 0 ? QStringView() : body.sliced(playersStart + 1);
        for (const QStringView line : lines.tokenize(u'\n', Qt::SkipEmptyParts)) {
            if (const std::optional<QueryPlayer> player = parsePlayer(line)) {
                response.players.append(*player);
            }
        }
    }
    return response;
}

QByteArray QueryResponse::request(Kind kind, const QString& challenge)
{
    return kMarker.toByteArray() + (kind == Kind::Info ? "getinfo " : "getstatus ") +
           toAnsi(challenge);
}

} // namespace garrison
