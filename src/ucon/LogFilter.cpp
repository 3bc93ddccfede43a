#include "LogFilter.h"

#include <QStringView>
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace garrison {

namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr char16_t kMarker = u'\u00FA';
constexpr char16_t kCapitalMarker = u'\u00DA';

using LineTest = bool (*)(QStringView line);

} // namespace

bool LogFilter::lacksMarker(QStringView line)
{
    // The test ignores case: "Ú" is the only other character that folds to "ú".
    int found = 0;
    for (const QChar c : line) {
        found |= int(c.unicode() == kMarker) | int(c.unicode() == kCapitalMarker);
    }
    return found == 0;
}

bool LogFilter::mentionsCvars(QStringView line)
{
    // The matches of a case-insensitive search: apart from the capitals, only the long s
    // (U+017F) folds to one of these letters.
    const char16_t* text = line.utf16();
    for (qsizetype i = 0; i + 5 <= line.size(); ++i) {
        if ((text[i] | 0x20) == u'c' && (text[i + 1] | 0x20) == u'v' &&
            (text[i + 2] | 0x20) == u'a' && (text[i + 3] | 0x20) == u'r' &&
            ((text[i + 4] | 0x20) == u's' || text[i + 4] == u'\u017F')) {
            return true;
        }
    }
    return false;
}

namespace {

// Lines are the pieces between CR LF; an empty text is one empty line.
class Lines {
public:
    explicit Lines(QStringView text) : m_textSize(text.size())
    {
        m_starts.push_back(0);
        for (qsizetype lf = text.indexOf(QChar(kLf), 1); lf >= 0;
             lf = text.indexOf(QChar(kLf), lf + 1)) {
            if (text[lf - 1] == kCr) {
                m_starts.push_back(lf + 1);
            }
        }
    }

    qsizetype count() const { return qsizetype(m_starts.size()); }
    qsizetype begin(qsizetype i) const { return m_starts[i]; }
    qsizetype end(qsizetype i) const { return i + 1 < count() ? m_starts[i + 1] - 2 : m_textSize; }
    // Scans mostly ask in rising order, often for the next line: try there first.
    qsizetype indexOfStart(qsizetype position) const
    {
        for (qsizetype i = m_hint; i < std::min(m_hint + 4, count()); ++i) {
            if (m_starts[i] == position) {
                return m_hint = i;
            }
        }
        return m_hint =
                   std::lower_bound(m_starts.begin(), m_starts.end(), position) - m_starts.begin();
    }

private:
    std::vector<qsizetype> m_starts;
    qsizetype m_textSize = 0;
    mutable qsizetype m_hint = 0;
};

// A removal text, found as line firstLine of the text of its round.
struct Pattern {
    qsizetype start;
    qsizetype length;
    qsizetype firstLine;
    int next; // the next pattern of the same class with the same window hash
    // Occurs somewhere other than as a whole line, or may come to.
    bool irregular;
};

// Patterns are looked up by a hash of their last `window` characters; a pattern belongs to
// the class with the longest window that it fills.
constexpr std::array<qsizetype, 6> kWindows = {1, 2, 3, 4, 8, 16};

std::size_t classOf(qsizetype length)
{
    std::size_t c = 0;
    while (c + 1 < kWindows.size() && kWindows[c + 1] <= length) {
        ++c;
    }
    return c;
}

// Above this many different last characters a class is scanned at every position; a last
// character shared by at most kFewPatterns patterns has them searched for one by one.
constexpr std::size_t kMaxLastCharacters = 4;
constexpr std::size_t kFewPatterns = 4;

constexpr quint64 kBase = 0x100000001B3ULL;

quint64 power(qsizetype exponent)
{
    quint64 result = 1;
    for (qsizetype i = 0; i < exponent; ++i) {
        result *= kBase;
    }
    return result;
}

quint64 windowHash(const char16_t* text, qsizetype window)
{
    quint64 hash = 0;
    for (qsizetype i = 0; i < window; ++i) {
        hash = hash * kBase + text[i];
    }
    return hash;
}

// Window hash to the first pattern of its chain, with a bit filter small enough to stay in
// the cache, since the scan asks at every position of the text.
class HashIndex {
public:
    explicit HashIndex(std::size_t expected)
    {
        std::size_t capacity = 16;
        while (capacity < 2 * expected) {
            capacity *= 2;
        }
        m_mask = capacity - 1;
        m_slots.resize(capacity);
        while (m_filterShift < kMaxFilterShift &&
               (std::size_t(1) << m_filterShift) < 16 * expected) {
            ++m_filterShift;
        }
        m_filter.assign((std::size_t(1) << m_filterShift) / 64, 0);
    }

