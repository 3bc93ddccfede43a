#include "DaemonBanSource.h"

#include "login/DaemonLink.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace garrison {

DaemonBanSource::DaemonBanSource(DaemonLink& link, QObject* parent)
    : BanSource(parent), m_link(link)
{
    connect(&m_link, &DaemonLink::banAnswerReceived, this, &DaemonBanSource::answered);
    // A page asked for on a lost link is never answered.
    const auto forget = [this] {
        m_listing = false;
        m_listAgain = false;
        m_gathered.clear();
        m_asked.clear();
    };
    connect(&m_link, &DaemonLink::linkLost, this, forget);
    connect(&m_link, &DaemonLink::levelAnswered, this, forget);
}

void DaemonBanSource::list()
{
    if (m_listing) {
        m_listAgain = true;
        return;
    }
    m_gathered.clear();
    requestPage(0);
}

void DaemonBanSource::requestPage(qsizetype offset)
{
    m_listing = true;
    request(QStringLiteral("getbans"),
            {{QStringLiteral("offset"), offset}, {QStringLiteral("count"), kPage}});
}

void DaemonBanSource::listEngine()
{
    if (!m_engineUnreadable && !m_asked.contains(QLatin1String("getenginebans"))) {
        request(QStringLiteral("getenginebans"));
    }
}

void DaemonBanSource::importFiles()
{
    request(QStringLiteral("importbans"));
}

void DaemonBanSource::add(const BanRecord& ban)
{
    if (const QString problem = ban.problem(); !problem.isEmpty()) {
        Q_EMIT failed(problem);
        return;
    }
    QJsonObject object = ban.toJson(QDateTime::currentDateTimeUtc());
    // The daemon sets who and when, and finds the evidence itself.
    for (const char* key : {"id", "by", "at", "state", "evidence"}) {
        object.remove(QLatin1String(key));
    }
    request(QStringLiteral("addban"), object);
}

void DaemonBanSource::edit(const BanRecord& ban)
{
    const QJsonObject whole = ban.toJson(QDateTime::currentDateTimeUtc());
    QJsonObject object{{QStringLiteral("id"), ban.id}};
    for (const char* key : {"reason", "until", "servers", "note"}) {
        object.insert(QLatin1String(key), whole.value(QLatin1String(key)));
    }
    request(QStringLiteral("editban"), object);
}

void DaemonBanSource::lift(qint64 id, const QString& note)
{
    request(QStringLiteral("liftban"),
            {{QStringLiteral("id"), id}, {QStringLiteral("note"), note}});
}

void DaemonBanSource::listReasons()
{
    request(QStringLiteral("getbanreasons"));
}

void DaemonBanSource::request(const QString& word, const QJsonObject& object)
{
    const QString message =
        object.isEmpty()
            ? word
            : word + QLatin1Char(' ') +
                  QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    if (const std::optional<DaemonRequests::Failure> failure = m_link.sendRequest(message)) {
        m_listing = false;
        Q_EMIT failed(failure->description);
        return;
    }
    m_asked.append(word);
}

void DaemonBanSource::answered(const BanAnswerReader::Answer& answer)
{
    using Kind = BanAnswerReader::Answer::Kind;
    const QString asked =
        answer.kind == Kind::ListChanged || m_asked.isEmpty() ? QString() : m_asked.takeFirst();
    if (asked == QLatin1String("getenginebans") && answer.kind == Kind::Refused) {
        // Not the user's doing: the ban list shows the engine's bans it knows of otherwise.
        m_engineUnreadable = true;
        return;
    }
    switch (answer.kind) {
    case Kind::List:
        listAnswered(answer);
        break;
    case Kind::Added:
        Q_EMIT added(answer.id);
        break;
    case Kind::Changed:
        Q_EMIT changed(answer.id);
        break;
    case Kind::Imported:
        Q_EMIT imported(answer.id, answer.text.section(u' ', 1, 1).toLongLong());
        Q_EMIT listChanged();
        break;
    case Kind::ListChanged:
        Q_EMIT listChanged();
        break;
    case Kind::Reasons:
        m_reasons = answer.reasons;
        Q_EMIT reasonsListed(m_reasons);
        break;
    case Kind::Refused:
        // A refusal of another request leaves a listing under way as it is.
        if (asked == QLatin1String("getbans")) {
            m_listing = false;
        }
        Q_EMIT failed(QStringLiteral("the daemon refuses: ") + answer.text);
        break;
    case Kind::EngineList:
        Q_EMIT engineListed(answer.bans);
        break;
    }
}

void DaemonBanSource::listAnswered(const BanAnswerReader::Answer& answer)
{
    if (std::exchange(m_listAgain, false)) {
        m_gathered.clear();
        requestPage(0);
        return;
    }
    m_gathered += answer.bans;
    Q_EMIT pageListed(answer.bans, answer.offset == 0);
    const qsizetype next = answer.offset + answer.bans.size();
    if (!answer.bans.isEmpty() && next < answer.total) {
        requestPage(next);
        return;
    }
    m_listing = false;
    Q_EMIT listed(std::exchange(m_gathered, {}));
}

} // namespace garrison
