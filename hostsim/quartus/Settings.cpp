#include "hostsim/quartus/Settings.h"

#include "hostsim/quartus/Common.h"

#include <cctype>
#include <regex>

namespace hostsim::quartus {

namespace {

class TTclSplitter {
public:
    TTclSplitter(std::string_view text, const std::string& fileName, bool nestBrackets)
        : FText(text), FFile(fileName), FNest(nestBrackets)
    {
    }

    std::vector<TTclCommand> Run()
    {
        std::vector<TTclCommand> commands;
        while (FPos < FText.size()) {
            SkipCommandSeparators();
            if (FPos >= FText.size()) break;
            if (FText[FPos] == '#') {
                SkipComment();
                continue;
            }
            TTclCommand command;
            command.Line = FLine;
            while (FPos < FText.size()) {
                SkipBlanks();
                if (FPos >= FText.size() || FText[FPos] == '\n' || FText[FPos] == ';') break;
                command.Words.push_back(ReadWord());
            }
            if (!command.Words.empty()) commands.push_back(std::move(command));
        }
        return commands;
    }

private:
    [[noreturn]] void Fail(int line, const std::string& message) const
    {
        throw TToolError(FFile + " line " + std::to_string(line) + ": " + message);
    }

    void Advance()
    {
        if (FText[FPos] == '\n') ++FLine;
        ++FPos;
    }

    void SkipCommandSeparators()
    {
        while (FPos < FText.size() &&
               (FText[FPos] == '\n' || FText[FPos] == ';' || FText[FPos] == ' ' || FText[FPos] == '\t' ||
                FText[FPos] == '\r'))
            Advance();
    }

    void SkipBlanks()
    {
        while (FPos < FText.size()) {
            const char c = FText[FPos];
            if (c == ' ' || c == '\t' || c == '\r') {
                Advance();
            } else if (c == '\\' && FPos + 1 < FText.size() && FText[FPos + 1] == '\n') {
                Advance();
                Advance();
            } else {
                break;
            }
        }
    }

    void SkipComment()
    {
        while (FPos < FText.size() && FText[FPos] != '\n') {
            if (FText[FPos] == '\\' && FPos + 1 < FText.size()) Advance();
            Advance();
        }
    }

    // A backslash sequence; FPos is on the backslash.
    std::string Escape()
    {
        Advance();
        if (FPos >= FText.size()) return "\\";
        const char c = FText[FPos];
        Advance();
        switch (c) {
        case 'n': return "\n";
        case 't': return "\t";
        case 'r': return "\r";
        case '\n': return " ";
        default: return std::string(1, c);
        }
    }

    void CheckWordEnd(int line, const char* what)
    {
        if (FPos < FText.size() && FText[FPos] != ' ' && FText[FPos] != '\t' && FText[FPos] != '\n' &&
            FText[FPos] != '\r' && FText[FPos] != ';')
            Fail(line, std::string("extra characters after ") + what);
    }

    // A [...] group, kept with its brackets; FPos is on the "[".
    std::string Bracketed()
    {
        const int line = FLine;
        std::string result;
        int depth = 0;
        while (FPos < FText.size()) {
            const char c = FText[FPos];
            if (c == '\\' && FPos + 1 < FText.size()) {
                result += c;
                Advance();
                result += FText[FPos];
                Advance();
                continue;
            }
            result += c;
            Advance();
            if (c == '[') ++depth;
            else if (c == ']' && --depth == 0) return result;
        }
        Fail(line, "missing close-bracket");
    }

