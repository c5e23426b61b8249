// What every arria5 command shares: the global options and the host they run
// on, built on first use from those options.
#pragma once

#include "hostsim/host/Host.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <stdexcept>
#include <string>

namespace arria5cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A mistake in what the user asked for: exits with kExitUsage.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TCliContext {
public:
    std::string PluginPath;
    std::string BenchFile;
    std::string RemoteBitbang;
    // The exit code the command that ran chose.
    int ExitCode = 0;

    // The host, built on first use (the bench, the chain, the plug-in).
    hostsim::THost& Host();
    const hostsim::TPluginLibrary& Plugin() { return *Host().Plugin(); }

private:
    std::unique_ptr<hostsim::THost> FHost;
};

// A device kind given as an index or a full part name in any letter case;
// throws TUsageError naming the text when there is no such kind.
int32_t ResolveKind(const hostsim::TPluginLibrary& plugin, const std::string& text);
bool SameTextAscii(std::string_view a, std::string_view b);

// Each group of commands adds its subcommands; their callbacks set ExitCode.
void RegisterDescribeCommands(CLI::App& app, TCliContext& context);
void RegisterChainCommands(CLI::App& app, TCliContext& context);
void RegisterBsdlCommands(CLI::App& app, TCliContext& context);
void RegisterDeviceCommands(CLI::App& app, TCliContext& context);
void RegisterBuildCommands(CLI::App& app, TCliContext& context);
void RegisterDemoCommand(CLI::App& app, TCliContext& context);

} // namespace arria5cli
