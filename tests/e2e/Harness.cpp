#include "Harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace marlo::e2e {

std::string binDir() { return MARLO_E2E_BIN_DIR; }
std::string packTool() { return std::string(MARLO_E2E_BIN_DIR) + "/marlo-pack"; }
std::string launcherPath(const std::string& fileName) { return std::string(MARLO_E2E_BIN_DIR) + "/" + fileName; }
std::string probePath() { return MARLO_E2E_PROBE; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ProcessResult::describe() const {
    std::ostringstream text;
    text << "exit code " << exitCode << (timedOut ? " (killed after its time limit)" : "") << "\n--- stdout ---\n"
         << out << "\n--- stderr ---\n"
         << err << "\n---";
    return text.str();
}

// ---------------------------------------------------------------------------------------------
// Processes

namespace {

std::vector<char*> cStrings(const std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

std::string variableName(const std::string& entry) { return entry.substr(0, entry.find('=')); }

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    return env;
}

void applyOverrides(std::vector<std::string>& env, const EnvOverrides& overrides) {
    for (const auto& [name, value] : overrides) {
        for (auto it = env.begin(); it != env.end();)
            it = variableName(*it) == name ? env.erase(it) : it + 1;
        if (value) env.push_back(name + "=" + *value);
    }
}

// Spawns argv with the given standard handles; the child leads a new process group so that a
// time-out can kill everything it started.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outFile,
            const std::string& errFile, const std::vector<std::pair<int, int>>& extraFds, std::string* why) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (const auto& [from, to] : extraFds) posix_spawn_file_actions_adddup2(&actions, from, to);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args = cStrings(argv);
    std::vector<char*> envp = cStrings(env);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0].c_str(), &actions, &attr, args.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        if (why) *why = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return -1;
    }
    return pid;
}

// waitpid with a deadline; true when the child has ended (status in *status).
bool waitFor(pid_t pid, int timeoutSeconds, int* status) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        pid_t r = waitpid(pid, status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 && errno != EINTR) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string findInPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::string();
}

}  // namespace

Process::Process(Process&& other) noexcept { *this = std::move(other); }

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        kill();
        pid_ = other.pid_;
        outFile_ = std::move(other.outFile_);
        errFile_ = std::move(other.errFile_);
        other.pid_ = -1;
    }
    return *this;
}

Process::~Process() { kill(); }

void Process::kill() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

bool Process::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    const std::string& outFile, const std::string& errFile, std::string* errorText) {
    kill();
    outFile_ = outFile;
    errFile_ = errFile;
    pid_ = spawn(argv, env, outFile, errFile, {}, errorText);
    return pid_ > 0;
}

ProcessResult Process::wait(int timeoutSeconds) {
    ProcessResult result;
    if (pid_ <= 0) {
        result.err = "process was not started";
        return result;
    }
    int status = 0;
    if (!waitFor(pid_, timeoutSeconds, &status)) {
        result.timedOut = true;
        kill();
    } else {
        pid_ = -1;
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    }
    result.out = readFile(outFile_);
    result.err = readFile(errFile_);
    return result;
}

ProcessResult runHost(const std::vector<std::string>& argv, const EnvOverrides& env, int timeoutSeconds) {
    char pattern[] = "/tmp/marlo-e2e-host-XXXXXX";
    ProcessResult result;
    if (!mkdtemp(pattern)) {
        result.err = "cannot create a temporary folder";
        return result;
    }
    std::string dir = pattern;
    std::vector<std::string> environment = currentEnvironment();
    applyOverrides(environment, env);
    Process process;
    std::string why;
    if (!process.start(argv, environment, dir + "/out", dir + "/err", &why)) {
        result.err = why;
    } else {
        result = process.wait(timeoutSeconds);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return result;
}

// ---------------------------------------------------------------------------------------------
// The Wine session

namespace {

WineSession* g_session = nullptr;
bool g_bootFailed = false;
std::string g_bootError;

bool keepFiles() { return std::getenv("MARLO_E2E_KEEP") != nullptr; }

}  // namespace

WineSession& WineSession::get() {
    if (!g_session && !g_bootFailed) {
        auto* session = new WineSession();
        if (session->boot(&g_bootError)) {
            g_session = session;
        } else {
            session->stop();
            delete session;
            g_bootFailed = true;
        }
    }
    if (!g_session) {
        // Every test that needs Wine fails with the same reason; the first one paid the time.
        throw std::runtime_error("Wine prefix could not be set up: " + g_bootError);
    }
    return *g_session;
}

void WineSession::shutdown() {
    if (!g_session) return;
    g_session->stop();
    delete g_session;
    g_session = nullptr;
}

std::vector<std::string> WineSession::environment(const EnvOverrides& overrides) const {
    std::vector<std::string> env;
    for (const std::string& entry : currentEnvironment()) {
        std::string name = variableName(entry);
        // Variables of the caller's shell must not switch on the launcher's log or name a runtime.
        if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name.rfind("WINE", 0) == 0 ||
            name.rfind("BRENN_", 0) == 0 || name.rfind("KAVORA_", 0) == 0 || name == "JAVA_HOME" ||
            name == "JDK_HOME" || name == "JRE_HOME")
            continue;
        env.push_back(entry);
    }
    env.push_back("WINEPREFIX=" + prefix_);
    env.push_back("WINEDEBUG=-all");
    env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    applyOverrides(env, overrides);
    return env;
}

