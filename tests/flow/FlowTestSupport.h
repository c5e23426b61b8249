// Shared pieces of the flow tests: a scratch folder with executable scripts,
// and checks on processes and descriptors.
#pragma once

#include "hostsim/host/Host.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace flowtest {

namespace fs = std::filesystem;

// The staged host the tests run on (no plug-in loaded unless asked).
inline hostsim::THost::TOptions StagedHost(const std::string& projectPath = {},
                                           std::vector<std::string> documents = {})
{
    hostsim::THost::TOptions options;
    options.ApplicationFolder = ARRIA5_STAGE_DIR;
    options.ManualTime = true;
    options.PluginPath = std::string("-");
    if (!projectPath.empty()) options.Bench.Projects.push_back({projectPath, std::move(documents)});
    return options;
}

// Runs a test on a host: what the flow reaches of the host is there.
class OnHost : public ::testing::Test {
protected:
    hostsim::THost Host{StagedHost()};
};

class TTempFolder {
public:
    TTempFolder()
    {
        static int counter = 0;
        FPath = fs::temp_directory_path() / ("flow-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(FPath);
    }
    ~TTempFolder()
    {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    fs::path Path() const { return FPath; }
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const
    {
        const fs::path file = FPath / name;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }
    // An executable shell script.
    std::string Script(const std::string& name, const std::string& body) const
    {
        const std::string file = Write(name, "#!/bin/sh\n" + body);
        ::chmod(file.c_str(), 0755);
        return file;
    }

private:
    fs::path FPath;
};

inline size_t OpenDescriptorCount()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

inline std::vector<pid_t> ReadPids(const std::string& file)
{
    std::vector<pid_t> pids;
    std::ifstream in(file);
    for (long pid = 0; in >> pid;) pids.push_back(static_cast<pid_t>(pid));
    return pids;
}

// Gone, or a zombie nobody has collected yet: either way it no longer runs.
inline bool ProcessEnded(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string text;
    std::getline(stat, text);
    const size_t close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size()) return true;
    const char state = text[close + 2];
    return state == 'Z' || state == 'X';
}

// A bounded wait for a process that was just killed.
inline bool ProcessEndsWithin(pid_t pid, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ProcessEnded(pid)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace flowtest
