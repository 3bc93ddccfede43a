#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace garrisond {

// What the watch keeps across restarts of garrisond: the daily restarts that an administrator
// skipped, so that a restarted daemon does not restart the server after all. A small JSON file
// beside the accounts, written like them (0600, replaced in one step).
class WatchState {
public:
    // garrisond-state.json in the folder of the accounts file.
    static QString pathBeside(const QString& accountsPath);
    // A missing file holds nothing; false with the reason when the file cannot be read or is
    // not what save() writes.
    static bool load(const QString& path, QList<QDateTime>* skipped, QString* error);
    static bool save(const QString& path, const QList<QDateTime>& skipped, QString* error);
};

} // namespace garrisond
