#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

// Made-up registrations for trying the program out and for timing it on large tables. The rows are the
// same on every machine: std::mt19937's output is fixed by the standard, and the standard distributions,
// whose results differ between library implementations, are never used.
class DemoRecords {
public:
    static constexpr int fieldCount = 21;
    // UTF-8 texts of the columns 日期 … 备注, in table order.
    using Row = std::array<std::string, fieldCount>;

    // count: how many rows will be asked for; the dates are spread over the years so that they rise
    // from the first row to the last, as in a register kept day by day.
    explicit DemoRecords(std::int64_t count);

    void next(Row& row);

private:
    std::mt19937 m_engine;
    std::int64_t m_count;
    std::int64_t m_index = 0;
};
