#pragma once
// What every config fuzz target needs: a silent log, an assertion that survives release builds,
// and the one-time set-up of the configuration's types.

#include "deviceconfig.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Aborts, so that libFuzzer keeps the input, when a property does not hold; names the line of
// the failed check first.
inline void check(bool ok, const char *file = __builtin_FILE(), int line = __builtin_LINE())
{
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed at %s:%d\n", file, line);
        std::abort();
    }
}

// Call first in LLVMFuzzerTestOneInput: the parsers' diagnostics would drown the fuzzer's output.
inline void initialiseOnce()
{
    static const bool initialised = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        registerConfigMetaTypes();
        return true;
    }();
    (void)initialised;
}

} // namespace fuzz