    std::string ReadWord()
    {
        const int line = FLine;
        const char first = FText[FPos];
        std::string word;
        if (first == '{') {
            int depth = 0;
            while (FPos < FText.size()) {
                const char c = FText[FPos];
                if (c == '\\' && FPos + 1 < FText.size()) {
                    if (FText[FPos + 1] == '\n') {
                        Advance();
                        Advance();
                        word += ' ';
                        continue;
                    }
                    word += c;
                    Advance();
                    word += FText[FPos];
                    Advance();
                    continue;
                }
                Advance();
                if (c == '{' && depth++ == 0) continue;
                if (c == '}' && --depth == 0) {
                    CheckWordEnd(line, "close-brace");
                    return word;
                }
                word += c;
            }
            Fail(line, "missing close-brace");
        }
        if (first == '"') {
            Advance();
            while (FPos < FText.size()) {
                const char c = FText[FPos];
                if (c == '"') {
                    Advance();
                    CheckWordEnd(line, "close-quote");
                    return word;
                }
                if (c == '\\') word += Escape();
                else if (c == '[' && FNest) word += Bracketed();
                else {
                    word += c;
                    Advance();
                }
            }
            Fail(line, "missing close-quote");
        }
        while (FPos < FText.size()) {
            const char c = FText[FPos];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ';') break;
            if (c == '\\') {
                if (FPos + 1 < FText.size() && FText[FPos + 1] == '\n') break;
                word += Escape();
            } else if (c == '[' && FNest) {
                word += Bracketed();
            } else {
                word += c;
                Advance();
            }
        }
        return word;
    }

    std::string_view FText;
    const std::string& FFile;
    bool FNest;
    size_t FPos = 0;
    int FLine = 1;
};

TAssignment ParseAssignment(const TTclCommand& command, const std::string& file, bool& remove)
{
    TAssignment assignment;
    assignment.File = file;
    assignment.Line = command.Line;
    const std::string& verb = command.Words[0];
    if (verb == "set_global_assignment") assignment.Kind = TAssignment::TKind::Global;
    else if (verb == "set_instance_assignment") assignment.Kind = TAssignment::TKind::Instance;
    else if (verb == "set_location_assignment") assignment.Kind = TAssignment::TKind::Location, assignment.Name = "LOCATION";
    else assignment.Kind = TAssignment::TKind::Parameter;
    std::vector<std::string> values;
    remove = false;
    for (size_t i = 1; i < command.Words.size(); ++i) {
        const std::string& word = command.Words[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= command.Words.size())
                throw TToolError(assignment.Where() + ": option " + word + " of " + verb + " needs a value");
            return command.Words[++i];
        };
        if (word == "-name") assignment.Name = Upper(value());
        else if (word == "-to") assignment.To = value();
        else if (word == "-from") assignment.From = value();
        else if (word == "-section_id") assignment.SectionId = value();
        else if (word == "-entity") assignment.Entity = value();
        else if (word == "-tag" || word == "-comment") value();
        else if (word == "-remove") remove = true;
        else if (word == "-rise" || word == "-fall" || word == "-disable") continue;
        else if (word.size() > 1 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1])))
            throw TToolError(assignment.Where() + ": unknown option " + word + " of " + verb);
        else values.push_back(word);
    }
    if (assignment.Name.empty()) throw TToolError(assignment.Where() + ": " + verb + " without -name");
    if (values.size() > 1)
        throw TToolError(assignment.Where() + ": " + verb + " -name " + assignment.Name +
                         " has more than one value; put a value with blanks in quotes");
    if (values.empty() && !remove) throw TToolError(assignment.Where() + ": " + verb + " -name " + assignment.Name + " has no value");
    if (!values.empty()) assignment.Value = values[0];
    return assignment;
}

} // namespace

std::vector<TTclCommand> SplitTclCommands(std::string_view text, const std::string& fileName, bool nestBrackets)
{
    return TTclSplitter(text, fileName, nestBrackets).Run();
}

std::string TAssignment::Where() const { return File + " line " + std::to_string(Line); }