bool WineSession::boot(std::string* why) {
    char pattern[] = "/tmp/marlo-e2e-XXXXXX";
    if (!mkdtemp(pattern)) {
        *why = "cannot create a temporary folder";
        return false;
    }
    root_ = pattern;
    prefix_ = root_ + "/prefix";
    fs::create_directories(root_ + "/tests");
    fs::create_directories(prefix_);
    std::vector<std::string> env = environment({});
    // The server must start first: one that is already running cannot be made persistent. It then
    // stays between the many short runs; its linger time ends it by itself should this program
    // die before shutdown(). The prefix folder has to exist for the server.
    return startServer(why) && runStep({"wineboot", "-i"}, env, 300, why) &&
           runStep({"wine", probePath(), "list-windows"}, env, 120, why);  // later runs start quietly
}

bool WineSession::runStep(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          int timeoutSeconds, std::string* why) {
    Process process;
    if (!process.start(argv, env, root_ + "/step.out", root_ + "/step.err", why)) return false;
    ProcessResult result = process.wait(timeoutSeconds);
    if (result.timedOut || result.exitCode != 0) {
        *why = argv[0] + " " + argv[1] + " failed: " + result.describe();
        return false;
    }
    return true;
}

bool WineSession::startServer(std::string* why) {
    // Right after "wineserver -k" the old server may still hold the prefix for a moment.
    for (int attempt = 0;; ++attempt) {
        if (runStep({"wineserver", "-p60"}, environment({}), 60, why)) return true;
        if (attempt == 20) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}

void WineSession::stop() {
    if (!prefix_.empty()) {
        Process process;
        if (process.start({"wineserver", "-k"}, environment({}), "/dev/null", "/dev/null", nullptr)) process.wait(60);
    }
    if (xvfbPid_ > 0) {
        ::kill(xvfbPid_, SIGTERM);
        int status = 0;
        if (!waitFor(xvfbPid_, 10, &status)) {
            ::kill(xvfbPid_, SIGKILL);
            waitpid(xvfbPid_, &status, 0);
        }
        xvfbPid_ = -1;
    }
    if (!root_.empty() && !keepFiles()) {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
}

namespace {

// The Linux process of the desktop (explorer.exe) of the Wine session on the prefix, or -1.
pid_t desktopProcess(const std::string& prefix) {
    const std::string wanted = "WINEPREFIX=" + prefix;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) continue;
        std::string cmdline = readFile(entry.path().string() + "/cmdline");
        if (cmdline.find("explorer.exe") == std::string::npos) continue;
        std::string environ = readFile(entry.path().string() + "/environ");
        std::replace(environ.begin(), environ.end(), '\0', '\n');
        if (("\n" + environ + "\n").find("\n" + wanted + "\n") != std::string::npos) return std::stoi(name);
    }
    return -1;
}

}  // namespace

std::string WineSession::display() {
    if (xvfbTried_) {
        if (!displayError_.empty()) throw std::runtime_error(displayError_);
        // The desktop ends when the session has been without programs for a while (or a run ended
        // them all); the next program would start one without the display. Start it again here.
        if (!display_.empty() && (desktopPid_ <= 0 || ::kill(desktopPid_, 0) != 0)) {
            std::fprintf(stderr, "e2e: the Wine desktop on display %s has ended; starting it again\n", display_.c_str());
            std::string why;
            if (!runStep({"wineserver", "-k"}, environment({}), 60, &why) || !startServer(&why) ||
                !runStep({"wine", probePath(), "list-windows"}, environment({{"DISPLAY", display_}}), 120, &why))
                throw std::runtime_error("cannot start the Wine desktop on the virtual display again: " + why);
            desktopPid_ = desktopProcess(prefix_);
        }
        return display_;
    }
    xvfbTried_ = true;
    std::string xvfb = findInPath("Xvfb");
    if (xvfb.empty()) return display_;
    try {
        display_ = startDisplay(xvfb);
    } catch (const std::exception& e) {
        displayError_ = e.what();
        throw;
    }
    return display_;
}

