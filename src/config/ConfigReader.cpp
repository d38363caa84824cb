#include "config/ConfigReader.h"

#include <cstring>
#include <vector>

#include "common/Win.h"
#include "config/ConfigBlock.h"
#include "config/LauncherConfig.h"
#include "diag/ErrorExit.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "windows/LocaleCode.h"

namespace marlo {

namespace {

class FileSource : public ByteSource {
public:
    explicit FileSource(HANDLE file) : file_(file) {}
    bool seek(uint32_t position) override {
        LONG high = 0;
        DWORD result = SetFilePointer(file_, static_cast<LONG>(position), &high, FILE_BEGIN);
        if (result == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
            lastError_ = GetLastError();
            return false;
        }
        return true;
    }
    bool read(void* buffer, uint32_t size, uint32_t* got) override {
        DWORD n = 0;
        BOOL ok = ReadFile(file_, buffer, size, &n, nullptr);
        *got = n;
        lastError_ = ok ? 0 : GetLastError();
        return ok != FALSE;
    }
    uint32_t position() override {
        LONG high = 0;
        return SetFilePointer(file_, 0, &high, FILE_CURRENT);
    }
    uint32_t lastError() override { return lastError_; }

private:
    HANDLE file_;
    DWORD lastError_ = 0;
};

// The block is read field by field, a few bytes at a time; reading ahead in large pieces spares
// the system a call for each field. Positions and short reads behave as with FileSource.
class BufferedFileSource : public ByteSource {
public:
    explicit BufferedFileSource(HANDLE file) : file_(file) {}
    bool seek(uint32_t position) override {
        position_ = position;
        return true;
    }
    bool read(void* buffer, uint32_t size, uint32_t* got) override {
        auto* out = static_cast<char*>(buffer);
        *got = 0;
        while (*got < size) {
            if (position_ < start_ || position_ >= start_ + filled_) {
                if (!fill()) return false;
                if (filled_ == 0) break;  // end of file: a short read
            }
            const uint32_t offset = position_ - start_;
            uint32_t take = filled_ - offset;
            if (take > size - *got) take = size - *got;
            std::memcpy(out + *got, buffer_.data() + offset, take);
            *got += take;
            position_ += take;
        }
        return true;
    }
    uint32_t position() override { return position_; }
    uint32_t lastError() override { return lastError_; }

private:
    bool fill() {
        start_ = position_;
        filled_ = 0;
        LONG high = 0;
        if (SetFilePointer(file_, static_cast<LONG>(position_), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR) {
            lastError_ = GetLastError();
            return false;
        }
        DWORD n = 0;
        if (!ReadFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &n, nullptr)) {
            lastError_ = GetLastError();
            return false;
        }
        lastError_ = 0;
        filled_ = n;
        return true;
    }

    HANDLE file_;
    std::vector<char> buffer_ = std::vector<char>(64 * 1024);
    uint32_t start_ = 0;
    uint32_t filled_ = 0;
    uint32_t position_ = 0;
    DWORD lastError_ = 0;
};

}  // namespace

void* openOwnExecutable() {
    const std::u16string& path = launcherExePath().wideLong;
    HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == nullptr || file == INVALID_HANDLE_VALUE) {
        logError(u"Could not open %s", path.c_str());
        fatalError("Error opening media file. Please move this file to an ascii-only path like c:\\");
    }
    return file;
}

int64_t readLongField(void* file) {
    FileSource source(static_cast<HANDLE>(file));
    BlockReader reader(source);
    BlockError error = BlockError::None;
    int64_t value = reader.readLong(&error);
    if (error != BlockError::None) fatalError(blockErrorMessage(error));
    return value;
}

int readConfigBlock(const ArgVector& args) {
    HANDLE file = static_cast<HANDLE>(openOwnExecutable());
    BufferedFileSource source(file);
    BlockReader reader(source);
    BlockContents contents;
    char localeCode[12] = "en";
    BlockError error = locateConfigBlock(reader);
    if (error == BlockError::None) {
        ParseHooks hooks;
        hooks.beforeGroups = [](void* context) {
            auto* pair = static_cast<std::pair<const ArgVector*, char*>*>(context);
            chooseLocaleCode(pair->first, pair->second);
        };
        std::pair<const ArgVector*, char*> context(&args, localeCode);
        hooks.context = &context;
        error = parseConfigBlock(reader, contents, &hooks);
    }
    // Records read before a failure stay visible, so a box can still take its caption from them.
    launcherConfig().load(contents, localeCode);
    if (error != BlockError::None) fatalError(blockErrorMessage(error));
    CloseHandle(file);

    int type = getConfigInt(cfg::EXECUTABLE_TYPE);
    if (type != 1 && type != 5) setGuiMessages(false);
    return type;
}

}  // namespace marlo
