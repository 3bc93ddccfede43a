#pragma once

#include <QString>
#include <optional>

namespace garrison {

// Reads the relay's log the way the log tail shows it.
class RelayLogReader {
public:
    // The whole log as raw text, or nothing when the file cannot be read (the caller keeps the
    // text it had and tries again at the next tick).
    static std::optional<QString> ReadRelayLog(const QString& path);

    // The raw text for a file whose bytes are already decoded: a line ends at CR or CR LF (a
    // lone LF does not end one), the lines are joined by CR LF, and then every LF, those of
    // the joins included, becomes CR LF. So "a" CR LF "b" CR LF gives "a" CR CR LF "b", and a
    // log written with bare LFs, read as one line, gets its lines back.
    static QString fromFileContent(QStringView content);
};

} // namespace garrison
