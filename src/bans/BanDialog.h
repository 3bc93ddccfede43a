#pragma once

#include "bans/BanRecord.h"

#include <QDateTime>
#include <QDialog>
#include <memory>
#include <optional>

namespace Ui {
class BanDialog;
}

namespace garrison {

class BanSource;

// The ban's details: reason (from the templates or typed), duration (permanent, fixed ones, or
// until a chosen time), which servers, and a note. For a new ban of an absent player it also
// takes the guid or address; for a player on the server, or an edit, those are shown only.
class BanDialog : public QDialog {
    Q_OBJECT

public:
    enum class Mode { AddAbsent, BanPlayer, Edit };

    // thisServer: how "this server" is named in the ban's servers.
    BanDialog(Mode mode, const BanRecord& preset, const QString& thisServer,
              QWidget* parent = nullptr);
    ~BanDialog() override;

    // The ban as filled in, at `now`; nothing (and problem() says why) when it cannot be one.
    std::optional<BanRecord> ban(const QDateTime& now) const;
    const QString& problem() const { return m_problem; }
    // Offers the reasons that `source` sets (see BanChoices::offeredReasons) instead of this
    // computer's, and asks it for them anew: a reason not yet changed by hand follows them.
    void offerReasonsOf(BanSource& source);

    void accept() override;

private:
    void showDuration();
    void showReasons(const QStringList& reasons);

    const std::unique_ptr<Ui::BanDialog> m_ui;
    const Mode m_mode;
    const BanRecord m_preset;
    const QString m_thisServer;
    mutable QString m_problem;
    // The reason as the dialog last set it.
    QString m_shownReason;
};

} // namespace garrison
