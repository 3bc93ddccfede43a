// garrison-history-fill: makes a history of the given shape and prints its size.
//   garrison-history-fill FILE [PLAYERS] [DAYS]
#include "HistoryGenerator.h"
#include "history/HistoryDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <cstdio>

using namespace garrison;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 2 || QFileInfo::exists(arguments[1])) {
        std::fprintf(stderr, "usage: garrison-history-fill NEW-FILE [PLAYERS] [DAYS]\n");
        return 2;
    }
    HistoryConnection connection;
    connection.path = arguments[1];
    HistoryGenerator::Shape shape;
    shape.players = arguments.value(2, QStringLiteral("100000")).toInt();
    shape.days = arguments.value(3, QStringLiteral("90")).toInt();
    // A player of a public server comes back now and then, under a name or two.
    shape.namesPerPlayer = 2;
    shape.addressesPerPlayer = 2;
    shape.sessionsPerPlayer = 8;
    QElapsedTimer clock;
    clock.start();
    {
        HistoryDatabase database(connection);
        if (database.open() != HistoryDatabase::State::Ready ||
            !HistoryGenerator::fill(database, shape)) {
            std::fprintf(stderr, "%s\n", qPrintable(database.problem()));
            return 1;
        }
        QSqlQuery(database.db()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        for (const char* table : {"players", "names", "addresses", "sessions", "player_counts"}) {
            QSqlQuery count(database.db());
            count.exec(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table)));
            count.next();
            std::printf("%-14s %lld rows\n", table, count.value(0).toLongLong());
        }
    }
    std::printf("%d players over %d days: %.1f MB (%lld ms to fill)\n", shape.players, shape.days,
                static_cast<double>(QFileInfo(connection.path).size()) / 1e6,
                static_cast<long long>(clock.elapsed()));
    return 0;
}