    // The chain head for key; a new key starts with -1, which the caller replaces.
    int& head(quint64 key)
    {
        const quint64 mixed = mix(key);
        const quint64 bit = mixed >> (64 - m_filterShift);
        m_filter[bit >> 6] |= quint64(1) << (bit & 63);
        std::size_t slot = (mixed >> 20) & m_mask;
        while (m_slots[slot].head != -1 && m_slots[slot].key != key) {
            slot = (slot + 1) & m_mask;
        }
        m_slots[slot].key = key;
        return m_slots[slot].head;
    }

    int find(quint64 key) const
    {
        const quint64 mixed = mix(key);
        const quint64 bit = mixed >> (64 - m_filterShift);
        if ((m_filter[bit >> 6] >> (bit & 63) & 1) == 0) {
            return -1;
        }
        for (std::size_t slot = (mixed >> 20) & m_mask; m_slots[slot].head != -1;
             slot = (slot + 1) & m_mask) {
            if (m_slots[slot].key == key) {
                return m_slots[slot].head;
            }
        }
        return -1;
    }

private:
    static constexpr int kMaxFilterShift = 19;

    struct Slot {
        quint64 key = 0;
        int head = -1;
    };

    static quint64 mix(quint64 key) { return key * 0x9E3779B97F4A7C15ULL; }

    std::size_t m_mask = 0;
    std::vector<Slot> m_slots;
    int m_filterShift = 12;
    std::vector<quint64> m_filter;
};

bool sameText(const char16_t* a, const char16_t* b, qsizetype length)
{
    return std::memcmp(a, b, std::size_t(length) * sizeof(char16_t)) == 0;
}

// One pass of the removal loop over steps [firstStep, lastStep) of text.
//
// A removal text that occurs only as whole lines just empties those lines, and emptying whole
// lines creates no new occurrence of any line text except "\n\r" (an LF and a CR meeting
// where a line was emptied). So every step up to the first line whose text occurs elsewhere
// can be done at once by emptying lines; that first line (the hard step) is left to a plain
// replace, after which the caller starts a new round on the changed text.
class RemovalRound {
public:
    RemovalRound(const QString& text, const Lines& lines, LineTest removes)
        : m_text(text), m_chars(QStringView(text).utf16()), m_lines(lines), m_removes(removes)
    {}

    static constexpr qsizetype kNoHardStep = std::numeric_limits<qsizetype>::max();

    // Finds the removal texts and checks where each occurs; returns the hard step.
    qsizetype plan(qsizetype firstStep, qsizetype lastStep)
    {
        collect(firstStep, lastStep);
        m_wholeLineOwner.assign(std::size_t(m_lines.count()), -1);
        for (std::size_t c = 0; c < kWindows.size(); ++c) {
            if (m_indexes[c]) {
                scan(c);
            }
        }
        m_hardStep = kNoHardStep;
        for (const Pattern& p : m_patterns) {
            if (p.irregular) {
                m_hardStep = std::min(m_hardStep, p.firstLine);
            }
        }
        return m_hardStep;
    }

    bool hasPatterns() const { return !m_patterns.empty(); }

    QString hardText() const
    {
        const qsizetype line = m_hardStep;
        return m_text.mid(m_lines.begin(line), m_lines.end(line) - m_lines.begin(line));
    }

