#include "StatusParser.h"

#include "rcon/TextLines.h"

#include <array>

namespace garrison::StatusParser {

namespace {

struct Layout {
    bool guid = false;        // a guid column after the ping
    bool lastMessage = false; // lastmsg before and qport after the address
};

constexpr Layout kGuidLayout{true, true};
constexpr Layout kClassicLayout{false, true};
constexpr Layout kShortLayout{false, false};
// Tried in this order when no column header says which one a line has.
constexpr std::array kLayouts = {kGuidLayout, kClassicLayout, kShortLayout};

// As the engine's own tokenizer sees it.
bool isBlank(QChar c)
{
    return c <= u' ';
}

bool isDigits(QStringView text)
{
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

bool isSignedNumber(QStringView text)
{
    return isDigits(text.startsWith(u'-') ? text.sliced(1) : text);
}

bool isPing(QStringView text)
{
    // Players still connecting, and those whose connection is being dropped.
    return isDigits(text) || text == u"CNCT" || text == u"ZMBI";
}

// Walks the words of a line from either end.
class Words {
public:
    explicit Words(QStringView line) : m_line(line), m_back(line.size()) {}

    QStringView takeFront()
    {
        while (m_front < m_back && isBlank(m_line[m_front])) {
            ++m_front;
        }
        const qsizetype begin = m_front;
        while (m_front < m_back && !isBlank(m_line[m_front])) {
            ++m_front;
        }
        return m_line.sliced(begin, m_front - begin);
    }
    QStringView takeBack()
    {
        while (m_back > m_front && isBlank(m_line[m_back - 1])) {
            --m_back;
        }
        const qsizetype end = m_back;
        while (m_back > m_front && !isBlank(m_line[m_back - 1])) {
            --m_back;
        }
        return m_line.sliced(m_back, end - m_back);
    }
    QStringView rest() const { return m_line.sliced(m_front, m_back - m_front); }

private:
    QStringView m_line;
    qsizetype m_front = 0;
    qsizetype m_back;
};

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

// "ip:port", "bot" or "loopback"; empty when the word is none of them.
QString cleanAddress(QStringView word)
{
    QString address = StripColourCodes(word.toString());
    if (address == QLatin1String("bot") || address == QLatin1String("loopback")) {
        return address;
    }
    const qsizetype colon = address.lastIndexOf(u':');
    // A caret left over is no part of any address ("^^77" strips to "^7").
    if (colon <= 0 || address.contains(u'^')) {
        return {};
    }
    const QStringView port = QStringView(address).sliced(colon + 1);
    if (!isSignedNumber(port) || port.size() > 6) {
        return {};
    }
    const int number = port.toInt();
    // Engines that keep the port in a signed short print ports above 32767 as negative.
    if (number < -32768 || number > 65535) {
        return {};
    }
    if (number < 0) {
        address = address.left(colon + 1) + QString::number(number + 65536);
    }
    return address;
}

QString cleanName(QStringView between)
{
    QStringView name = trimmed(between);
    // The reset the server writes after every name; reception turns it into blanks when padding
    // follows it, so only text that skipped reception still has it.
    if (name.endsWith(u"^7")) {
        name = trimmed(name.chopped(2));
    }
    return name.toString();
}

std::optional<PlayerRow> parseLine(QStringView line, Layout layout)
{
    Words words(line);
    PlayerRow row;
    const QStringView slot = words.takeFront();
    const QStringView score = words.takeFront();
    const QStringView ping = words.takeFront();
    if (!isDigits(slot) || !isSignedNumber(score) || !isPing(ping)) {
        return std::nullopt;
    }
    if (layout.guid) {
        const QStringView guid = words.takeFront();
        if (!isDigits(guid)) {
            return std::nullopt;
        }
        row[PlayerRow::Guid] = guid.toString();
    }
    const QStringView rate = words.takeBack();
    if (!isDigits(rate)) {
        return std::nullopt;
    }
    if (layout.lastMessage && !isSignedNumber(words.takeBack())) {
        return std::nullopt; // the qport
    }
    const QString address = cleanAddress(words.takeBack());
    if (address.isEmpty()) {
        return std::nullopt;
    }
    if (layout.lastMessage && !isDigits(words.takeBack())) {
        return std::nullopt;
    }
    const QString name = cleanName(words.rest());
    if (name.isEmpty()) {
        return std::nullopt;
    }
    row[PlayerRow::Name] = name;
    row[PlayerRow::Score] = score.toString();
    row[PlayerRow::Ping] = ping.toString();
    row[PlayerRow::Slot] = slot.toString();
    row[PlayerRow::Address] = address;
    return row;
}

// The layout a column header announces, or nothing when the line is not a header.
std::optional<Layout> headerLayout(QStringView line)
{
    Words words(line);
    const QStringView first = words.takeFront();
    if ((first != u"num" && first != u"cl") || words.takeFront() != u"score" ||
        words.takeFront() != u"ping") {
        return std::nullopt;
    }
    const QStringView next = words.takeFront();
    if (next == u"guid") {
        return kGuidLayout;
    }
    return next == u"name" && words.takeFront() == u"lastmsg" ? kClassicLayout : kShortLayout;
}

} // namespace

std::optional<PlayerRow> parsePlayerLine(QStringView line)
{
    for (const Layout& layout : kLayouts) {
        if (std::optional<PlayerRow> row = parseLine(line, layout)) {
            return row;
        }
    }
    return std::nullopt;
}

StatusTable parse(QStringView statusReplyText)
{
    StatusTable table;
    std::optional<Layout> layout;
    bool mapSeen = false;
    for (QStringView line : statusReplyText.tokenize(u'\n')) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (!mapSeen && line.startsWith(u"map:")) {
            table.map = trimmed(line.sliced(4)).toString();
            mapSeen = true;
            continue;
        }
        if (const std::optional<Layout> announced = headerLayout(line)) {
            layout = announced;
            continue;
        }
        std::optional<PlayerRow> row = layout ? parseLine(line, *layout) : parsePlayerLine(line);
        if (row) {
            table.rows.append(std::move(*row));
        }
    }
    return table;
}

} // namespace garrison::StatusParser
