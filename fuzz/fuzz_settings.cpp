// libFuzzer target: set.ini of arbitrary bytes. See FuzzChecks.h for what must hold.
#include "FuzzChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString failure =
        fuzzchecks::checkSettings(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "settings: %s\n", failure.toUtf8().constData());
        std::abort();
    }
    return 0;
}