std::string WineSession::startDisplay(const std::string& xvfb) {
    // Xvfb picks a free display itself and writes its number to the descriptor given.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("cannot create a pipe for Xvfb");
    std::string why;
    pid_t pid = spawn({xvfb, "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                      currentEnvironment(), "/dev/null", root_ + "/xvfb.err", {{fds[1], 3}}, &why);
    close(fds[1]);
    if (pid <= 0) {
        close(fds[0]);
        throw std::runtime_error(why);
    }
    xvfbPid_ = pid;
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&p, 1, 200) <= 0) continue;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n') break;
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not report a display: " + readFile(root_ + "/xvfb.err"));
    // Windows are drawn through the driver of the desktop process, which the first program of a
    // server session starts. A desktop started without a display gives no process a window, so
    // the session starts again with a desktop on this display. Programs run without DISPLAY later
    // still get no windows (their message boxes return at once), as before.
    std::string display = ":" + number;
    if (!runStep({"wineserver", "-k"}, environment({}), 60, &why) || !startServer(&why) ||
        !runStep({"wine", probePath(), "list-windows"}, environment({{"DISPLAY", display}}), 120, &why))
        throw std::runtime_error("cannot start a Wine desktop on the virtual display: " + why);
    desktopPid_ = desktopProcess(prefix_);
    return display;
}

// ---------------------------------------------------------------------------------------------
// Paths

std::string toWinPath(const std::string& linuxPath) {
    std::string out = "Z:";
    for (char c : fs::absolute(linuxPath).lexically_normal().string()) out.push_back(c == '/' ? '\\' : c);
    return out;
}

std::string fromWinPath(const std::string& winPath) {
    if (winPath.size() < 2 || !std::isalpha(static_cast<unsigned char>(winPath[0])) || winPath[1] != ':') return "";
    std::string drive(1, static_cast<char>(std::tolower(static_cast<unsigned char>(winPath[0]))));
    std::error_code error;
    fs::path root = fs::canonical(fs::path(WineSession::get().prefix()) / "dosdevices" / (drive + ":"), error);
    if (error) return "";
    std::string rest = winPath.substr(2);
    for (char& c : rest)
        if (c == '\\') c = '/';
    while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    return (rest.empty() ? root : root / rest).string();
}

// ---------------------------------------------------------------------------------------------
// A prefix of its own

OwnPrefix::OwnPrefix() {
    char pattern[] = "/tmp/marlo-own-XXXXXX";
    if (!mkdtemp(pattern)) {
        ADD_FAILURE() << "cannot create a temporary folder";
        return;
    }
    root_ = pattern;
    prefix_ = root_ + "/prefix";
    fs::create_directories(prefix_);
    Process boot;
    std::string why;
    if (!boot.start({"wineboot", "-i"}, environment({}), root_ + "/boot.out", root_ + "/boot.err", &why)) {
        ADD_FAILURE() << why;
        return;
    }
    ProcessResult booted = boot.wait(300);
    EXPECT_EQ(booted.exitCode, 0) << "wineboot in an own prefix: " << booted.describe();
}

