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
    void listEngine() override;

private:
    void request(const QString& word, const QJsonObject& object = {});
    void answered(const BanAnswerReader::Answer& answer);

    DaemonLink& m_link;
    // The requests not answered yet, in the order asked: the daemon answers them in that order.
    QStringList m_asked;
    // The daemon cannot read the engine's ban file (no server_directory): not asked again.
    bool m_engineUnreadable = false;
};

} // namespace garrison
