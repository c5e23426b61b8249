// How flows talk to the user: lines in the host's output panel, records in its
// message panel, the status bar, and turns of the host's message loop.
#include "flow/ProcessFlow.h"

#include "host/HostAccess.h"
#include "host/HostServices.h"

namespace tavrel {

namespace {

constexpr int32_t kImageError = 73;
constexpr int32_t kImageWarning = 72;
constexpr int32_t kImageInfo = 71;
constexpr int32_t kStatusPanel = 2;

// The record is a parameter string without escapes: a "|" would split a field.
std::string RecordField(const std::string& text)
{
    if (text.find('|') == std::string::npos) return text;
    std::string field;
    field.reserve(text.size() + 4);
    for (char c : text) {
        if (c == '|') field += "\xC2\xA6"; // broken bar
        else field += c;
    }
    return field;
}

THostObject MessagesManager(const THostObject& workspace)
{
    return workspace.CallObject(dispid::Workspace_GetMessagesManager2);
}

} // namespace

void ProcessHostMessages()
{
    if (const THostObject client = hostaccess::GetClient()) client.Call(dispid::Client_ProcessMessages);
}

std::string FormatFlowMessageRecord(const std::string& messageClass, const std::string& text,
                                    const std::string& source, const std::string& document,
                                    const std::string& callBackProcess, int32_t imageIndex,
                                    TMessageReplaceMode replaceMode)
{
    std::string record = "Class=" + RecordField(messageClass) + "|Text=" + RecordField(text) +
                         "|Source=" + RecordField(source) + "|Document=" + RecordField(document) +
                         "|CallBackProcess=" + RecordField(callBackProcess) +
                         "|ImageIndex=" + std::to_string(imageIndex);
    if (replaceMode == eReplace_IfSameClass) record += "|ReplaceLastMessageIfSameClass=True";
    else if (replaceMode == eReplace_OfSameClass) record += "|ReplaceLastMessageOfSameClass=True";
    return record;
}

void ShowFlowStatus(const std::string& text)
{
    const THostObject workspace = hostaccess::GetWorkspace();
    if (!workspace || text.empty()) return;
    const THostObject messages = MessagesManager(workspace);
    messages.Call(dispid::MessagesManager_BeginBatch);
    messages.Call(hostaccess::dispid::MessagesManager_AddMessage,
                  {std::string("ProcessFlowInfo"), text, std::string(), std::string(), std::string(), std::string(),
                   kImageInfo, false, std::string(), std::string()});
    messages.Call(dispid::MessagesManager_EndBatch);
    workspace.Call(dispid::Workspace_OutputLine, {text, false, false});
}

void TTavrelAbstractProcessFlow::WriteOutputLine(const std::string& text)
{
    const THostObject workspace = hostaccess::GetWorkspace();
    if (!workspace) return;
    workspace.Call(dispid::Workspace_OutputLine, {text.empty() ? std::string("---") : text, false, false});
}

void TTavrelAbstractProcessFlow::WriteSeparatorLine() { WriteOutputLine(std::string(21, '-')); }

void TTavrelAbstractProcessFlow::PostFlowMessage(const std::string& text, const std::string& messageClass,
                                                 const std::string& callBackParameters,
                                                 const std::string& callBackProcess, TMessageReplaceMode replaceMode,
                                                 int32_t imageIndex)
{
    const THostObject workspace = hostaccess::GetWorkspace();
    if (!workspace) return;
    const std::string record = FormatFlowMessageRecord(messageClass, text, StageName(), InputDescription(),
                                                       callBackProcess, imageIndex, replaceMode);
    MessagesManager(workspace).Call(dispid::MessagesManager_PostRecord, {record, callBackParameters});
}

void TTavrelAbstractProcessFlow::AddErrorMessage(const std::string& text, TMessageReplaceMode replaceMode,
                                                 const std::string& callBackParameters,
                                                 const std::string& callBackProcess)
{
    WriteOutputLine(text);
    if (!text.empty())
        PostFlowMessage(text, "ProcessFlowError", callBackParameters, callBackProcess, replaceMode, kImageError);
}

void TTavrelAbstractProcessFlow::AddWarningMessage(const std::string& text, TMessageReplaceMode replaceMode,
                                                   const std::string& callBackParameters,
                                                   const std::string& callBackProcess)
{
    WriteOutputLine(text);
    if (!text.empty())
        PostFlowMessage(text, "ProcessFlowWarning", callBackParameters, callBackProcess, replaceMode, kImageWarning);
}

void TTavrelAbstractProcessFlow::AddInfoMessage(const std::string& text, TMessageReplaceMode replaceMode,
                                                const std::string& callBackParameters,
                                                const std::string& callBackProcess)
{
    WriteOutputLine(text);
    if (text.empty()) return;
    PostFlowMessage(text, "ProcessFlowInfo", callBackParameters, callBackProcess, replaceMode, kImageInfo);
    hostaccess::SetStatusBarText(kStatusPanel, text);
}

void TTavrelAbstractProcessFlow::AddProgressMessage(const std::string& text, TMessageReplaceMode replaceMode,
                                                    const std::string& callBackParameters,
                                                    const std::string& callBackProcess)
{
    WriteOutputLine(text);
    if (text.empty()) return;
    PostFlowMessage(text, "ProcessFlowProgress", callBackParameters, callBackProcess, replaceMode, kImageInfo);
    hostaccess::SetStatusBarText(kStatusPanel, text);
}

} // namespace tavrel
