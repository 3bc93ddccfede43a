#pragma once

#include <QTest>
#include <initializer_list>

namespace garrison::test {

// Adds QString columns and one row per entry; an entry is the row's name, then one text per
// column. Keeps tables of texts at one line per case.
inline void addTextRows(std::initializer_list<const char*> columns,
                        std::initializer_list<std::initializer_list<const char*>> rows)
{
    for (const char* column : columns) {
        QTest::addColumn<QString>(column);
    }
    for (const auto& row : rows) {
        auto cell = row.begin();
        QTestData& data = QTest::newRow(*cell);
        for (++cell; cell != row.end(); ++cell) {
            data << QString::fromUtf8(*cell);
        }
    }
}

// The text with CR and LF spelt out, for failure messages about line ends.
inline QString visible(QString text)
{
    return text.replace(QLatin1Char('\r'), QStringLiteral("<CR>"))
        .replace(QLatin1Char('\n'), QStringLiteral("<LF>"));
}

} // namespace garrison::test
