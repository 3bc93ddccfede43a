#include "BanAnswerReader.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace garrison {

namespace {

using Kind = BanAnswerReader::Answer::Kind;

// The answer that a line begins, by its word; none for a line of another kind.
std::optional<Kind> kindOf(QStringView line)
{
    const QStringView word = line.left(line.indexOf(u' '));
    if (word == u"BANLIST") {
        return Kind::List;
    }
    if (word == u"BANADDED") {
        return Kind::Added;
    }
    if (word == u"BANCHANGED") {
        return Kind::Changed;
    }
    if (word == u"BANIMPORTED") {
        return Kind::Imported;
    }
    if (word == u"BANREFUSED") {
        return Kind::Refused;
    }
    if (word == u"BANSCHANGED") {
        return Kind::ListChanged;
    }
    if (word == u"BANFILE") {
        return Kind::EngineList;
    }
    if (word == u"BANREASONS") {
        return Kind::Reasons;
    }
    return std::nullopt;
}

// Whether the text may still become one of the answers' words, when more of it comes.
bool mayBeginAnswer(QStringView text)
{
    static const QStringList words{QStringLiteral("BANLIST "),    QStringLiteral("BANADDED "),
                                   QStringLiteral("BANCHANGED "), QStringLiteral("BANIMPORTED "),
                                   QStringLiteral("BANREFUSED "), QStringLiteral("BANSCHANGED"),
                                   QStringLiteral("BANFILE "),    QStringLiteral("BANREASONS ")};
    for (const QString& word : words) {
        if (word.startsWith(text.left(word.size())) || text.startsWith(word)) {
            return true;
        }
    }
    return false;
}

} // namespace

void BanAnswerReader::reset()
{
    m_partial.clear();
    m_listLeft = 0;
    m_list = {};
}

QString BanAnswerReader::take(const QString& received, QList<Answer>* answers)
{
    QString text = m_partial.isEmpty() ? received : m_partial + received;
    m_partial.clear();
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype end = text.indexOf(u'\n', at);
        const QStringView line =
            end < 0 ? QStringView(text).mid(at) : QStringView(text).mid(at, end - at);
        if (m_listLeft > 0) {
            if (end < 0) {
                m_partial = line.toString();
                return {};
            }
            if (m_list.kind == Kind::Reasons) {
                m_list.reasons.append(line.toString());
            } else if (const std::optional<BanRecord> ban =
                           BanRecord::fromJson(QJsonDocument::fromJson(line.toUtf8()).object())) {
                m_list.bans.append(*ban);
            }
            at = end + 1;
            if (--m_listLeft == 0) {
                answers->append(std::exchange(m_list, {}));
            }
            continue;
        }
        if (end < 0) {
            // A word cut off by the end of this receive event waits for the rest of its line.
            if (!line.isEmpty() && mayBeginAnswer(line)) {
                m_partial = line.toString();
                return {};
            }
            break;
        }
        const std::optional<Kind> kind = kindOf(line);
        if (!kind) {
            break;
        }
        at = end + 1;
        const QString rest = line.mid(line.indexOf(u' ') + 1).toString();
        Answer answer;
        answer.kind = *kind;
        switch (*kind) {
        case Kind::List:
        case Kind::EngineList:
        case Kind::Reasons: {
            const QStringList numbers = rest.split(u' ');
            m_listLeft = numbers.value(0).toLongLong();
            answer.total = numbers.size() > 1 ? numbers.at(1).toLongLong() : m_listLeft;
            answer.offset = numbers.value(2).toLongLong();
            if (m_listLeft > 0) {
                m_list = answer;
                continue;
            }
            m_listLeft = 0;
            break;
        }
        case Kind::Added:
        case Kind::Changed:
            answer.id = rest.toLongLong();
            break;
        case Kind::Imported:
            answer.id = rest.section(u' ', 0, 0).toLongLong();
            answer.text = rest;
            break;
        case Kind::Refused:
            answer.text = rest;
            break;
        case Kind::ListChanged:
            break;
        }
        answers->append(answer);
    }
    return text.mid(at);
}

} // namespace garrison