    // The text after every step before the hard one.
    QString applyEasySteps() const
    {
        const auto emptied = [this](qsizetype line) {
            const int owner = m_wholeLineOwner[std::size_t(line)];
            return owner >= 0 && m_patterns[std::size_t(owner)].firstLine < m_hardStep;
        };
        qsizetype kept = 0;
        for (qsizetype i = 0; i < m_lines.count(); ++i) {
            if (!emptied(i)) {
                kept += m_lines.end(i) - m_lines.begin(i);
            }
        }
        if (kept == m_text.size() - 2 * (m_lines.count() - 1)) {
            return m_text;
        }
        QString result;
        result.reserve(kept + 2 * (m_lines.count() - 1));
        const QStringView text(m_text);
        for (qsizetype i = 0; i < m_lines.count(); ++i) {
            if (i > 0) {
                result.append(QStringView(u"\r\n"));
            }
            if (!emptied(i)) {
                result.append(text.mid(m_lines.begin(i), m_lines.end(i) - m_lines.begin(i)));
            }
        }
        return result;
    }

private:
    void collect(qsizetype firstStep, qsizetype lastStep)
    {
        struct Candidate {
            qsizetype line;
            std::size_t windowClass;
        };
        std::vector<Candidate> candidates;
        std::array<std::size_t, kWindows.size()> perClass{};
        const QStringView text(m_text);
        for (qsizetype i = firstStep; i < lastStep; ++i) {
            const qsizetype length = m_lines.end(i) - m_lines.begin(i);
            if (length > 0 && m_removes(text.mid(m_lines.begin(i), length))) {
                const std::size_t c = classOf(length);
                candidates.push_back({i, c});
                ++perClass[c];
            }
        }
        for (std::size_t c = 0; c < kWindows.size(); ++c) {
            if (perClass[c] > 0) {
                m_indexes[c] = std::make_unique<HashIndex>(perClass[c]);
            }
        }
        for (const Candidate& candidate : candidates) {
            const qsizetype start = m_lines.begin(candidate.line);
            const qsizetype length = m_lines.end(candidate.line) - start;
            const qsizetype window = kWindows[candidate.windowClass];
            int& head = m_indexes[candidate.windowClass]->head(
                windowHash(m_chars + start + length - window, window));
            bool repeated = false;
            for (int id = head; id != -1 && !repeated; id = m_patterns[std::size_t(id)].next) {
                const Pattern& other = m_patterns[std::size_t(id)];
                repeated = other.length == length &&
                           sameText(m_chars + other.start, m_chars + start, length);
            }
            if (repeated) {
                continue;
            }
            // "\n\r" can appear anew wherever a line between two others is emptied.
            const bool junction = length == 2 && m_chars[start] == kLf && m_chars[start + 1] == kCr;
            m_patterns.push_back({start, length, candidate.line, head, junction});
            m_classMembers[candidate.windowClass].push_back(int(m_patterns.size() - 1));
            std::vector<LastCharacter>& lastCharacters = m_lastCharacters[candidate.windowClass];
            const char16_t last = m_chars[start + length - 1];
            const auto known =
                std::find_if(lastCharacters.begin(), lastCharacters.end(),
                             [last](const LastCharacter& l) { return l.character == last; });
            if (known != lastCharacters.end()) {
                ++known->patterns;
            } else if (lastCharacters.size() <= kMaxLastCharacters) {
                lastCharacters.push_back({last, 1});
            }
            head = int(m_patterns.size() - 1);
        }
    }

    bool startsLine(qsizetype position) const
    {
        return position == 0 ||
               (position >= 2 && m_chars[position - 2] == kCr && m_chars[position - 1] == kLf);
    }

    bool endsLine(qsizetype position) const
    {
        return position == m_text.size() ||
               (position + 1 < m_text.size() && m_chars[position] == kCr &&
                m_chars[position + 1] == kLf);
    }

    // Every occurrence of every pattern of class c: a whole-line one marks its line, any other
    // makes the pattern irregular. Looking at the same place twice does no harm.
    void scan(std::size_t c)
    {
        const qsizetype window = kWindows[c];
        if (m_text.size() < window || scanAtLastCharacters(c)) {
            return;
        }
        const quint64 top = power(window);
        quint64 hash = windowHash(m_chars, window);
        for (qsizetype end = window;; ++end) {
            visitHash(c, end, hash);
            if (end == m_text.size()) {
                break;
            }
            hash = hash * kBase + m_chars[end] - m_chars[end - window] * top;
        }
    }

    // In a relay log nearly every line ends in a CR: the few places where most patterns can
    // end are found much faster than by rolling the hash over every character, and the odd
    // pattern with another last character (the log's last line) is searched for on its own.
    // Gives up (false) when those places are too many.
    bool scanAtLastCharacters(std::size_t c)
    {
        const std::vector<LastCharacter>& lastCharacters = m_lastCharacters[c];
        if (lastCharacters.size() > kMaxLastCharacters) {
            return false;
        }
        const qsizetype window = kWindows[c];
        const QStringView text(m_text);
        qsizetype budget = text.size() / (window + 4);
        for (const LastCharacter& last : lastCharacters) {
            if (last.patterns <= kFewPatterns) {
                continue;
            }
            for (qsizetype at = text.indexOf(QChar(last.character), window - 1); at >= 0;
                 at = text.indexOf(QChar(last.character), at + 1)) {
                if (--budget < 0) {
                    return false;
                }
                visitHash(c, at + 1, windowHash(m_chars + at + 1 - window, window));
            }
        }
        for (const LastCharacter& last : lastCharacters) {
            if (last.patterns > kFewPatterns) {
                continue;
            }
            for (int id : m_classMembers[c]) {
                const Pattern& p = m_patterns[std::size_t(id)];
                if (m_chars[p.start + p.length - 1] != last.character) {
                    continue;
                }
                const QStringView needle = text.mid(p.start, p.length);
                for (qsizetype at = text.indexOf(needle); at >= 0;
                     at = text.indexOf(needle, at + 1)) {
                    visit(id, at + p.length);
                }
            }
        }
        return true;
    }