OwnPrefix::~OwnPrefix() {
    if (root_.empty()) return;
    Process end;
    if (end.start({"wineserver", "-k"}, environment({}), "/dev/null", "/dev/null", nullptr)) end.wait(60);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::vector<std::string> OwnPrefix::environment(const EnvOverrides& overrides) const {
    std::vector<std::string> env = WineSession::get().environment(overrides);
    for (std::string& entry : env)
        if (entry.rfind("WINEPREFIX=", 0) == 0) entry = "WINEPREFIX=" + prefix_;
    return env;
}

ProcessResult OwnPrefix::run(const std::string& exe, const std::vector<std::string>& args, const EnvOverrides& env,
                             int timeoutSeconds) {
    std::vector<std::string> argv = {"wine", exe};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string name = root_ + "/run" + std::to_string(++runs_);
    Process process;
    std::string why;
    if (!process.start(argv, environment(env), name + ".out", name + ".err", &why)) {
        ADD_FAILURE() << why;
        return ProcessResult();
    }
    return process.wait(timeoutSeconds);
}

// ---------------------------------------------------------------------------------------------
// Fixture

namespace {

class SessionEnd : public ::testing::Environment {
public:
    void TearDown() override { WineSession::shutdown(); }
};

const auto* g_sessionEnd = ::testing::AddGlobalTestEnvironment(new SessionEnd);

std::string safeName(std::string name) {
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') c = '_';
    return name;
}

}  // namespace

void E2eTest::SetUp() {
    WineSession* session = nullptr;
    try {
        session = &WineSession::get();
    } catch (const std::exception& e) {
        GTEST_FAIL() << e.what();
    }
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    fs::path prefixRoot = fs::path(session->prefix()).parent_path();
    dir_ = (prefixRoot / "tests" / safeName(std::string(info->test_suite_name()) + "." + info->name())).string();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    fs::create_directories(dir_);
}

void E2eTest::checkStandInRecords() {
    for (const std::string& record : records_) {
        std::istringstream lines(readFile(record));
        std::string line;
        while (std::getline(lines, line)) {
            // The stand-in writes compact JSON: an error event starts exactly so.
            if (line.rfind("{\"event\":\"error\"", 0) == 0)
                ADD_FAILURE() << "the stand-in VM noticed a misuse (" << record << "): " << line;
        }
    }
    records_.clear();
}

void E2eTest::TearDown() {
    if (dir_.empty()) return;
    checkStandInRecords();
    if (keepFiles()) {
        std::cout << "test files kept in " << dir_ << "\n";
    } else {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
        if (HasFailure()) std::cout << "set MARLO_E2E_KEEP=1 to keep the test files and the Wine prefix\n";
    }
}

std::string E2eTest::write(const std::string& name, const std::string& bytes) {
    std::string p = path(name);
    writeFile(p, bytes);
    return p;
}

std::string E2eTest::pack(const std::string& name, const std::string& toml, const std::string& launcher) {
    std::string description = write(name + ".toml", toml);
    std::string exe = path(name + ".exe");
    std::vector<std::string> argv = {packTool(), "pack", description, "-o", exe};
    if (!launcher.empty()) {
        argv.push_back("--launcher");
        argv.push_back(launcher);
    }
    ProcessResult result = runHost(argv);
    EXPECT_EQ(result.exitCode, 0) << "marlo-pack failed for\n" << toml << "\n" << result.describe();
    return result.exitCode == 0 ? exe : std::string();
}

ProcessResult E2eTest::runWine(const std::string& exe, const std::vector<std::string>& args,
                               const EnvOverrides& env, int timeoutSeconds) {
    Process process = startWine(exe, args, env);
    return process.wait(timeoutSeconds);
}

Process E2eTest::startWine(const std::string& exe, const std::vector<std::string>& args, const EnvOverrides& env) {
    std::vector<std::string> argv = {"wine", exe};
    argv.insert(argv.end(), args.begin(), args.end());
    int n = ++runCount_;
    EnvOverrides withRecord = env;
    auto named = withRecord.find("MARLO_STANDIN_RECORD");
    if (named == withRecord.end()) {
        const std::string record = path("standin-record.jsonl");
        withRecord["MARLO_STANDIN_RECORD"] = toWinPath(record);
        records_.insert(record);
    } else if (named->second && !named->second->empty()) {
        records_.insert(fromWinPath(*named->second));
    }
    Process process;
    std::string why;
    if (!process.start(argv, WineSession::get().environment(withRecord), path("run" + std::to_string(n) + ".out"),
                       path("run" + std::to_string(n) + ".err"), &why))
        ADD_FAILURE() << why;
    return process;
}

std::string E2eTest::requireDisplay() {
    try {
        return WineSession::get().display();
    } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
        return std::string();
    }
}

std::string unescapeProbe(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        char c = text[++i];
        out.push_back(c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c);
    }
    return out;
}

std::string takeNewLogs(const std::set<std::string>& before, const std::string& extraDir) {
    std::string text;
    for (const std::string& file : diagnosticLogFiles(extraDir)) {
        if (before.count(file)) continue;
        text += readFile(file);
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
    return text;
}

std::set<std::string> diagnosticLogFiles(const std::string& extraDir) {
    namespace fs = std::filesystem;
    std::set<std::string> found;
    for (const std::string& root : {WineSession::get().prefix() + "/drive_c", extraDir}) {
        std::error_code error;
        for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
             !error && it != end; it.increment(error)) {
            if (it->path().filename().string().rfind("kvr_nlog", 0) == 0) found.insert(it->path().string());
        }
    }
    return found;
}

}  // namespace marlo::e2e