TSettings TSettings::Read(const std::string& path)
{
    TSettings settings;
    settings.File = path;
    if (!FileExists(path)) return settings;
    for (const TTclCommand& command : SplitTclCommands(ReadTextFile(path), path, false)) {
        const std::string& verb = command.Words[0];
        if (verb == "set_io_assignment" || verb == "set_user_option") continue;
        if (verb != "set_global_assignment" && verb != "set_instance_assignment" &&
            verb != "set_location_assignment" && verb != "set_parameter")
            throw TToolError(path + " line " + std::to_string(command.Line) + ": \"" + verb +
                             "\" is not a settings command");
        bool remove = false;
        TAssignment assignment = ParseAssignment(command, path, remove);
        if (remove) {
            std::erase_if(settings.Assignments, [&](const TAssignment& existing) {
                return existing.Kind == assignment.Kind && SameText(existing.Name, assignment.Name) &&
                       existing.To == assignment.To && existing.SectionId == assignment.SectionId &&
                       (assignment.Value.empty() || existing.Value == assignment.Value);
            });
            continue;
        }
        settings.Assignments.push_back(std::move(assignment));
    }
    return settings;
}

const TAssignment* TSettings::Global(std::string_view name) const
{
    const TAssignment* found = nullptr;
    for (const TAssignment& assignment : Assignments)
        if (assignment.Kind == TAssignment::TKind::Global && assignment.SectionId.empty() &&
            SameText(assignment.Name, name))
            found = &assignment;
    return found;
}

std::string TSettings::GlobalValue(std::string_view name, const std::string& fallback) const
{
    const TAssignment* found = Global(name);
    return found ? found->Value : fallback;
}

std::vector<const TAssignment*> TSettings::GlobalList(std::string_view name) const
{
    std::vector<const TAssignment*> found;
    for (const TAssignment& assignment : Assignments)
        if (assignment.Kind == TAssignment::TKind::Global && SameText(assignment.Name, name)) found.push_back(&assignment);
    return found;
}

std::vector<const TAssignment*> TSettings::Instances(std::string_view name) const
{
    std::vector<const TAssignment*> found;
    for (const TAssignment& assignment : Assignments)
        if (assignment.Kind == TAssignment::TKind::Instance && SameText(assignment.Name, name)) found.push_back(&assignment);
    return found;
}

std::vector<const TAssignment*> TSettings::Locations() const
{
    std::vector<const TAssignment*> found;
    for (const TAssignment& assignment : Assignments)
        if (assignment.Kind == TAssignment::TKind::Location) found.push_back(&assignment);
    return found;
}

void TSettings::Override(const std::string& name, const std::string& value)
{
    TAssignment assignment;
    assignment.Name = Upper(name);
    assignment.Value = value;
    assignment.File = "command line";
    Assignments.push_back(std::move(assignment));
}

TProject TProject::Open(const std::string& name, const std::string& revision)
{
    TProject project;
    project.Name = name;
    const std::string projectFile = name + ".qpf";
    if (!FileExists(projectFile))
        throw TToolError("Can't open project " + name + ": the project file " + projectFile + " does not exist");
    project.Revision = revision;
    if (project.Revision.empty()) {
        static const std::regex revisionLine(R"(^\s*PROJECT_REVISION\s*=\s*"([^"]*)\")");
        const std::string text = ReadTextFile(projectFile);
        size_t start = 0;
        while (start < text.size() && project.Revision.empty()) {
            const size_t end = std::min(text.find('\n', start), text.size());
            std::smatch match;
            const std::string line = text.substr(start, end - start);
            if (std::regex_search(line, match, revisionLine)) project.Revision = match[1];
            start = end + 1;
        }
        if (project.Revision.empty()) project.Revision = name;
    }
    const std::string settingsFile = project.Revision + ".qsf";
    if (!FileExists(settingsFile))
        throw TToolError("Can't open revision " + project.Revision + " of project " + name + ": the settings file " +
                         settingsFile + " does not exist");
    project.Settings = TSettings::Read(settingsFile);
    return project;
}

} // namespace hostsim::quartus
