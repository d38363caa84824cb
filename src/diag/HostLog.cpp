// Host stand-in for the diagnostic log: the portable core logs through these calls. On the host
// (packing tool, unit tests) lines go to a sink that a test may install; by default they vanish.
#include <cstdarg>

#include "common/Text.h"
#include "diag/HostLog.h"
#include "diag/Log.h"

namespace marlo {

namespace {
HostLogSink g_sink = nullptr;
void* g_context = nullptr;

void emit(bool error, const char16_t* format, va_list args) {
    if (!g_sink) return;
    std::u16string line = error ? u"ERROR: " : u"";
    vformatWide(line, format, args);
    g_sink(g_context, line);
}
}  // namespace

void setHostLogSink(HostLogSink sink, void* context) {
    g_sink = sink;
    g_context = context;
}

void logMessage(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    emit(false, format, args);
    va_end(args);
}

void logError(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    emit(true, format, args);
    va_end(args);
}

const char16_t* logFilePath() { return nullptr; }
void setLogSwitch() {}

}  // namespace marlo
