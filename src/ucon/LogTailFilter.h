#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringView>
#include <vector>

namespace garrison {

// The relay log and its filtered text, kept up to date as the log grows: filtered() is always
// LogFilter::MasterParse(raw()), but a growing log costs only its new lines.
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
        bool isEmpty() const { return dropped == 0 && appended.isEmpty(); }
    };

    LogTailFilter();

    // moreToCome: another append follows at once (a long log read in slices); a log that is
    // filtered whole then waits for the last slice.
    Change append(QStringView rawText, bool moreToCome = false);
    // Starts again with an empty log.
    void clear();

    const QString& raw() const { return m_raw; }
    const QString& filtered() const { return m_filtered; }
    // False once the log has to be filtered whole.
    bool incremental() const { return m_incremental; }

private:
    struct Pattern {
        qsizetype start;
        qsizetype length;
    };

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
            std::vector<quint64> bits;
            qsizetype count = 0;
        };
        static void set(Layer& layer, quint64 hash);
        static bool test(const Layer& layer, quint64 hash);
        std::vector<Layer> m_layers;
    };

    bool extend(qsizetype to);
    bool filterLastLine(QString& output) const;
    bool onlyWholeLines(qsizetype from, qsizetype to) const;
    bool isPattern(QStringView text) const;
    void addPattern(qsizetype start, qsizetype length);
    bool startsLine(qsizetype position) const;
    bool endsLine(qsizetype position) const;
    bool reachesBack(QStringView removed) const;
    // Collapses line breaks and replaces the marker, continuing the committed text.
    void finish(QStringView text, bool& afterBreak, QString& output) const;

    QString m_raw;
    QString m_filtered;
    bool m_incremental = true;
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
    // Every removed line text of eight characters or more, by the hash of the whole text, and
    // the lengths of those that end in the same eight characters; shorter ones apart.
    QMultiHash<quint64, Pattern> m_patterns;
    QHash<quint64, std::vector<qsizetype>> m_lengths;
    qsizetype m_longest = 0;
    std::vector<quint64> m_powers;
    QSet<QString> m_shortPatterns;
    quint32 m_shortLengths = 0;
    // The last characters of the patterns, as a bit per character.
    std::vector<quint64> m_lastCharacters;
};

} // namespace garrison
