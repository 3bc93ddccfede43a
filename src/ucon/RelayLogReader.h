#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace garrison {

// Builds the raw text of the relay log from the file's characters, which may arrive in several
// pieces: a line ends at CR or CR LF (a lone LF does not end one), the lines are joined by
// CR LF, and then every LF, those of the joins included, becomes CR LF. The text only ever
// grows at its end, so a file that grows gives the text of its new bytes alone.
class RelayLineEnds {
public:
    // Appends the raw text for content to text.
    void feed(QStringView content, QString& text);

private:
    bool m_lineEnded = false;
    bool m_afterCr = false;
};

// Reads the relay's log the way the log tail shows it.
class RelayLogReader {
public:
    // The whole log as raw text, or nothing when the file cannot be read (the caller keeps the
    // text it had and tries again at the next tick).
    static std::optional<QString> ReadRelayLog(const QString& path);

    // The raw text for a file whose bytes are already decoded. So "a" CR LF "b" CR LF gives
    // "a" CR CR LF "b", and a log written with bare LFs, read as one line, gets its lines back.
    static QString fromFileContent(QStringView content);
};

} // namespace garrison
