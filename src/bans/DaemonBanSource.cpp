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
}

void DaemonBanSource::list()
{
    request(QStringLiteral("getbans"));
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
        Q_EMIT failed(failure->description);
    }
}

void DaemonBanSource::answered(const BanAnswerReader::Answer& answer)
{
    using Kind = BanAnswerReader::Answer::Kind;
    switch (answer.kind) {
    case Kind::List:
        Q_EMIT listed(answer.bans);
        break;
    case Kind::Added:
        Q_EMIT added(answer.id);
        break;
    case Kind::Changed:
        Q_EMIT changed(answer.id);
        break;
    case Kind::Imported:
    case Kind::ListChanged:
        Q_EMIT listChanged();
        break;
    case Kind::Reasons:
        m_reasons = answer.reasons;
        Q_EMIT reasonsListed(m_reasons);
        break;
    case Kind::Refused:
        Q_EMIT failed(QStringLiteral("the daemon refuses: ") + answer.text);
        break;
    }
}

} // namespace garrison
