#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <utility>

namespace garrison {

// A server's key/value text "\key\value\key\value…", as the connectionless answers carry their
// variables. Keys are looked up without regard to case and the first of two equal keys wins,
// as the game's own clients read them.
class InfoString {
public:
    using Pair = std::pair<QString, QString>;

    // A leading backslash is optional; a key without its value gets an empty one; pairs with an
    // empty key are dropped. Reads up to the first line end (LF or CR LF): the text is one line.
    static InfoString parse(QStringView text);

    const QList<Pair>& pairs() const { return m_pairs; }
    std::optional<QString> find(QStringView key) const;
    QString value(QStringView key) const { return find(key).value_or(QString()); }
    // The leading whole number of the value, as the game reads it ("12abc" is 12); nullopt when
    // the key is missing or its value does not start with a number.
    std::optional<int> number(QStringView key) const;
    // Without the given key, for showing a server's variables without the query's own.
    InfoString without(QStringView key) const;

    friend bool operator==(const InfoString&, const InfoString&) = default;

private:
    QList<Pair> m_pairs;
};

} // namespace garrison
