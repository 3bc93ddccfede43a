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

} // namespace garrison::test
