#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringView>
#include <array>
#include <cstdlib>
#include <memory>
#include <vector>

namespace garrison {

// The relay log's filtered text, kept up to date as the log grows: filtered() is always
// LogFilter::MasterParse of the raw text appended so far, but a growing log costs only its new
// lines. Of the raw text only the last, unfinished line is kept. When the log has to be
// filtered whole, the owner does that from its own copy (the relay's log is on disk anyway),
// where it likes (a big log takes seconds), and hands the result back.
//
// While every removed line's text occurs in the log only as whole lines, the filters do no
// more than empty the removed lines, and new lines can be filtered on their own. A new line
// that reaches back (its removal would cut text out of lines already shown, or an earlier
// removal cuts text out of it) ends that: the log is then filtered whole at every change.
// The last line may still grow, so it is filtered again at each append until its line ends.
class LogTailFilter {
public:
    // How the filtered text changed: its first `kept` characters stay, the `dropped` ones
    // after them go, and `appended` follows.
    struct Change {
        qsizetype kept = 0;
        qsizetype dropped = 0;
        QString appended;
        // Nothing changed yet: the log has to be filtered whole, see takeWholePass().
        bool wholePassNeeded = false;
        bool isEmpty() const { return dropped == 0 && appended.isEmpty(); }
    };

    LogTailFilter();

    // moreToCome: another append follows at once (a long log read in slices); a log that is
    // filtered whole then waits for the last slice.
    Change append(QStringView rawText, bool moreToCome = false);
    // Starts again with an empty log.
    void clear();
    // The whole raw log as it stood at an append that asked for a pass, filtered, and the
    // generation() of then. A result that the tail has moved past since (new lines taken on
    // their own, or clear()) is dropped: the change is empty. An older result of a log that is
    // filtered whole only at every change is shown until the next one comes.
    Change takeWholePass(quint64 generation, const QString& filtered);
    quint64 generation() const { return m_generation; }

    // How many characters of raw text were appended.
    qsizetype rawSize() const { return m_rawSize; }
    const QString& filtered() const { return m_filtered; }
    // False once the log has to be filtered whole.
    bool incremental() const { return m_incremental; }

private:
    // 8-grams of the kept text, so that a new removed line can be shown quickly not to occur
    // in it; false positives only cost an exact search.
    class GramFilter {
    public:
        void clear();
        void add(QStringView text, qsizetype from);
        bool mayContain(QStringView needle) const;

    private:
        // The grams in turn fill layers of twice the size of the one before; a gram is in one.
        struct Layer {
            // Zeroed by the system as the pages are first touched: a big layer costs nothing
            // when it is made, so that no single append pays for clearing it.
            struct Free {
                void operator()(quint64* words) const { std::free(words); }
            };
            using Bits = std::unique_ptr<quint64[], Free>;
            Bits bits;
            std::size_t words = 0;
            qsizetype count = 0;
        };
        static void set(Layer& layer, quint64 hash);
        static bool test(const Layer& layer, quint64 hash);
        std::vector<Layer> m_layers;
    };

    // A set of millions of keys, in shards: growing one rehashes only its shard, so that no
    // single append pays for rehashing them all.
    class KeySet {
    public:
        void clear();
        void insert(quint64 key) { m_shards[key >> 58].insert(key); }
        bool contains(quint64 key) const { return m_shards[key >> 58].contains(key); }

    private:
        std::array<QSet<quint64>, 64> m_shards;
    };

    bool extend(qsizetype to);
    bool filterLastLine(QString& output) const;
    bool onlyWholeLines(qsizetype from, qsizetype to) const;
    const char16_t* rawAt(qsizetype position) const;
    bool isPattern(QStringView text) const;
    void addPattern(qsizetype start, qsizetype length);
    bool startsLine(qsizetype position) const;
    bool endsLine(qsizetype position) const;
    bool reachesBack(QStringView removed) const;
    // Collapses line breaks and replaces the marker, continuing the committed text.
    void finish(QStringView text, bool& afterBreak, QString& output) const;

    // The raw text from m_windowStart on: the unfinished last line and the line break before it.
    QString m_window;
    qsizetype m_windowStart = 0;
    qsizetype m_rawSize = 0;
    QString m_filtered;
    bool m_incremental = true;
    quint64 m_generation = 0;
    // Raw text before this position is filtered for good; it ends after a CR LF.
    qsizetype m_committed = 0;
    QString m_committedFiltered;
    // m_filtered starts with m_committedFiltered as the last append left it, which only grows.
    bool m_filteredFromCommitted = true;
    bool m_afterBreak = false;
    // The raw log up to m_committed with the lines without the marker emptied: the text that a
    // new removed line would cut from.
    QString m_kept;
    GramFilter m_keptGrams;
    // Every removed line text of eight characters or more, as the hash of the whole text and
    // its length, and the lengths of those that end in the same eight characters; shorter ones
    // apart, as text.
    KeySet m_patterns;
    QHash<quint64, std::vector<qsizetype>> m_lengths;
    std::vector<quint64> m_powers;
    QSet<QString> m_shortPatterns;
    quint32 m_shortLengths = 0;
    // The last characters of the patterns, as a bit per character.
    std::vector<quint64> m_lastCharacters;
};

} // namespace garrison
