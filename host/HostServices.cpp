#include "host/HostServices.h"

#include "plugin/com/Bstr.h"
#include "plugin/frame/DispatchTable.h"

#include <cstdio>

namespace hostaccess {

namespace {

constexpr int32_t kCursorBusy = -11;

TMessagePresenter& Presenter()
{
    static TMessagePresenter presenter;
    return presenter;
}

void ShowMessage(TMessageKind kind, const std::string& text, const std::string& caption, const char* defaultCaption)
{
    const std::string shown = caption.empty() ? defaultCaption : caption;
    if (Presenter()) {
        Presenter()(kind, text, shown);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", shown.c_str(), text.c_str());
}

THostObject GUIManager()
{
    const THostObject client = GetClient();
    if (!client) return {};
    return client.CallObject(dispid::Client_GetGUIManager);
}

} // namespace

void SetMessagePresenter(TMessagePresenter presenter) { Presenter() = std::move(presenter); }

void ShowErrorMessage(const std::string& text, const std::string& caption)
{
    ShowMessage(TMessageKind::Error, text, caption, "Error");
}

void ShowWarningMessage(const std::string& text, const std::string& caption)
{
    ShowMessage(TMessageKind::Warning, text, caption, "Warning");
}

void ShowInformationMessage(const std::string& text, const std::string& caption)
{
    ShowMessage(TMessageKind::Information, text, caption, "Information");
}

void RunProcess(const std::string& processName, std::string& parameters, com::IDispatch* view)
{
    const THostObject client = GetClient();
    if (!client) return;
    // The parameter text goes by reference: the host may hand a result back in it.
    com::TVariant text;
    com::VariantSetString(&text, parameters);
    com::VARIANT args[3];
    for (com::VARIANT& arg : args) com::VariantInit(&arg);
    args[0].vt = com::VT_DISPATCH;
    args[0].pdispVal = view;
    args[1].vt = com::VT_BYREF | com::VT_VARIANT;
    args[1].pvarVal = &text;
    args[2].vt = com::VT_BSTR;
    args[2].bstrVal = com::BstrFromUtf8(processName);
    com::DISPPARAMS params{args, nullptr, 3, 0};
    com::EXCEPINFO info{};
    com::TVariant result;
    const com::HRESULT hr = client.Get()->Invoke(dispid::Client_RunProcess, com::IID_NULL, 0, com::DISPATCH_METHOD,
                                                 &params, &result, &info, nullptr);
    com::BstrFree(args[2].bstrVal);
    const std::string description = com::BstrToUtf8(info.bstrDescription);
    com::BstrFree(info.bstrDescription);
    com::BstrFree(info.bstrSource);
    com::BstrFree(info.bstrHelpFile);
    if (com::Failed(hr))
        throw tavrel::THostCallError(description.empty() ? "The host could not run process " + processName : description);
    parameters = com::VariantToString(text);
}

THostObject GetCurrentView()
{
    const THostObject client = GetClient();
    if (!client) return {};
    return client.CallObject(dispid::Client_GetCurrentView);
}

int32_t GetDialogParentWindow()
{
    const THostObject client = GetClient();
    if (!client) return 0;
    return client.CallInt(dispid::Client_GetDialogParentWindow);
}

void SetStatusBarText(int32_t code, const std::string& text)
{
    if (const THostObject gui = GUIManager()) gui.Call(dispid::GUIManager_SetStatusBarText, {code, text});
}

void SetHostCursorBusy()
{
    if (const THostObject api = GetClientAPI()) api.Call(dispid::ClientAPI_SetHostCursor, {kCursorBusy});
}

void RestoreHostCursor()
{
    if (const THostObject api = GetClientAPI()) api.Call(dispid::ClientAPI_RestoreHostCursor);
}

// --- Timer handler --------------------------------------------------------

namespace {
constexpr tavrel::TDispatchRow kTimerHandlerTable[] = {{267, &tavrel::Thunk<&TAbstractTimerHandler::HandleTimer>}};
constexpr tavrel::TDispatchRow kNotificationHandlerTable[] = {
    {266, &tavrel::Thunk<&TAbstractNotificationHandler::HandleNotification>}};
} // namespace

bool TAbstractTimerHandler::SupportsServiceName(std::string_view name) const
{
    return TAbstractSupportService::SupportsServiceName(name) || tavrel::SameText(name, "TimerHandler");
}

com::HRESULT TAbstractTimerHandler::DispatchInvoke(int32_t dispid, const tavrel::TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kTimerHandlerTable, TAbstractSupportService);
}

TTimerHandler* TTimerHandler::Create(int32_t interval, bool enabled, THandler handler)
{
    auto* timer = new TTimerHandler(std::move(handler));
    timer->AddRef();
    try {
        if (const THostObject client = GetClient())
            if (const THostObject manager = client.CallObject(dispid::Client_GetTimerManager))
                timer->FTimerID =
                    manager.CallInt(dispid::TimerManager_CreateTimer, {timer->AsDispatch(), interval, enabled});
    } catch (...) {
        timer->Release();
        throw;
    }
    return timer;
}

void TTimerHandler::Destroy()
{
    FHandler = nullptr;
    try {
        if (FTimerID != 0) {
            const int32_t id = FTimerID;
            FTimerID = 0;
            if (const THostObject client = GetClient())
                if (const THostObject manager = client.CallObject(dispid::Client_GetTimerManager))
                    manager.Call(dispid::TimerManager_DestroyTimer, {id});
        }
    } catch (...) {
        // The host refused; the handler goes all the same.
    }
    Release();
}

void TTimerHandler::HandleTimer(int64_t timerId)
{
    if (FHandler) FHandler(static_cast<int32_t>(timerId));
}

// --- Notification handler ---------------------------------------------------

bool TAbstractNotificationHandler::SupportsServiceName(std::string_view name) const
{
    return TAbstractSupportService::SupportsServiceName(name) || tavrel::SameText(name, "NotificationHandler");
}

com::HRESULT TAbstractNotificationHandler::DispatchInvoke(int32_t dispid, const tavrel::TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kNotificationHandlerTable, TAbstractSupportService);
}

TNotificationHandler* TNotificationHandler::Create(THandler handler)
{
    auto* notifications = new TNotificationHandler(std::move(handler));
    notifications->AddRef();
    try {
        if (const THostObject client = GetClient()) {
            client.Call(dispid::Client_RegisterNotificationHandler, {notifications->AsDispatch()});
            notifications->FRegistered = true;
        }
    } catch (...) {
        notifications->Release();
        throw;
    }
    return notifications;
}

void TNotificationHandler::Destroy()
{
    FHandler = nullptr;
    try {
        if (FRegistered) {
            FRegistered = false;
            if (const THostObject client = GetClient())
                client.Call(dispid::Client_UnregisterNotificationHandler, {AsDispatch()});
        }
    } catch (...) {
        // The host refused; the handler goes all the same.
    }
    Release();
}

void TNotificationHandler::HandleNotification(com::IDispatch* notification)
{
    if (FHandler) FHandler(notification);
}

} // namespace hostaccess
