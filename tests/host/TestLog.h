// Captures the lines the portable core logs during a test.
#pragma once

#include <string>
#include <vector>

#include "common/Text.h"
#include "diag/HostLog.h"

namespace marlo::test {

class CapturedLog {
public:
    CapturedLog() { setHostLogSink(&CapturedLog::sink, this); }
    ~CapturedLog() { setHostLogSink(nullptr, nullptr); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;
    const std::vector<std::string>& lines() const { return lines_; }

private:
    static void sink(void* context, const std::u16string& line) {
        static_cast<CapturedLog*>(context)->lines_.push_back(utf16ToUtf8(line));
    }
    std::vector<std::string> lines_;
};

inline std::u16string u16(const std::string& utf8) {
    std::u16string out;
    utf8ToUtf16(utf8, out);
    return out;
}

}  // namespace marlo::test
