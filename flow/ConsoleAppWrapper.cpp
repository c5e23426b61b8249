#include "flow/ConsoleAppWrapper.h"

#include "flow/ProcessFlow.h"
#include "options/TextLines.h"
#include "plugin/frame/SupportService.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>


namespace tavrel {

namespace {

namespace fs = std::filesystem;

// Blocks read from the pipe.
constexpr size_t kReadBlock = 513;
// While the program runs, one drain reads at most this much before the wait
// loop looks at the clock again.
constexpr size_t kDrainSlice = 64 * 1024;
constexpr std::chrono::milliseconds kWaitStep{100};

// Length of the UTF-8 sequence a lead byte starts (0: not a lead byte).
size_t SequenceLength(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence at `at`, or 0.
size_t ValidSequence(std::string_view bytes, size_t at)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    const size_t length = SequenceLength(lead);
    if (length == 0 || at + length > bytes.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if (!IsContinuation(static_cast<unsigned char>(bytes[at + k]))) return 0;
    if (length >= 3) {
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        if (lead == 0xE0 && second < 0xA0) return 0; // overlong
        if (lead == 0xED && second > 0x9F) return 0; // surrogate
        if (lead == 0xF0 && second < 0x90) return 0; // overlong
        if (lead == 0xF4 && second > 0x8F) return 0; // beyond U+10FFFF
    }
    return length;
}

// Where to cut a full line so that no UTF-8 sequence is split: the start of a
// sequence left incomplete at the end, or the end itself.
size_t SafeCut(std::string_view bytes)
{
    const size_t size = bytes.size();
    for (size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto c = static_cast<unsigned char>(bytes[size - back]);
        if (IsContinuation(c)) continue;
        const size_t length = SequenceLength(c);
        if (length > back && size - back > 0) return size - back;
        break;
    }
    return size;
}

// Sets PATH for the program search from a "PATH=" entry of the program's
// environment, and puts the old value back when it goes out of scope.
class TPathOverride {
public:
    explicit TPathOverride(const std::vector<std::string>& environment)
    {
        for (const std::string& entry : environment) {
            if (entry.size() < 5 || !SameText(std::string_view(entry).substr(0, 5), "PATH=")) continue;
            if (const char* old = std::getenv("PATH")) FOld = old;
            FActive = true;
            ::setenv("PATH", entry.c_str() + 5, 1);
            break;
        }
    }
    ~TPathOverride() { Restore(); }
    void Restore()
    {
        if (!FActive) return;
        FActive = false;
        if (FOld) ::setenv("PATH", FOld->c_str(), 1);
        else ::unsetenv("PATH");
    }

private:
    bool FActive = false;
    std::optional<std::string> FOld;
};

class TSpawnSetup {
public:
    TSpawnSetup()
    {
        posix_spawn_file_actions_init(&Actions);
        posix_spawnattr_init(&Attributes);
    }
    ~TSpawnSetup()
    {
        posix_spawn_file_actions_destroy(&Actions);
        posix_spawnattr_destroy(&Attributes);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;

    posix_spawn_file_actions_t Actions;
    posix_spawnattr_t Attributes;
};

void CheckSpawnSetup(int status, const char* what)
{
    if (status != 0) throw std::runtime_error(std::string("Cannot prepare the program start (") + what + "): " +
                                              std::strerror(status));
}

// Programs started without waiting are reaped later, when they have ended.
std::vector<pid_t>& DetachedPrograms()
{
    static std::vector<pid_t> programs;
    return programs;
}

void ReapDetachedPrograms()
{
    std::erase_if(DetachedPrograms(), [](pid_t pid) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        return result == pid || (result < 0 && errno == ECHILD);
    });
}

int OpenExitDescriptor(pid_t pid)
{
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        return static_cast<int>(fd);
    }
#endif
    return -1;
}

} // namespace

// --- Output lines ------------------------------------------------------------------------

std::string DecodeConsoleText(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = ValidSequence(bytes, i);
        if (length > 0) {
            text.append(bytes.substr(i, length));
            i += length;
        } else {
            const auto code = static_cast<unsigned char>(bytes[i++]);
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return text;
}

void TConsoleOutputSplitter::Reset()
{
    FPending.clear();
    FHeld.clear();
    FHasHeld = false;
    FNewLineMark = true;
    FLastWasCR = false;
}

void TConsoleOutputSplitter::Feed(std::string_view bytes)
{
    for (char c : bytes) {
        if (c == '\n') {
            if (!FLastWasCR) EmitPending(false);
            FNewLineMark = true;
            FLastWasCR = false;
        } else if (c == '\r') {
            EmitPending(false);
            FLastWasCR = true;
        } else {
            FPending += c;
            FLastWasCR = false;
            if (FPending.size() >= kMaxLineBytes) EmitPending(true);
        }
    }
}

void TConsoleOutputSplitter::Finish() { EmitPending(false); }

void TConsoleOutputSplitter::EmitPending(bool overflow)
{
    std::string bytes;
    if (overflow) {
        const size_t cut = SafeCut(FPending);
        bytes = FPending.substr(0, cut);
        FPending.erase(0, cut);
    } else {
        bytes.swap(FPending);
    }
    std::string line = DecodeConsoleText(bytes);
    if (line.starts_with("File:") || line.ends_with("file Not found")) {
        FHeld = std::move(line);
        FHasHeld = true;
        return;
    }
    if (FHasHeld) {
        line = FHeld + ": " + TrimText(line);
        FHeld.clear();
        FHasHeld = false;
    }
    const bool newLine = FNewLineMark;
    // The rest of an over-long line continues the same console line.
    if (!overflow) FNewLineMark = false;
    FEmit(line, newLine);
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = commandLine.size();
    while (i < n) {
        while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
        if (i >= n) break;
        const bool program = args.empty();
        std::string arg;
        bool quoted = false;
        while (i < n) {
            const char c = commandLine[i];
            if (!quoted && (c == ' ' || c == '\t')) break;
            if (c == '\\' && !program) {
                size_t count = 0;
                while (i + count < n && commandLine[i + count] == '\\') ++count;
                if (i + count < n && commandLine[i + count] == '"') {
                    arg.append(count / 2, '\\');
                    i += count;
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(count, '\\');
                    i += count;
                }
                continue;
            }
            if (c == '"') {
                if (quoted && !program && i + 1 < n && commandLine[i + 1] == '"') {
                    arg += '"'; // "" inside quotes is one double quote
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

// --- Runner -----------------------------------------------------------------------------

TConsoleAppWrapper::TConsoleAppWrapper(std::string applicationName, std::string parameters,
                                       std::vector<std::string> environment, std::string workDir,
                                       TOutputLineEvent onNewLine, TOutputLineEvent onUpdateLine, bool redirect,
                                       bool useProcessMessages)
    : FApplicationName(std::move(applicationName)), FParameters(std::move(parameters)),
      FEnvironment(std::move(environment)), FWorkDir(std::move(workDir)), FOnNewLine(std::move(onNewLine)),
      FOnUpdateLine(std::move(onUpdateLine)), FRedirect(redirect), FHide(redirect),
      FUseProcessMsgs(useProcessMessages), FWaitUntilFinish(redirect),
      FSplitter([this](const std::string& line, bool newLine) {
          if (FResetTimeoutOnOutput) FTimeoutStart = std::chrono::steady_clock::now();
          if (newLine) {
              if (FOnNewLine) FOnNewLine(line);
          } else if (FOnUpdateLine) {
              FOnUpdateLine(line);
          }
          ProcessMessages();
      })
{
}

TConsoleAppWrapper::~TConsoleAppWrapper()
{
    Abort();
    if (!FReaped && FProcessID > 0) {
        KillGroup(SIGKILL);
        ::waitpid(FProcessID, &FStatus, 0);
        FReaped = true;
    }
    CloseHandles();
}

void TConsoleAppWrapper::CloseHandles()
{
    if (FReadFd >= 0) ::close(FReadFd);
    if (FExitFd >= 0) ::close(FExitFd);
    FReadFd = FExitFd = -1;
}

void TConsoleAppWrapper::ProcessMessages()
{
    if (FUseProcessMsgs) ProcessHostMessages();
    else sched_yield();
}

// Called only while the program runs or before it is reaped, so the group id
// is still the program's (a group id is not reused while the group has members).
void TConsoleAppWrapper::KillGroup(int signal)
{
    if (FProcessID <= 0) return;
    // The program leads its own group; signalling the group reaches what it started.
    if (::kill(-FProcessID, signal) != 0 && !FReaped) ::kill(FProcessID, signal);
}

void TConsoleAppWrapper::Abort()
{
    if (!FExecuting) return;
    KillGroup(SIGKILL);
    FAborted = true;
    FExecuting = false;
}

void TConsoleAppWrapper::Terminate(int32_t timeoutMs)
{
    if (!FExecuting) return;
    KillGroup(SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    while (!PollExit() && std::chrono::steady_clock::now() < deadline) ::usleep(10000);
    if (!FReaped) Abort();
}

bool TConsoleAppWrapper::PollExit()
{
    if (FReaped) return true;
    int status = 0;
    const pid_t result = ::waitpid(FProcessID, &status, WNOHANG);
    if (result == FProcessID) {
        FStatus = status;
        FReaped = true;
    } else if (result < 0 && errno == ECHILD) {
        FStatus = 0; // reaped elsewhere: nothing more to learn
        FReaped = true;
    }
    return FReaped;
}

bool TConsoleAppWrapper::WaitForEndOrOutput(std::chrono::milliseconds timeout)
{
    if (PollExit()) return true;
    pollfd fds[2];
    nfds_t count = 0;
    if (FReadFd >= 0) fds[count++] = {FReadFd, POLLIN, 0};
    if (FExitFd >= 0) fds[count++] = {FExitFd, POLLIN, 0};
    if (count > 0) {
        if (::poll(fds, count, static_cast<int>(timeout.count())) < 0 && errno != EINTR)
            throw std::runtime_error(std::string("Waiting for the program failed: ") + std::strerror(errno));
    } else {
        ::usleep(static_cast<useconds_t>(timeout.count()) * 1000);
    }
    return PollExit();
}

void TConsoleAppWrapper::Drain(size_t limit)
{
    char block[kReadBlock];
    size_t total = 0;
    while (FReadFd >= 0 && (limit == 0 || total < limit)) {
        const ssize_t got = ::read(FReadFd, block, sizeof block);
        if (got > 0) {
            total += static_cast<size_t>(got);
            FSplitter.Feed(std::string_view(block, static_cast<size_t>(got)));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        // End of the output (every writer has closed the pipe) or a read error.
        ::close(FReadFd);
        FReadFd = -1;
    }
}

uint32_t TConsoleAppWrapper::Execute(int32_t timeoutSeconds, bool resetTimeoutOnOutput, int stdOutput)
{
    if (FExecuting) return 0;
    ReapDetachedPrograms();

    std::string application = FApplicationName;
    if (application.find(' ') != std::string::npos) {
        if (application.front() != '"') application.insert(0, 1, '"');
        if (application.size() < 2 || application.back() != '"') application += '"';
    }
    std::vector<std::string> args = SplitCommandLine(application + " " + FParameters);
    if (args.empty() || args[0].empty()) throw std::runtime_error("No program to run");
    std::error_code ec;
    if (!FWorkDir.empty() && !fs::is_directory(FWorkDir, ec))
        throw std::runtime_error("Cannot run \"" + args[0] + "\": the working folder \"" + FWorkDir +
                                 "\" does not exist");

    int pipeFds[2] = {-1, -1};
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("Cannot create a pipe for the program output: ") + std::strerror(errno));
    int readFd = pipeFds[0], writeFd = pipeFds[1];

    pid_t pid = 0;
    int spawnStatus = 0;
    try {
        TSpawnSetup setup;
        CheckSpawnSetup(posix_spawn_file_actions_addopen(&setup.Actions, 0, "/dev/null", O_RDONLY, 0), "input");
        if (FRedirect) {
            CheckSpawnSetup(posix_spawn_file_actions_adddup2(&setup.Actions, stdOutput >= 0 ? stdOutput : writeFd, 1),
                            "output");
            CheckSpawnSetup(posix_spawn_file_actions_adddup2(&setup.Actions, writeFd, 2), "error output");
        }
        if (!FWorkDir.empty())
            CheckSpawnSetup(posix_spawn_file_actions_addchdir_np(&setup.Actions, FWorkDir.c_str()), "working folder");
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        const short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        CheckSpawnSetup(posix_spawnattr_setflags(&setup.Attributes, flags), "attributes");
        CheckSpawnSetup(posix_spawnattr_setpgroup(&setup.Attributes, 0), "process group");
        CheckSpawnSetup(posix_spawnattr_setsigmask(&setup.Attributes, &none), "signal mask");
        CheckSpawnSetup(posix_spawnattr_setsigdefault(&setup.Attributes, &all), "signals");

        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : FEnvironment) envp.push_back(entry.data());
        envp.push_back(nullptr);

        // The program is looked up with the PATH its environment gives.
        TPathOverride path(FEnvironment);
        spawnStatus = posix_spawnp(&pid, argv[0], &setup.Actions, &setup.Attributes, argv.data(),
                                   FEnvironment.empty() ? environ : envp.data());
    } catch (...) {
        ::close(readFd);
        ::close(writeFd);
        throw;
    }
    ::close(writeFd);
    if (spawnStatus != 0) {
        ::close(readFd);
        throw std::runtime_error("Cannot run \"" + args[0] + "\": " + std::strerror(spawnStatus));
    }

    FProcessID = pid;
    FReaped = false;
    FAborted = false;
    FStatus = 0;
    FTerminatingSignal = 0;
    FExecuting = true;
    if (!FWaitUntilFinish) {
        ::close(readFd);
        DetachedPrograms().push_back(pid);
        FReaped = true; // reaped later
        FExecuting = false;
        return 0;
    }

    FReadFd = readFd;
    ::fcntl(FReadFd, F_SETFL, ::fcntl(FReadFd, F_GETFL) | O_NONBLOCK);
    FExitFd = OpenExitDescriptor(pid);
    FSplitter.Reset();
    FResetTimeoutOnOutput = resetTimeoutOnOutput;
    FTimeoutStart = std::chrono::steady_clock::now();
    const auto timeout = std::chrono::seconds(std::max<int64_t>(timeoutSeconds, 0));

    uint32_t exitCode = 0;
    try {
        bool timedOut = false;
        while (!WaitForEndOrOutput(kWaitStep)) {
            ProcessMessages();
            Drain(kDrainSlice);
            if (std::chrono::steady_clock::now() - FTimeoutStart > timeout) {
                timedOut = true;
                break;
            }
        }
        if (timedOut) {
            KillGroup(SIGKILL);
            FAborted = true;
        }
        Drain(0);
        FSplitter.Finish();
        if (!FReaped) {
            ::waitpid(FProcessID, &FStatus, 0);
            FReaped = true;
        }
        if (FAborted) {
            exitCode = kAbortedExitCode;
        } else if (WIFEXITED(FStatus)) {
            exitCode = static_cast<uint32_t>(WEXITSTATUS(FStatus));
        } else if (WIFSIGNALED(FStatus)) {
            FTerminatingSignal = WTERMSIG(FStatus);
            exitCode = 128u + static_cast<uint32_t>(FTerminatingSignal);
        }
    } catch (...) {
        // A line handler or the host failed: the program does not outlive the run.
        KillGroup(SIGKILL);
        if (!FReaped) ::waitpid(FProcessID, &FStatus, 0);
        FReaped = true;
        FExecuting = false;
        CloseHandles();
        throw;
    }
    FExecuting = false;
    CloseHandles();
    return exitCode;
}

} // namespace tavrel
