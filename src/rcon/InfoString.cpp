#include "InfoString.h"

namespace garrison {

InfoString InfoString::parse(QStringView text)
{
    if (const qsizetype end = text.indexOf(u'\n'); end >= 0) {
        text.truncate(end > 0 && text[end - 1] == u'\r' ? end - 1 : end);
    }
    if (text.startsWith(u'\\')) {
        text = text.sliced(1);
    }
    InfoString info;
    while (!text.isEmpty()) {
        const qsizetype keyEnd = text.indexOf(u'\\');
        const QStringView key = keyEnd < 0 ? text : text.first(keyEnd);
        text = keyEnd < 0 ? QStringView() : text.sliced(keyEnd + 1);
        const qsizetype valueEnd = text.indexOf(u'\\');
        const QStringView value = valueEnd < 0 ? text : text.first(valueEnd);
        text = valueEnd < 0 ? QStringView() : text.sliced(valueEnd + 1);
        if (!key.isEmpty()) {
            info.m_pairs.append({key.toString(), value.toString()});
        }
    }
    return info;
}

std::optional<QString> InfoString::find(QStringView key) const
{
    for (const Pair& pair : m_pairs) {
        if (QStringView(pair.first).compare(key, Qt::CaseInsensitive) == 0) {
            return pair.second;
        }
    }
    return std::nullopt;
}

std::optional<int> InfoString::number(QStringView key) const
{
    const std::optional<QString> text = find(key);
    if (!text) {
        return std::nullopt;
    }
    const QStringView trimmed = QStringView(*text).trimmed();
    qsizetype end = trimmed.startsWith(u'-') || trimmed.startsWith(u'+') ? 1 : 0;
    const qsizetype digits = end;
    // Nine digits at most, so that the number always fits.
    while (end < trimmed.size() && end - digits < 9 && trimmed[end] >= u'0' &&
           trimmed[end] <= u'9') {
        ++end;
    }
    if (end == digits) {
        return std::nullopt;
    }
    return trimmed.first(end).toInt();
}

InfoString InfoString::without(QStringView key) const
{
    InfoString rest;
    for (const Pair& pair : m_pairs) {
        if (QStringView(pair.first).compare(key, Qt::CaseInsensitive) != 0) {
            rest.m_pairs.append(pair);
        }
    }
    return rest;
}

} // namespace garrison
