// arria5: a command-line host for the Arria V driver plug-in. It is a host
// program built on the host stand-in: it loads the plug-in only through its two
// exports and talks to drivers by dispatch calls.
#include "tools/arria5/CliContext.h"

#include <cstdlib>
#include <iostream>

namespace arria5cli {

hostsim::THost& TCliContext::Host()
{
    if (!FHost) {
        hostsim::THost::TOptions options;
        if (!BenchFile.empty()) options.Bench = hostsim::TBenchConfig::Load(BenchFile);
        if (!RemoteBitbang.empty()) options.Bench.RemoteBitbang = RemoteBitbang;
        options.PluginPath = PluginPath.empty() && std::getenv("ARRIA5_PLUGIN") ? hostsim::TPluginLibrary::DefaultPath()
                                                                                 : PluginPath;
        FHost = std::make_unique<hostsim::THost>(std::move(options));
    }
    return *FHost;
}

} // namespace arria5cli

int main(int argc, char** argv)
{
    using namespace arria5cli;
    CLI::App app{"arria5: describe and drive Altera Arria V devices through the arria5drv plug-in.\n"
                 "Runs on a simulated JTAG bench by default (two Arria V devices around a bypass device);\n"
                 "--bench picks another bench description, --rbb a remote_bitbang server."};
    app.require_subcommand(1);
    TCliContext context;
    app.add_option("--plugin", context.PluginPath, "Path of libarria5drv.so (default: the staged plug-in, or $ARRIA5_PLUGIN)");
    app.add_option("--bench", context.BenchFile, "Bench description (JSON: chain, design, tool paths, family parameters)");
    app.add_option("--rbb", context.RemoteBitbang,
                   "Drive the chain of a remote_bitbang server at HOST:PORT instead of the simulator");
    RegisterDescribeCommands(app, context);
    RegisterChainCommands(app, context);
    RegisterBsdlCommands(app, context);
    RegisterDeviceCommands(app, context);
    RegisterBuildCommands(app, context);
    RegisterDemoCommand(app, context);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version exit 0; every usage error exits 2 after CLI11's message.
        const int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    } catch (const TUsageError& e) {
        std::cerr << "arria5: " << e.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "arria5: " << e.what() << '\n';
        return kExitFailure;
    }
    return context.ExitCode;
}
