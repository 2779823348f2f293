// libFuzzer target: 21 values and a keyword of arbitrary text through the statements and a real SQLite
// database. See FuzzChecks.h for what must hold.
#include "FuzzChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString failure =
        fuzzchecks::checkStatements(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "statements: %s\n", failure.toUtf8().constData());
        std::abort();
    }
    return 0;
}
