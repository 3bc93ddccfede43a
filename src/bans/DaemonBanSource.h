#pragma once

#include "bans/BanAnswerReader.h"
#include "bans/BanSource.h"

namespace garrison {

class DaemonLink;

// The bans of the garrisond that a daemon session is logged in to, through its link: the
// requests "getbans", "addban", "editban" and "liftban", answered in the order asked.
class DaemonBanSource : public BanSource {
    Q_OBJECT
public:
    explicit DaemonBanSource(DaemonLink& link, QObject* parent = nullptr);

    void list() override;
    void add(const BanRecord& ban) override;
    void edit(const BanRecord& ban) override;
    void lift(qint64 id, const QString& note) override;
    QStringList reasons() const override { return m_reasons; }
    // "getbanreasons".
    void listReasons() override;

private:
    void request(const QString& word, const QJsonObject& object = {});
    void answered(const BanAnswerReader::Answer& answer);

    DaemonLink& m_link;
    QStringList m_reasons;
};

} // namespace garrison
