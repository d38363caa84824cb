#include "config/ConfigReader.h"

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
    FileSource source(file);
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
