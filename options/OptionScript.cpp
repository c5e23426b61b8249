// The two texts a tool step gives its tool: the command file (isCmd) built from
// the options' command items, and the command line built from their script
// items, each between the set's head and tail, with "$Flag.Value" and
// "$Flag.4Value" macros resolved and comments and empty lines removed.
#include "options/FPGAOptions.h"

#include <set>
#include <unordered_map>

namespace tavrel {

namespace {

// At most this many macro passes: a macro whose value names itself stops here.
constexpr int kMaxMacroPasses = 16;

} // namespace

std::string TFPGAOption_Abstract::GetValueFor(bool isCmd) const
{
    const std::string value = GetValue();
    if (value.empty()) return {};
    const bool specified = IsSpecified();
    if (isCmd || !Scripts.empty() || !Commands.empty()) {
        const std::vector<TFPGAScript>& items = isCmd ? Commands : Scripts;
        std::string result;
        for (const TFPGAScript& item : items) {
            if (specified) {
                if (SameText(item.Id, value) || (!item.Default && item.Id.empty())) result += item.Value;
                else if (result.empty() && item.Default && item.Id.empty()) result = item.Value;
            } else if (item.Default) {
                result = item.Value;
            }
        }
        return result;
    }
    // An option without items gives a flag on the command line.
    if (Kind == TFPGAOptionKind::Boolean) {
        const bool isTrue = specified ? IsTrue() : SameText(DefaultValue, "True");
        return !Flag.empty() && isTrue ? "-" + Flag : std::string();
    }
    return specified ? "-" + Flag + " " + value : std::string();
}

namespace {

struct TMacro {
    std::string ValuePattern; // "$flag.value"
    std::string TextPattern;  // "$flag.4value"
    std::string Key;          // the flag up to its first ".", lower case
    const TFPGAOption_Abstract* Option;
};

// The key under which a macro can occur in a line: the text after a "$" up to
// the next "." (lower case). A line can only hold macros whose key it lists.
std::string KeyAfterDollar(std::string_view text)
{
    const size_t dot = text.find('.');
    return LowerText(text.substr(0, dot));
}

std::vector<std::string> KeysOf(const std::string& line)
{
    std::vector<std::string> keys;
    for (size_t dollar = line.find('$'); dollar != std::string::npos; dollar = line.find('$', dollar + 1))
        keys.push_back(KeyAfterDollar(std::string_view(line).substr(dollar + 1)));
    return keys;
}

// Which lines may hold a macro of which key; kept up to date as lines change.
class TMacroIndex {
public:
    explicit TMacroIndex(const TStringList& lines) : FKeys(lines.size())
    {
        for (size_t i = 0; i < lines.size(); ++i) Update(i, lines[i]);
    }
    std::vector<size_t> LinesOf(const std::string& key) const
    {
        const auto found = FLines.find(key);
        if (found == FLines.end()) return {};
        return std::vector<size_t>(found->second.begin(), found->second.end());
    }
    void Update(size_t index, const std::string& line)
    {
        for (const std::string& key : FKeys[index]) FLines[key].erase(index);
        FKeys[index] = KeysOf(line);
        for (const std::string& key : FKeys[index]) FLines[key].insert(index);
    }

private:
    std::vector<std::vector<std::string>> FKeys;
    std::unordered_map<std::string, std::set<size_t>> FLines;
};

// One pass: every macro in option order replaced in every line, as a plain
// left-to-right replace over all lines would; the index only skips lines that
// cannot hold the macro. True when a line changed (letter case ignored).
bool MacroPass(TStringList& lines, const std::vector<TMacro>& macros, bool isCmd)
{
    TMacroIndex index(lines);
    bool changed = false;
    for (const TMacro& macro : macros) {
        const std::vector<size_t> candidates = index.LinesOf(macro.Key);
        if (candidates.empty()) continue;
        const std::string value = macro.Option->GetValue();
        const std::string text = macro.Option->GetValueFor(isCmd);
        for (size_t i : candidates) {
            std::string& line = lines[i];
            bool lineChanged = false;
            using TReplacement = std::pair<const std::string&, const std::string&>;
            for (const auto& [pattern, replacement] :
                 {TReplacement{macro.ValuePattern, value}, TReplacement{macro.TextPattern, text}}) {
                if (FindText(line, pattern) == std::string::npos) continue;
                std::string next = ReplaceTextIgnoreCase(line, pattern, replacement);
                if (!SameText(next, line)) changed = true;
                line = std::move(next);
                lineChanged = true;
            }
            if (lineChanged) index.Update(i, line);
        }
    }
    return changed;
}

void RemoveCommentsAndEmptyLines(TStringList& lines, const std::string& commentIdentifier)
{
    TStringList kept;
    kept.reserve(lines.size());
    for (std::string& line : lines) {
        std::string text = TrimText(line);
        if (!commentIdentifier.empty()) {
            const size_t comment = text.find(commentIdentifier);
            if (comment != std::string::npos) {
                text = TrimText(std::string_view(text).substr(0, comment));
                line = text;
            }
        }
        if (!text.empty()) kept.push_back(std::move(line));
    }
    lines = std::move(kept);
}

} // namespace

bool TFPGAOptions::GetLines(bool isCmd, TStringList& strings, const std::string& device, const std::string& tool) const
{
    const std::string& head = isCmd ? Commands_Head : Script_Head;
    const std::string& tail = isCmd ? Commands_Tail : Script_Tail;
    strings = head.empty() ? TStringList() : SplitLines(head);

    // Validity does not change during one call: decide it once per option.
    const TDeviceFacts facts = TDeviceFacts::Lookup(device);
    std::vector<const TFPGAOption_Abstract*> valid;
    valid.reserve(FList.size());
    for (const auto& option : FList)
        if (option->IsValidFor(facts, tool)) valid.push_back(option.get());

    for (const TFPGAOption_Abstract* option : valid) {
        if (option->ValueOnly) continue;
        std::string text = option->GetValueFor(isCmd);
        if (!text.empty()) strings.push_back(std::move(text));
    }
    if (!tail.empty()) strings = SplitLines(JoinLines(strings) + tail);

    std::vector<TMacro> macros;
    macros.reserve(valid.size());
    for (const TFPGAOption_Abstract* option : valid)
        macros.push_back({LowerText("$" + option->Flag + ".Value"), LowerText("$" + option->Flag + ".4Value"),
                          KeyAfterDollar(option->Flag + "."), option});
    for (int pass = 0; pass < kMaxMacroPasses; ++pass)
        if (!MacroPass(strings, macros, isCmd)) break;

    RemoveCommentsAndEmptyLines(strings, Comment_Identifier);
    return !strings.empty();
}

} // namespace tavrel
