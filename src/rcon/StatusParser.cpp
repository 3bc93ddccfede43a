#include "StatusParser.h"

#include "rcon/TextLines.h"

#include <algorithm>
#include <array>

namespace garrison::StatusParser {

namespace {

struct Layout {
    bool guid = false;        // a guid column after the ping; it may hold nothing
    bool lastMessage = false; // lastmsg before and qport after the address
};

constexpr Layout kGuidLayout{true, true};
constexpr Layout kClassicLayout{false, true};
constexpr Layout kShortLayout{false, false};
// Tried in this order when no column header says which one a line has. A line of the older
// layout without guid reads the same as one whose guid column is empty.
constexpr std::array kLayouts = {kGuidLayout, kShortLayout};

constexpr int kGuidHexDigits = 32;
constexpr int kLowestPrintedPort = -32768;
constexpr int kHighestPort = 65535;

// As the engine's own tokenizer sees it.
bool isBlank(QChar c)
{
    return c <= u' ';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isDigit);
}

bool isSignedNumber(QStringView text)
{
    return isDigits(text.startsWith(u'-') ? text.sliced(1) : text);
}

bool isPing(QStringView text)
{
    // Players still connecting, and those whose connection is being dropped.
    return isDigits(text) || text == u"CNCT" || text == u"ZMBI" || text == u"CON" || text == u"ZMB";
}

// The engine's number, or the hexadecimal one of servers with another authentication.
bool isGuid(QStringView text)
{
    const auto isHex = [](QChar c) {
        return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    return isDigits(text) ||
           (text.size() == kGuidHexDigits && std::all_of(text.begin(), text.end(), isHex));
}

// A whole number as the engine prints it (no leading zeros), within the bounds.
std::optional<int> printedNumber(QStringView text, int lowest, int highest)
{
    const QStringView digits = text.startsWith(u'-') ? text.sliced(1) : text;
    if (!isDigits(digits) || digits.size() > 5 || (digits.size() > 1 && digits.front() == u'0')) {
        return std::nullopt;
    }
    const int number = text.toInt();
    return number >= lowest && number <= highest ? std::optional(number) : std::nullopt;
}

// Engines that keep the port in a signed short print ports above 32767 as negative; no client
// sends from port 0.
std::optional<int> printedPort(QStringView text)
{
    const std::optional<int> port = printedNumber(text, kLowestPrintedPort, kHighestPort);
    if (!port || *port == 0) {
        return std::nullopt;
    }
    return *port < 0 ? *port + 65536 : *port;
}

// The ways to read the start of text as a dotted quad, the longest first: where the colon after
// it got lost, digits of the port follow the last number directly.
QList<qsizetype> dottedQuadLengths(QStringView text)
{
    qsizetype at = 0;
    for (int dots = 0; dots < 3; ++dots) {
        const qsizetype dot = text.indexOf(u'.', at);
        if (dot < 0 || !printedNumber(text.sliced(at, dot - at), 0, 255)) {
            return {};
        }
        at = dot + 1;
    }
    QList<qsizetype> lengths;
    for (qsizetype digits = std::min<qsizetype>(3, text.size() - at); digits > 0; --digits) {
        if (printedNumber(text.sliced(at, digits), 0, 255)) {
            lengths.append(at + digits);
        }
    }
    return lengths;
}

// A qport printed right after the address filled its column of at least five characters: a
// shorter one would have had blanks in front of it.
bool isGluedQport(QStringView text)
{
    return text.size() >= 5 && printedNumber(text, kLowestPrintedPort, kHighestPort);
}

// "ip:port" from what the engine printed for an address: "a.b.c.d:port", where a column
// overflowed also "a.b.c.dport", each with the qport glued to it when qportFollows. Empty when
// the text is none of these.
QString ipAndPort(QStringView text, bool qportFollows)
{
    for (const qsizetype quad : dottedQuadLengths(text)) {
        QStringView rest = text.sliced(quad);
        if (rest.startsWith(u':')) {
            rest = rest.sliced(1);
        }
        for (qsizetype length = std::min<qsizetype>(6, rest.size()); length > 0; --length) {
            const std::optional<int> port = printedPort(rest.first(length));
            const QStringView after = rest.sliced(length);
            if (port && (qportFollows ? isGluedQport(after) : after.isEmpty())) {
                return text.first(quad).toString() + u':' + QString::number(*port);
            }
        }
    }
    return {};
}

// The address of the layouts with a qport after it, which carry no colour codes.
QString qportLayoutAddress(QStringView word, bool qportGlued)
{
    if (!qportGlued && (word == u"bot" || word == u"loopback")) {
        return word.toString();
    }
    return ipAndPort(word, qportGlued);
}

// The newer layout writes a colour reset before the address and no port after it.
QString shortLayoutAddress(QStringView word)
{
    const QString address = StripColourCodes(word.toString());
    if (address == QLatin1String("bot") || address == QLatin1String("loopback")) {
        return address;
    }
    if (address.contains(u':')) {
        return ipAndPort(address, false);
    }
    const QList<qsizetype> quads = dottedQuadLengths(address);
    return !quads.isEmpty() && quads.constFirst() == address.size() ? address : QString();
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
    // Leaves the first characters of the word last taken from the back to the rest.
    void leaveToRest(qsizetype characters) { m_back += characters; }
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

// Takes the address and, where the layout has them, qport and lastmsg from the back of the
// words, which keep the name. Blanks between them vanish where a field overflows its column:
// the address runs into the qport, and a long name into a lastmsg of seven digits.
QString takeAddress(Words& words, Layout layout)
{
    if (!layout.lastMessage) {
        return shortLayoutAddress(words.takeBack());
    }
    const Words beforeQport = words;
    QString address;
    if (isSignedNumber(words.takeBack())) {
        address = qportLayoutAddress(words.takeBack(), false);
    }
    if (address.isEmpty()) {
        words = beforeQport;
        address = qportLayoutAddress(words.takeBack(), true);
    }
    if (address.isEmpty()) {
        return {};
    }
    const QStringView lastMessage = words.takeBack();
    if (isSignedNumber(lastMessage)) {
        return address;
    }
    const qsizetype reset = lastMessage.lastIndexOf(u"^7");
    if (reset < 0 || !isSignedNumber(lastMessage.sliced(reset + 2))) {
        return {};
    }
    words.leaveToRest(reset);
    return address;
}

// What follows the guid (or the ping): name, then the fields taken by takeAddress, then rate.
std::optional<PlayerRow> parseRest(Words words, Layout layout)
{
    if (!isDigits(words.takeBack())) {
        return std::nullopt; // the rate
    }
    PlayerRow row;
    row[PlayerRow::Address] = takeAddress(words, layout);
    row[PlayerRow::Name] = cleanName(words.rest());
    if (row[PlayerRow::Address].isEmpty() || row[PlayerRow::Name].isEmpty()) {
        return std::nullopt;
    }
    return row;
}

std::optional<PlayerRow> parseLine(QStringView line, Layout layout)
{
    Words words(line);
    const QStringView slot = words.takeFront();
    const QStringView score = words.takeFront();
    const QStringView ping = words.takeFront();
    if (!isDigits(slot) || !isSignedNumber(score) || !isPing(ping)) {
        return std::nullopt;
    }
    std::optional<PlayerRow> row;
    if (layout.guid) {
        Words afterGuid = words;
        const QStringView guid = afterGuid.takeFront();
        if (isGuid(guid) && (row = parseRest(afterGuid, layout))) {
            (*row)[PlayerRow::Guid] = guid.toString();
        }
    }
    // An empty guid column (a player not yet authenticated) leaves the name after the ping; a
    // name that is one number is read as such once it is not needed for the guid.
    if (!row && !(row = parseRest(words, layout))) {
        return std::nullopt;
    }
    (*row)[PlayerRow::Score] = score.toString();
    (*row)[PlayerRow::Ping] = ping.toString();
    (*row)[PlayerRow::Slot] = slot.toString();
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
