#pragma once

#include "bans/BanAnswerReader.h"
#include "bans/BanSource.h"

namespace garrison {

class DaemonLink;

// The bans of the garrisond that a daemon session is logged in to, through its link: the
// requests "getbans", "addban", "editban" and "liftban", answered in the order asked. The list
// is read kPage bans at a time, the next page asked for once one is read, so that a long list
// is never one answer of tens of megabytes.
class DaemonBanSource : public BanSource {
    Q_OBJECT
public:
    static constexpr qsizetype kPage = 500;

    explicit DaemonBanSource(DaemonLink& link, QObject* parent = nullptr);

    void list() override;
    void add(const BanRecord& ban) override;
    void edit(const BanRecord& ban) override;
    void lift(qint64 id, const QString& note) override;
    void listEngine() override;
    bool canImport() const override { return true; }
    // "importbans".
    void importFiles() override;
    QStringList reasons() const override { return m_reasons; }
    // "getbanreasons".
    void listReasons() override;

private:
    void request(const QString& word, const QJsonObject& object = {});
    void requestPage(qsizetype offset);
    void answered(const BanAnswerReader::Answer& answer);
    void listAnswered(const BanAnswerReader::Answer& answer);

    DaemonLink& m_link;
    // The requests not answered yet, in the order asked: the daemon answers them in that order.
    QStringList m_asked;
    // The daemon cannot read the engine's ban file (no server_directory): not asked again.
    bool m_engineUnreadable = false;
    // A page is on its way; m_listAgain: list() was called meanwhile, so the list begins anew.
    bool m_listing = false;
    bool m_listAgain = false;
    QList<BanRecord> m_gathered;
    QStringList m_reasons;
};

} // namespace garrison
