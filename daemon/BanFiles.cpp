#include "BanFiles.h"

#include "WireText.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using garrison::BanRecord;

namespace garrisond {

BanFiles::Read BanFiles::read(const QString& serverDirectory, Which which)
{
    const QDir folder(serverDirectory);
    QList<std::pair<QString, bool>> files{
        {folder.filePath(QStringLiteral("main/ban.txt")), false},
        {folder.filePath(QStringLiteral("ban.txt")), false},
    };
    if (which == Which::All) {
        files.append({folder.filePath(QStringLiteral("pb/pbbans.dat")), true});
        files.append({folder.filePath(QStringLiteral("main/pb/pbbans.dat")), true});
    }
    Read read;
    for (const auto& [path, punkBuster] : std::as_const(files)) {
        QFile file(path);
        if (!file.exists() || file.size() > kMaxBytes || !file.open(QIODevice::ReadOnly)) {
            continue;
        }
        read.paths.append(path);
        for (const QByteArray& bytes : file.readAll().split('\n')) {
            if (std::optional<BanRecord> ban = line(WireText::decode(bytes), punkBuster)) {
                read.entries.append({std::move(*ban), punkBuster});
            }
        }
    }
    return read;
}

std::optional<BanRecord> BanFiles::line(const QString& text, bool punkBuster)
{
    static const QRegularExpression guid(
        QStringLiteral("(?:^|\\s)([0-9a-fA-F]{32}|[0-9]{1,20})(?=\\s|$)"));
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    static const QRegularExpression address(
        QStringLiteral("(?:^|\\s)(\\d{1,3}(?:\\.\\d{1,3}){3})(?::\\d+)?(?=\\s|$)"));
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')) ||
        trimmed.startsWith(QLatin1String("//"))) {
        return std::nullopt;
    }
    // PunkBuster leads its lines with the date in brackets: its digits are no guid.
    const QString rest = trimmed.startsWith(QLatin1Char('['))
                             ? trimmed.mid(trimmed.indexOf(QLatin1Char(']')) + 1)
                             : trimmed;
    BanRecord ban;
    const QRegularExpressionMatch guidMatch = guid.match(rest);
    if (guidMatch.hasMatch()) {
        ban.guid = guidMatch.captured(1).toLower();
    }
    const QRegularExpressionMatch addressMatch = address.match(rest);
    if (addressMatch.hasMatch() &&
        !BanRecord::parseAddress(addressMatch.captured(1), &ban.address, &ban.prefixLength)) {
        ban.address.clear();
    }
    if (ban.guid.isEmpty() && ban.address.isEmpty()) {
        return std::nullopt;
    }
    QString name;
    if (const QRegularExpressionMatch nameMatch = quoted.match(rest); nameMatch.hasMatch()) {
        name = nameMatch.captured(1);
        if (punkBuster) {
            const qsizetype after =
                addressMatch.hasMatch() ? addressMatch.capturedEnd(0) : nameMatch.capturedEnd(0);
            ban.reason = rest.mid(after).trimmed();
        }
    } else if (guidMatch.hasMatch()) {
        name = rest.mid(guidMatch.capturedEnd(1)).trimmed();
    }
    if (!name.isEmpty()) {
        ban.names = {name.left(BanRecord::kMaxNameLength)};
    }
    ban.reason = ban.reason.left(BanRecord::kMaxReasonLength);
    return ban;
}

} // namespace garrisond
