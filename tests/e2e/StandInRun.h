// Runs of the packed x64 launcher against the stand-in runtime laid out beside it (jre\bin with
// java.exe, javaw.exe and server\jvm.dll), and what the stand-in VM recorded: the options it was
// created with, the main call, every JNI call. Shared by the end-to-end tests of the VM start.
#pragma once

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <thread>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Harness.h"

namespace marlo::e2e::standin {

namespace fs = std::filesystem;
using nlohmann::json;
using Strings = std::vector<std::string>;

inline const char kMainClass[] = "com.example.App";
inline const char kBrennEntry[] = "com/brenn/runtime/WinLauncher";
inline const char kKavoraEntry[] = "com/kavora/runtime/launcher/WinLauncher";
inline const char kClassPathPrefix[] = "-Djava.class.path=";
inline const char kVmNotStarted[] =
    "The JVM could not be started. The maximum heap size (-Xmx) might be too large or an antivirus or firewall tool "
    "could block the execution.";

inline fs::path standInDir() { return fs::path(probePath()).parent_path() / "runtime"; }

inline bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

inline std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

inline std::string joined(const Strings& items) {
    std::string out;
    for (const std::string& item : items) out += "  [" + item + "]\n";
    return out;
}

// Index of the first element equal to value, or -1.
inline int indexOf(const Strings& items, const std::string& value) {
    auto it = std::find(items.begin(), items.end(), value);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

inline bool anyStartsWith(const Strings& items, const std::string& prefix) {
    return std::any_of(items.begin(), items.end(), [&](const std::string& s) { return startsWith(s, prefix); });
}

// The events of a stand-in record. A line that is not JSON fails the test, except a last line
// without its line end: a running process may be writing it.
inline std::vector<json> recordEvents(const std::string& text) {
    std::vector<json> events;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) break;
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty()) continue;
        try {
            events.push_back(json::parse(line));
        } catch (const json::exception& e) {
            ADD_FAILURE() << "bad record line: " << line << "\n" << e.what();
        }
    }
    return events;
}

// What one launcher run left behind.
struct Start {
    ProcessResult run;
    std::vector<json> events;
    std::string recordText;

    const json* event(const std::string& name) const {
        for (const json& e : events)
            if (e.value("event", "") == name) return &e;
        return nullptr;
    }
    Strings options() const {
        const json* create = event("create");
        return create ? create->at("options").get<Strings>() : Strings();
    }
    Strings mainArgs() const {
        const json* main = event("main");
        return main ? main->at("args").get<Strings>() : Strings();
    }
    std::string describe() const { return run.describe() + "\n--- record ---\n" + recordText; }
};

// A launcher started in the background with its own stand-in record.
struct Copy {
    Process process;
    std::string record;
    std::vector<json> events() const { return recordEvents(readFile(record)); }
    bool has(const std::string& name) const {
        for (const json& e : events())
            if (e.value("event", "") == name) return true;
        return false;
    }
};

// Polls done every 100 ms until it holds or the seconds have passed.
inline bool waitUntil(const std::function<bool()>& done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

class StandInTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        if (HasFatalFailure()) return;
        // jre/bin/{java,javaw}.exe answering the version probe, jre/bin/server/jvm.dll.
        fs::create_directories(path("jre/bin/server"));
        for (const char* name : {"java.exe", "javaw.exe"})
            fs::copy_file(standInDir() / "java.exe", path("jre/bin/") + name, fs::copy_options::overwrite_existing);
        fs::copy_file(standInDir() / "jvm.dll", path("jre/bin/server/jvm.dll"), fs::copy_options::overwrite_existing);
        write("jre/bin/stand-in.cfg", "first_line=java version \"1.8.0_60\"\r\n");
    }

    // Packs app.exe; config holds the [config] lines beyond the common ones.
    std::string app(int executableType, const std::string& config, const std::string& name = "app") {
        return pack(name, "launcher = \"marlo\"\narch = \"x64\"\n[config]\nEXECUTABLE_TYPE = " +
                               std::to_string(executableType) + "\nMAIN_CLASS = \"" + kMainClass +
                               "\"\nMIN_JAVA_VERSION = \"1.8\"\nJRE_SEARCH_SEQUENCE = [\"Rjre\"]\n" + config);
    }

    // Runs the launcher with a fresh record file and the given stand-in scenario.
    Start start(const std::string& exe, const Strings& args, const std::string& scenario = "",
                EnvOverrides env = {}) {
        const std::string record = path("record" + std::to_string(++records_) + ".jsonl");
        env["MARLO_STANDIN_RECORD"] = toWinPath(record);
        env["MARLO_STANDIN_SCENARIO"] = scenario;
        // The console code page property is passed only without MANPATH; keep the caller's out.
        if (env.find("MANPATH") == env.end()) env["MANPATH"] = std::nullopt;
        Start s;
        s.run = runWine(exe, args, env);
        s.recordText = readFile(record);
        s.events = recordEvents(s.recordText);
        // A misuse the stand-in noticed fails the test through the harness.
        return s;
    }

    std::string winPath(const std::string& name) { return toWinPath(path(name)); }

    // Starts the launcher in the background with the diagnostic log on and a record of its own.
    Copy startCopy(const std::string& exe, const Strings& args, const std::string& scenario, EnvOverrides env = {}) {
        Copy copy;
        copy.record = path("copy" + std::to_string(++copies_) + ".jsonl");
        env["MARLO_STANDIN_RECORD"] = toWinPath(copy.record);
        env["MARLO_STANDIN_SCENARIO"] = scenario;
        env["BRENN_LOG"] = "yes";
        if (env.find("MANPATH") == env.end()) env["MANPATH"] = std::nullopt;
        copy.process = startWine(exe, args, env);
        return copy;
    }

private:
    int records_ = 0;
    int copies_ = 0;
};

// A stand-in test that keeps its diagnostic logs apart: the logs its runs write are taken with
// newLogs() or removed at the end, those of other tests are left alone.
class LoggedStandInTest : public StandInTest {
protected:
    void SetUp() override {
        StandInTest::SetUp();
        if (HasFatalFailure()) return;
        logsAtStart_ = diagnosticLogFiles(dir());
    }
    void TearDown() override {
        takeNewLogs(logsAtStart_, dir());
        StandInTest::TearDown();
    }
    // The text of the logs written since the start or the last call.
    std::string newLogs() {
        std::string log = takeNewLogs(logsAtStart_, dir());
        logsAtStart_ = diagnosticLogFiles(dir());
        return log;
    }

private:
    std::set<std::string> logsAtStart_;
};

}  // namespace marlo::e2e::standin
