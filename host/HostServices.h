// User-interface services every part of the plug-in calls: message boxes, the
// host's process launcher, its status bar, its cursor, and the host callbacks
// (timer and notification handlers).
#pragma once

#include "host/HostAccess.h"
#include "plugin/frame/SupportService.h"

#include <functional>
#include <string>

namespace hostaccess {

enum class TMessageKind { Error, Warning, Information };

// Shows a modal message; the default writes "Caption: Text" to standard error.
// A GUI installs its own presenter; tests install a recorder.
using TMessagePresenter = std::function<void(TMessageKind kind, const std::string& text, const std::string& caption)>;
void SetMessagePresenter(TMessagePresenter presenter);

void ShowErrorMessage(const std::string& text, const std::string& caption = {});
void ShowWarningMessage(const std::string& text, const std::string& caption = {});
void ShowInformationMessage(const std::string& text, const std::string& caption = {});

// Runs a host process with a parameter string; Parameters receives what the host returns.
void RunProcess(const std::string& processName, std::string& parameters, com::IDispatch* view = nullptr);
THostObject GetCurrentView();
int32_t GetDialogParentWindow();
// Code >= 0: a status-bar panel; negative codes drive the progress display.
void SetStatusBarText(int32_t code, const std::string& text);
void SetHostCursorBusy();
void RestoreHostCursor();

// A host timer calling back a handler; no timer without a client.
class TAbstractTimerHandler : public tavrel::TAbstractSupportService {
public:
    bool SupportsServiceName(std::string_view name) const override;
    virtual void HandleTimer(int64_t timerId) = 0;

protected:
    com::HRESULT DispatchInvoke(int32_t dispid, const tavrel::TInvokeContext& context) override;
};

class TTimerHandler : public TAbstractTimerHandler {
public:
    using THandler = std::function<void(int32_t timerId)>;
    // Creates the handler and its host timer; call Destroy before the last release.
    static TTimerHandler* Create(int32_t interval, bool enabled, THandler handler);
    void Destroy();
    void HandleTimer(int64_t timerId) override;
    int32_t TimerID() const { return FTimerID; }

private:
    explicit TTimerHandler(THandler handler) : FHandler(std::move(handler)) {}
    int32_t FTimerID = 0;
    THandler FHandler;
};

// Host notifications calling back a handler; registered while it lives.
class TAbstractNotificationHandler : public tavrel::TAbstractSupportService {
public:
    bool SupportsServiceName(std::string_view name) const override;
    virtual void HandleNotification(com::IDispatch* notification) = 0;

protected:
    com::HRESULT DispatchInvoke(int32_t dispid, const tavrel::TInvokeContext& context) override;
};

class TNotificationHandler : public TAbstractNotificationHandler {
public:
    using THandler = std::function<void(com::IDispatch* notification)>;
    static TNotificationHandler* Create(THandler handler);
    void Destroy();
    void HandleNotification(com::IDispatch* notification) override;

private:
    explicit TNotificationHandler(THandler handler) : FHandler(std::move(handler)) {}
    THandler FHandler;
    bool FRegistered = false;
};

} // namespace hostaccess
