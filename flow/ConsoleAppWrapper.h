// Running one console program with its output captured line by line while the
// host stays responsive.
//
// The program is started with posix_spawn in a process group of its own (the
// group stands in for a job object: Abort ends the program and everything it
// started). Standard output and error go to one pipe, standard input is
// /dev/null. While the program runs, Execute waits at most 100 ms at a time
// for it to end or to write, turns the host's message loop, and reads the pipe
// in blocks of at most 513 bytes. Output becomes lines:
//
//   CR                  ends a line;
//   LF                  ends a line unless it follows a CR, and marks that the
//                       next line starts a new console line;
//   513 bytes           without a line end are handed on at once (the rest
//                       continues as another line);
//   "File: ..." or "... file Not found"
//                       is held and joined with the next line as
//                       held + ": " + next line without surrounding blanks.
//
// A line that starts a new console line goes to the new-line handler; a segment
// ended by a lone CR (a progress line rewriting itself) to the update handler.
// Bytes are read as UTF-8; a byte that is not part of a valid sequence is
// taken as the character with the same code.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

using TOutputLineEvent = std::function<void(const std::string& line)>;

// Splits console output into lines by the rules above.
class TConsoleOutputSplitter {
public:
    // newLine: the line starts a new console line.
    using TEmit = std::function<void(const std::string& line, bool newLine)>;

    static constexpr size_t kMaxLineBytes = 513;

    explicit TConsoleOutputSplitter(TEmit emit) : FEmit(std::move(emit)) {}
    void Feed(std::string_view bytes);
    // Hands on the pending line, even when it is empty.
    void Finish();
    void Reset();

private:
    void EmitPending(bool overflow);

    TEmit FEmit;
    std::string FPending;
    std::string FHeld;
    bool FHasHeld = false;
    bool FNewLineMark = true;
    bool FLastWasCR = false;
};

// Console bytes as UTF-8 text (invalid bytes taken as Latin-1 characters).
std::string DecodeConsoleText(std::string_view bytes);

// A command line split into arguments by the rules its Windows form follows:
// blanks separate, double quotes group, and in arguments after the first,
// backslashes escape a double quote.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

class TConsoleAppWrapper {
public:
    // The exit code reported for a program that was stopped (aborted or timed out).
    static constexpr uint32_t kAbortedExitCode = 0xC000013Au;

    // applicationName: the program (a name found through PATH, or a path);
    // environment: "NAME=value" entries for the program (empty: inherit);
    // workDir: its working folder (empty: inherit); redirect: capture the
    // output (and wait for the end); useProcessMessages: turn the host's
    // message loop while waiting (else only give up the time slice).
    TConsoleAppWrapper(std::string applicationName, std::string parameters, std::vector<std::string> environment,
                       std::string workDir, TOutputLineEvent onNewLine, TOutputLineEvent onUpdateLine, bool redirect,
                       bool useProcessMessages);
    ~TConsoleAppWrapper();
    TConsoleAppWrapper(const TConsoleAppWrapper&) = delete;
    TConsoleAppWrapper& operator=(const TConsoleAppWrapper&) = delete;

    // Runs the program and returns its exit code (0 when not waiting; 128 plus
    // the signal number for a program ended by a signal; kAbortedExitCode when
    // stopped). Does nothing and returns 0 while a program runs. A timeout
    // ends the program; with resetTimeoutOnOutput every output restarts it.
    // stdOutput: a file descriptor for standard output instead of the pipe (-1: none).
    // A program that cannot be started raises an error naming it.
    uint32_t Execute(int32_t timeoutSeconds, bool resetTimeoutOnOutput, int stdOutput = -1);
    // Ends the running program and its process group at once.
    void Abort();
    // Asks the program's group to end (SIGTERM), waits up to timeoutMs, then aborts.
    void Terminate(int32_t timeoutMs);

    bool Executing() const { return FExecuting; }
    pid_t ProcessID() const { return FProcessID; }
    // The signal that ended the last program, 0 when it exited by itself or was stopped.
    int TerminatingSignal() const { return FTerminatingSignal; }
    bool Aborted() const { return FAborted; }

private:
    // Waits up to `timeout` for the program to end or write; true when it ended.
    bool WaitForEndOrOutput(std::chrono::milliseconds timeout);
    // Reaps the program when it has ended; true when it has.
    bool PollExit();
    // Reads what the pipe holds (at most `limit` bytes; 0: until it is empty).
    void Drain(size_t limit);
    void ProcessMessages();
    void KillGroup(int signal);
    void CloseHandles();

    std::string FApplicationName;
    std::string FParameters;
    std::vector<std::string> FEnvironment;
    std::string FWorkDir;
    TOutputLineEvent FOnNewLine;
    TOutputLineEvent FOnUpdateLine;
    bool FRedirect;
    bool FHide;
    bool FUseProcessMsgs;
    bool FWaitUntilFinish;

    pid_t FProcessID = 0;
    bool FExecuting = false;
    bool FReaped = true;
    bool FAborted = false;
    int FStatus = 0;
    int FTerminatingSignal = 0;
    int FReadFd = -1;
    int FExitFd = -1; // a descriptor that becomes readable when the program ends (when the system offers one)
    bool FResetTimeoutOnOutput = false;
    std::chrono::steady_clock::time_point FTimeoutStart;
    TConsoleOutputSplitter FSplitter;
};

} // namespace tavrel
