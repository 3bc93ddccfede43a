#include "LogTailFilter.h"

#include "LogFilter.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cstring>
#include <new>

namespace garrison {

namespace {

constexpr qsizetype kGram = 8;
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr char16_t kMarker = u'\u00FA';
// Drawn at start, so that nobody who writes to the log can make two texts hash alike on
// purpose; by chance they do once in 2^64.
const quint64 kBase = QRandomGenerator::system()->generate64() | 1;
// A removed text longer than this is never taken for one met before: at that length two
// texts with the same hash can be built without knowing the base.
constexpr qsizetype kLongestKnown = 1024;
// What the window keeps before the committed text: the line break that ends it and one more
// character, for an occurrence that starts with the LF of that line break.
constexpr qsizetype kWindowBack = 3;

quint64 gramHash(const char16_t* text)
{
    quint64 hash = 0;
    for (qsizetype i = 0; i < kGram; ++i) {
        hash = hash * kBase + text[i];
    }
    return hash;
}

// The same polynomial as gramHash over a whole text; prefix sums of it give any piece's hash.
quint64 textHash(const char16_t* text, qsizetype length)
{
    quint64 hash = 0;
    for (qsizetype i = 0; i < length; ++i) {
        hash = hash * kBase + text[i];
    }
    return hash;
}

bool removedLine(QStringView line)
{
    return !line.isEmpty() && (LogFilter::lacksMarker(line) || LogFilter::mentionsCvars(line));
}

quint64 patternKey(quint64 hash, qsizetype length)
{
    return (hash ^ quint64(length)) * 0x9E3779B97F4A7C15ULL;
}

qsizetype commonPrefix(QStringView a, QStringView b)
{
    const qsizetype size = std::min(a.size(), b.size());
    constexpr qsizetype kBlock = 4096;
    qsizetype at = 0;
    while (at + kBlock <= size &&
           std::memcmp(a.utf16() + at, b.utf16() + at, kBlock * sizeof(char16_t)) == 0) {
        at += kBlock;
    }
    while (at < size && a[at] == b[at]) {
        ++at;
    }
    return at;
}

} // namespace

void LogTailFilter::GramFilter::clear()
{
    m_layers.clear();
}

void LogTailFilter::GramFilter::add(QStringView text, qsizetype from)
{
    for (qsizetype end = std::max(from, kGram - 1) + 1; end <= text.size(); ++end) {
        // Eight bits or more per gram: one gram in twenty at worst passes a layer falsely,
        // and a line passes only when all of its grams do. A full layer stays as it is, so
        // that a growing log never hashes its kept text again.
        if (m_layers.empty() ||
            std::size_t(m_layers.back().count) * 8 >= m_layers.back().words * 64) {
            const std::size_t words = m_layers.empty() ? 1024 : m_layers.back().words * 2;
            auto* bits = static_cast<quint64*>(std::calloc(words, sizeof(quint64)));
            if (!bits) {
                throw std::bad_alloc();
            }
            m_layers.push_back({Layer::Bits(bits), words, 0});
        }
        set(m_layers.back(), gramHash(text.utf16() + end - kGram));
        ++m_layers.back().count;
    }
}

bool LogTailFilter::GramFilter::mayContain(QStringView needle) const
{
    if (needle.size() < kGram || m_layers.empty()) {
        return !m_layers.empty() || needle.size() < kGram;
    }
    for (qsizetype end = kGram; end <= needle.size(); ++end) {
        const quint64 hash = gramHash(needle.utf16() + end - kGram);
        if (std::none_of(m_layers.begin(), m_layers.end(),
                         [hash](const Layer& layer) { return test(layer, hash); })) {
            return false;
        }
    }
    return true;
}

void LogTailFilter::GramFilter::set(Layer& layer, quint64 hash)
{
    const quint64 mixed = hash * 0x9E3779B97F4A7C15ULL;
    const std::size_t mask = layer.words * 64 - 1;
    const std::size_t first = std::size_t(mixed >> 32) & mask;
    const std::size_t second = std::size_t(mixed) & mask;
    layer.bits[first >> 6] |= quint64(1) << (first & 63);
    layer.bits[second >> 6] |= quint64(1) << (second & 63);
}

bool LogTailFilter::GramFilter::test(const Layer& layer, quint64 hash)
{
    const quint64 mixed = hash * 0x9E3779B97F4A7C15ULL;
    const std::size_t mask = layer.words * 64 - 1;
    const std::size_t first = std::size_t(mixed >> 32) & mask;
    const std::size_t second = std::size_t(mixed) & mask;
    return (layer.bits[first >> 6] >> (first & 63) & 1) != 0 &&
           (layer.bits[second >> 6] >> (second & 63) & 1) != 0;
}

void LogTailFilter::KeySet::clear()
{
    for (QSet<quint64>& shard : m_shards) {
        shard.clear();
    }
}

LogTailFilter::LogTailFilter()
{
    clear();
}

void LogTailFilter::clear()
{
    ++m_generation;
    m_window.clear();
    m_windowStart = 0;
    m_rawSize = 0;
    m_filtered.clear();
    m_committedFiltered.clear();
    m_filteredFromCommitted = true;
    m_incremental = true;
    m_committed = 0;
    m_afterBreak = false;
    m_kept.clear();
    m_keptGrams.clear();
    m_patterns.clear();
    m_lengths.clear();
    m_powers.assign(1, 1);
    m_shortPatterns.clear();
    m_shortLengths = 0;
    m_lastCharacters.assign(65536 / 64, 0);
}

LogTailFilter::Change LogTailFilter::append(QStringView rawText, bool moreToCome)
{
    m_rawSize += rawText.size();
    if (m_incremental) {
        m_window.append(rawText);
    }
    if (!m_incremental && moreToCome) {
        return {m_filtered.size(), 0, {}, false};
    }
    // The committed filtered text only grows: when the last result was made from it, that part
    // stays and is neither copied nor compared again, so that a long log costs only its news.
    const qsizetype settled = m_filteredFromCommitted ? m_committedFiltered.size() : 0;
    if (m_incremental) {
        const qsizetype lastBreak =
            QStringView(m_window).sliced(m_committed - m_windowStart).lastIndexOf(u"\r\n");
        if (lastBreak >= 0 && !extend(m_committed + lastBreak + 2)) {
            m_incremental = false;
            m_window.clear();
            m_windowStart = m_rawSize;
            m_committedFiltered.clear();
            m_kept.clear();
            m_keptGrams.clear();
            m_patterns.clear();
            m_lengths.clear();
            m_shortPatterns.clear();
        }
    }
    QString lastLine;
    if (m_incremental && filterLastLine(lastLine)) {
        const QString next = m_committedFiltered.sliced(settled) + lastLine;
        const qsizetype kept =
            settled + commonPrefix(QStringView(m_filtered).sliced(settled), next);
        Change change{kept, m_filtered.size() - kept, next.sliced(kept - settled)};
        m_filtered.truncate(kept);
        m_filtered.append(change.appended);
        m_filteredFromCommitted = true;
        ++m_generation;
        return change;
    }
    return {m_filtered.size(), 0, {}, true};
}

LogTailFilter::Change LogTailFilter::takeWholePass(quint64 generation, const QString& filtered)
{
    if (generation != m_generation) {
        return {m_filtered.size(), 0, {}, false};
    }
    const qsizetype kept = commonPrefix(m_filtered, filtered);
    Change change{kept, m_filtered.size() - kept, filtered.sliced(kept), false};
    m_filtered = filtered;
    m_filteredFromCommitted = false;
    return change;
}

bool LogTailFilter::extend(qsizetype to)
{
    const QStringView raw = QStringView(m_window).sliced(m_committed - m_windowStart);
    struct Line {
        qsizetype start;
        qsizetype end;
        bool removed;
    };
    std::vector<Line> lines;
    for (qsizetype start = m_committed; start < to;) {
        const qsizetype end = m_committed + raw.indexOf(u"\r\n", start - m_committed);
        const QStringView text = raw.sliced(start - m_committed, end - start);
        const bool removed = removedLine(text);
        // Emptying lines puts LF and CR next to each other: such a removal text would be
        // made anew by the filter itself.
        if (removed && text == u"\n\r") {
            return false;
        }
        lines.push_back({start, end, removed});
        start = end + 2;
    }
    for (const Line& line : lines) {
        const QStringView text = raw.sliced(line.start - m_committed, line.end - line.start);
        if (line.removed && !isPattern(text)) {
            if (reachesBack(text)) {
                return false;
            }
            addPattern(line.start, line.end - line.start);
        }
    }
    if (!onlyWholeLines(m_committed, to)) {
        return false;
    }
    QString emptied;
    emptied.reserve(to - m_committed);
    const qsizetype keptBefore = m_kept.size();
    for (const Line& line : lines) {
        const QStringView text = raw.sliced(line.start - m_committed, line.end - line.start);
        if (!line.removed) {
            emptied.append(text);
        }
        // The lines that CleanU keeps, those that CleanU2 removes after it included.
        if (!LogFilter::lacksMarker(text)) {
            m_kept.append(text);
        }
        emptied.append(u"\r\n");
        m_kept.append(u"\r\n");
    }
    m_keptGrams.add(m_kept, keptBefore);
    finish(emptied, m_afterBreak, m_committedFiltered);
    m_committed = to;
    const qsizetype done = m_committed - kWindowBack - m_windowStart;
    if (done > 0) {
        m_window.remove(0, done);
        m_windowStart += done;
    }
    return true;
}

bool LogTailFilter::filterLastLine(QString& output) const
{
    const QStringView line = QStringView(m_window).sliced(m_committed - m_windowStart);
    const bool removed = removedLine(line);
    if (removed) {
        // A leading LF could match across the last line break of the committed text.
        if (line.startsWith(kLf) || (!isPattern(line) && reachesBack(line))) {
            return false;
        }
    }
    if (!onlyWholeLines(m_committed, m_rawSize)) {
        return false;
    }
    bool afterBreak = m_afterBreak;
    finish(removed ? QStringView() : line, afterBreak, output);
    return true;
}

// Every occurrence of a removal text that ends in [from + 1, to] must be a whole line. The
// patterns that may end at a place are found by the last eight characters there, and checked
// length by length against the hash of the text before it. A match by hash alone counts: a
// false one only costs a pass over the whole log. From is the start of a line, and no removal
// text holds a line break, so no occurrence starts before the LF of the one that ends there.
bool LogTailFilter::onlyWholeLines(qsizetype from, qsizetype to) const
{
    const qsizetype base = std::max<qsizetype>(0, from - 1);
    // text[i] is the raw character at base + i.
    const char16_t* text = rawAt(base);
    std::vector<quint64> prefix(std::size_t(to - base + 1), 0);
    for (qsizetype i = 0; i < to - base; ++i) {
        prefix[std::size_t(i + 1)] = prefix[std::size_t(i)] * kBase + text[i];
    }
    for (qsizetype end = from + 1 - base; end <= to - base; ++end) {
        const char16_t last = text[end - 1];
        if ((m_lastCharacters[last >> 6] >> (last & 63) & 1) == 0) {
            continue;
        }
        const auto lengths =
            end >= kGram ? m_lengths.constFind(gramHash(text + end - kGram)) : m_lengths.cend();
        if (lengths != m_lengths.cend()) {
            for (const qsizetype length : *lengths) {
                const qsizetype start = end - length;
                if (start < 0) {
                    continue;
                }
                const quint64 hash = prefix[std::size_t(end)] -
                                     prefix[std::size_t(start)] * m_powers[std::size_t(length)];
                if (m_patterns.contains(patternKey(hash, length)) &&
                    !(startsLine(base + start) && endsLine(base + end))) {
                    return false;
                }
            }
        }
        for (qsizetype length = 1; length < kGram && length <= end; ++length) {
            if ((m_shortLengths >> length & 1) != 0 &&
                m_shortPatterns.contains(
                    QString(reinterpret_cast<const QChar*>(text + end - length), length)) &&
                !(startsLine(base + end - length) && endsLine(base + end))) {
                return false;
            }
        }
    }
    return true;
}

bool LogTailFilter::isPattern(QStringView text) const
{
    if (text.size() < kGram) {
        return m_shortPatterns.contains(text.toString());
    }
    return text.size() <= kLongestKnown &&
           m_patterns.contains(patternKey(textHash(text.utf16(), text.size()), text.size()));
}

const char16_t* LogTailFilter::rawAt(qsizetype position) const
{
    return QStringView(m_window).utf16() + (position - m_windowStart);
}

void LogTailFilter::addPattern(qsizetype start, qsizetype length)
{
    const char16_t* text = rawAt(start);
    if (length < kGram) {
        m_shortPatterns.insert(QString(reinterpret_cast<const QChar*>(text), length));
        m_shortLengths |= quint32(1) << length;
    } else {
        m_patterns.insert(patternKey(textHash(text, length), length));
        std::vector<qsizetype>& lengths = m_lengths[gramHash(text + length - kGram)];
        if (std::find(lengths.begin(), lengths.end(), length) == lengths.end()) {
            lengths.push_back(length);
        }
        while (qsizetype(m_powers.size()) <= length) {
            m_powers.push_back(m_powers.back() * kBase);
        }
    }
    const char16_t last = text[length - 1];
    m_lastCharacters[last >> 6] |= quint64(1) << (last & 63);
}

bool LogTailFilter::startsLine(qsizetype position) const
{
    Q_ASSERT(position < 2 || position - 2 >= m_windowStart);
    return position == 0 ||
           (position >= 2 && *rawAt(position - 2) == kCr && *rawAt(position - 1) == kLf);
}

bool LogTailFilter::endsLine(qsizetype position) const
{
    return position == m_rawSize ||
           (position + 1 < m_rawSize && *rawAt(position) == kCr && *rawAt(position + 1) == kLf);
}

bool LogTailFilter::reachesBack(QStringView removed) const
{
    return m_keptGrams.mayContain(removed) && QStringView(m_kept).contains(removed);
}

void LogTailFilter::finish(QStringView text, bool& afterBreak, QString& output) const
{
    // As RemoveBlanks: a CR LF that directly follows another one goes.
    qsizetype copiedUpTo = 0;
    const auto copy = [&](qsizetype upTo) {
        output.append(text.sliced(copiedUpTo, upTo - copiedUpTo));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == kCr && i + 1 < text.size() && text[i + 1] == kLf) {
            if (afterBreak) {
                copy(i);
                copiedUpTo = i + 2;
            }
            afterBreak = true;
            ++i;
            continue;
        }
        afterBreak = false;
        if (c == kMarker) {
            copy(i);
            output.append(u" - ");
            copiedUpTo = i + 1;
        }
    }
    copy(text.size());
}

} // namespace garrison
