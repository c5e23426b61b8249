// The two texts a tool step gives its tool: the command file (isCmd) built from
// the options' command items, and the command line built from their script
// items, each between the set's head and tail, with "$Flag.Value" and
// "$Flag.4Value" macros resolved and comments and empty lines removed.
#include "options/FPGAOptions.h"

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
    const TFPGAOption_Abstract* Option;
};

// One pass over the lines; true when a line changed (letter case ignored).
// Every macro starts with "$", so only lines holding one are searched; a
// replacement only ever happens in such a line, so the set can only shrink.
bool MacroPass(TStringList& lines, const std::vector<TMacro>& macros, bool isCmd)
{
    std::vector<size_t> candidates;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find('$') != std::string::npos) candidates.push_back(i);
    bool changed = false;
    for (const TMacro& macro : macros) {
        if (candidates.empty()) break;
        const std::string value = macro.Option->GetValue();
        const std::string text = macro.Option->GetValueFor(isCmd);
        for (size_t index : candidates) {
            std::string& line = lines[index];
            for (const auto& [pattern, replacement] :
                 {std::pair<const std::string&, const std::string&>{macro.ValuePattern, value}, {macro.TextPattern, text}}) {
                if (FindText(line, pattern) == std::string::npos) continue;
                std::string next = ReplaceTextIgnoreCase(line, pattern, replacement);
                if (!SameText(next, line)) changed = true;
                line = std::move(next);
            }
        }
        std::erase_if(candidates, [&](size_t index) { return lines[index].find('$') == std::string::npos; });
    }
    return changed;
}

void RemoveCommentsAndEmptyLines(TStringList& lines, const std::string& commentIdentifier)
{
    for (size_t i = lines.size(); i-- > 0;) {
        std::string text = TrimText(lines[i]);
        if (!commentIdentifier.empty()) {
            const size_t comment = text.find(commentIdentifier);
            if (comment != std::string::npos) {
                text = TrimText(std::string_view(text).substr(0, comment));
                lines[i] = text;
            }
        }
        if (text.empty()) lines.erase(lines.begin() + static_cast<ptrdiff_t>(i));
    }
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
        macros.push_back({LowerText("$" + option->Flag + ".Value"), LowerText("$" + option->Flag + ".4Value"), option});
    for (int pass = 0; pass < kMaxMacroPasses; ++pass)
        if (!MacroPass(strings, macros, isCmd)) break;

    RemoveCommentsAndEmptyLines(strings, Comment_Identifier);
    return !strings.empty();
}

} // namespace tavrel