    void visitHash(std::size_t c, qsizetype end, quint64 hash)
    {
        for (int id = m_indexes[c]->find(hash); id != -1; id = m_patterns[std::size_t(id)].next) {
            const Pattern& p = m_patterns[std::size_t(id)];
            const qsizetype start = end - p.length;
            if (start >= 0 && sameText(m_chars + start, m_chars + p.start, p.length)) {
                visit(id, end);
            }
        }
    }

    // Pattern id occurs just before end.
    void visit(int id, qsizetype end)
    {
        Pattern& p = m_patterns[std::size_t(id)];
        const qsizetype start = end - p.length;
        if (startsLine(start) && endsLine(end)) {
            m_wholeLineOwner[std::size_t(m_lines.indexOfStart(start))] = id;
        } else {
            p.irregular = true;
        }
    }

    const QString& m_text;
    const char16_t* m_chars;
    const Lines& m_lines;
    LineTest m_removes;
    std::vector<Pattern> m_patterns;
    std::array<std::unique_ptr<HashIndex>, kWindows.size()> m_indexes;
    struct LastCharacter {
        char16_t character;
        std::size_t patterns;
    };
    std::array<std::vector<LastCharacter>, kWindows.size()> m_lastCharacters;
    std::array<std::vector<int>, kWindows.size()> m_classMembers;
    std::vector<int> m_wholeLineOwner;
    qsizetype m_hardStep = kNoHardStep;
};

// For n from 1 to the line count: if line n of the text as it now stands passes the test,
// every occurrence of its text is removed from the whole text.
QString removeLines(const QString& input, LineTest removes, const std::atomic<bool>* stop = nullptr)
{
    QString text = input;
    Lines lines(text);
    const qsizetype count = lines.count();
    qsizetype step = 0;
    while (step < std::min(count, lines.count())) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            return QString();
        }
        RemovalRound round(text, lines, removes);
        const qsizetype hardStep = round.plan(step, std::min(count, lines.count()));
        if (!round.hasPatterns()) {
            break;
        }
        if (hardStep == RemovalRound::kNoHardStep) {
            return round.applyEasySteps();
        }
        const QString hardText = round.hardText();
        QString next = round.applyEasySteps();
        next.replace(hardText, QString());
        text = next;
        lines = Lines(text);
        step = hardStep + 1;
    }
    return text;
}

} // namespace

QString LogFilter::MasterParse(const QString& raw)
{
    return MasterParse(raw, nullptr);
}

QString LogFilter::MasterParse(const QString& raw, const std::atomic<bool>* stop)
{
    const QString text = RemoveBlanks(removeLines(removeLines(raw, &LogFilter::lacksMarker, stop),
                                                  &LogFilter::mentionsCvars, stop));
    // Every "ú" becomes " - ", built in one go: growing a long text in place would copy it
    // several times.
    const QStringView view(text);
    const qsizetype markers = view.count(QChar(kMarker));
    if (markers == 0) {
        return text;
    }
    QString result;
    result.reserve(text.size() + 2 * markers);
    qsizetype copiedUpTo = 0;
    for (qsizetype at = view.indexOf(QChar(kMarker)); at >= 0;
         at = view.indexOf(QChar(kMarker), at + 1)) {
        result.append(view.mid(copiedUpTo, at - copiedUpTo));
        result.append(QStringView(u" - "));
        copiedUpTo = at + 1;
    }
    result.append(view.mid(copiedUpTo));
    return result;
}

QString LogFilter::CleanU(const QString& text)
{
    return removeLines(text, &LogFilter::lacksMarker);
}

QString LogFilter::CleanU2(const QString& text)
{
    return removeLines(text, &LogFilter::mentionsCvars);
}

QString LogFilter::RemoveBlanks(const QString& text)
{
    // Same as replacing CR LF CR LF by CR LF until nothing changes: a CR LF is dropped when
    // it directly follows another one.
    const QStringView view(text);
    if (!view.contains(u"\r\n\r\n")) {
        return text;
    }
    QString result;
    result.reserve(text.size());
    qsizetype copiedUpTo = 0;
    qsizetype lastBreakEnd = -1;
    for (qsizetype lf = view.indexOf(QChar(kLf), 1); lf >= 0;
         lf = view.indexOf(QChar(kLf), lf + 1)) {
        if (view[lf - 1] != kCr) {
            continue;
        }
        if (lf - 1 == lastBreakEnd) {
            result.append(view.mid(copiedUpTo, lf - 1 - copiedUpTo));
            copiedUpTo = lf + 1;
        }
        lastBreakEnd = lf + 1;
    }
    result.append(view.mid(copiedUpTo));
    return result;
}

bool LogFilter::worthShowing(const QString& filtered)
{
    return !filtered.isEmpty() && filtered != QStringLiteral("\r\n");
}

} // namespace garrison
