// The project files the Quartus tools read: the Tcl-syntax command lists of
// settings (.qsf) and timing constraint (.sdc) files, the project file (.qpf),
// and the assignments of a revision.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hostsim::quartus {

// One command of a Tcl-syntax file: its words after quote, brace and
// backslash processing, and the line it starts on.
struct TTclCommand {
    int Line = 0;
    std::vector<std::string> Words;
};

// Splits a file's text into commands; a fault raises TToolError naming the
// file and line. With nestBrackets, a [...] group stays one piece of a word
// (timing constraints use command substitution); otherwise square brackets are
// plain characters, as in settings files (led[0]).
std::vector<TTclCommand> SplitTclCommands(std::string_view text, const std::string& fileName, bool nestBrackets);

struct TAssignment {
    enum class TKind { Global, Instance, Location, Parameter };
    TKind Kind = TKind::Global;
    std::string Name; // upper case; "LOCATION" for location assignments
    std::string Value;
    std::string To, From, SectionId, Entity;
    std::string File;
    int Line = 0;

    // "blinky.qsf line 12", for messages.
    std::string Where() const;
};

class TSettings {
public:
    // A missing file gives empty settings; a faulty one raises TToolError
    // naming the file and line.
    static TSettings Read(const std::string& path);

    std::string File;
    std::vector<TAssignment> Assignments;

    // The last global assignment of the name outside any section; null if none.
    const TAssignment* Global(std::string_view name) const;
    std::string GlobalValue(std::string_view name, const std::string& fallback = {}) const;
    // Every global assignment of the name (file lists), in file order.
    std::vector<const TAssignment*> GlobalList(std::string_view name) const;
    std::vector<const TAssignment*> Instances(std::string_view name) const;
    std::vector<const TAssignment*> Locations() const;
    // A command-line "--set=NAME=VALUE": replaces the global value for this run.
    void Override(const std::string& name, const std::string& value);
};

// An opened project: its name, the revision in use and that revision's settings.
struct TProject {
    std::string Name;     // without folder and extension
    std::string Revision;
    TSettings Settings;

    // Opens <name>.qpf in the current folder (the tool has changed into the
    // project's folder). revision: a -c choice, empty for the project's own.
    static TProject Open(const std::string& name, const std::string& revision);
};

} // namespace hostsim::quartus
