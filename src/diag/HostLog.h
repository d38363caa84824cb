// Host builds only: where the portable core's log lines go.
#pragma once

#include <string>

namespace marlo {

using HostLogSink = void (*)(void* context, const std::u16string& line);
void setHostLogSink(HostLogSink sink, void* context);

}  // namespace marlo
