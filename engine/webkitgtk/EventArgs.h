// Event-argument objects handed to the notification handlers.
#pragma once

#include "engine/webkitgtk/EngineCommon.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Norvane::Engine {

// The answer of a notification is applied once the handlers have returned and
// every deferral they took has been completed.
class TDeferrable {
public:
    // Finish runs exactly once, on the user-interface thread.
    void SetFinish(std::function<void()> Finish) { FFinish = std::move(Finish); }
    // Called after the last handler returned.
    void DispatchDone();
    // Keeps Owner (the arguments object) alive until the deferral completes.
    HRESULT MakeDeferral(IUnknown* Owner, ICoreWebView2Deferral** Deferral);
    bool IsDeferred() const { return FPending > 0; }

private:
    friend class TDeferral;
    void DeferralCompleted();
    void FinishIfReady();

    std::function<void()> FFinish;
    int FPending = 0;
    bool FDispatchDone = false;
    bool FFinished = false;
};

class TDeferral final : public TComObject<ICoreWebView2Deferral> {
public:
    TDeferral(IUnknown* Owner, TDeferrable* Target) : FOwner(Owner), FTarget(Target) {}
    HRESULT NV_STDCALL Complete() override;

private:
    TComPtr<IUnknown> FOwner;
    TDeferrable* FTarget;
    bool FCompleted = false;
};

class TNavigationStartingEventArgs final : public TComObject<ICoreWebView2NavigationStartingEventArgs> {
public:
    TNavigationStartingEventArgs(std::string Uri, bool UserInitiated, bool Redirected, UINT64 NavigationId,
                                 std::string RequestHeaders)
        : FUri(std::move(Uri)), FUserInitiated(UserInitiated), FRedirected(Redirected),
          FNavigationId(NavigationId), FRequestHeaders(std::move(RequestHeaders)) {}
    bool Cancelled() const { return FCancel; }

    HRESULT NV_STDCALL get_Uri(char** Uri) override { return ReturnText(FUri, Uri); }
    HRESULT NV_STDCALL get_IsUserInitiated(BOOL* Value) override {
        return ReturnValue(ToBOOL(FUserInitiated), Value);
    }
    HRESULT NV_STDCALL get_IsRedirected(BOOL* Value) override {
        return ReturnValue(ToBOOL(FRedirected), Value);
    }
    HRESULT NV_STDCALL get_RequestHeaders(char** Headers) override {
        return ReturnText(FRequestHeaders, Headers);
    }
    HRESULT NV_STDCALL get_Cancel(BOOL* Cancel) override { return ReturnValue(ToBOOL(FCancel), Cancel); }
    HRESULT NV_STDCALL put_Cancel(BOOL Cancel) override {
        FCancel = Cancel != 0;
        return S_OK;
    }
    HRESULT NV_STDCALL get_NavigationId(UINT64* Value) override { return ReturnValue(FNavigationId, Value); }

private:
    std::string FUri;
    bool FUserInitiated, FRedirected;
    UINT64 FNavigationId;
    std::string FRequestHeaders; // "Name: value" lines joined by CR LF
    bool FCancel = false;
};

class TContentLoadingEventArgs final : public TComObject<ICoreWebView2ContentLoadingEventArgs> {
public:
    TContentLoadingEventArgs(bool IsErrorPage, UINT64 NavigationId)
        : FIsErrorPage(IsErrorPage), FNavigationId(NavigationId) {}
    HRESULT NV_STDCALL get_IsErrorPage(BOOL* Value) override {
        return ReturnValue(ToBOOL(FIsErrorPage), Value);
    }
    HRESULT NV_STDCALL get_NavigationId(UINT64* Value) override { return ReturnValue(FNavigationId, Value); }

private:
    bool FIsErrorPage;
    UINT64 FNavigationId;
};

class TSourceChangedEventArgs final : public TComObject<ICoreWebView2SourceChangedEventArgs> {
public:
    explicit TSourceChangedEventArgs(bool IsNewDocument) : FIsNewDocument(IsNewDocument) {}
    HRESULT NV_STDCALL get_IsNewDocument(BOOL* Value) override {
        return ReturnValue(ToBOOL(FIsNewDocument), Value);
    }

private:
    bool FIsNewDocument;
};

class TNavigationCompletedEventArgs final : public TComObject<ICoreWebView2NavigationCompletedEventArgs> {
public:
    TNavigationCompletedEventArgs(bool IsSuccess, COREWEBVIEW2_WEB_ERROR_STATUS Status, UINT64 NavigationId)
        : FIsSuccess(IsSuccess), FStatus(Status), FNavigationId(NavigationId) {}
    HRESULT NV_STDCALL get_IsSuccess(BOOL* Value) override { return ReturnValue(ToBOOL(FIsSuccess), Value); }
    HRESULT NV_STDCALL get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* Value) override {
        return ReturnValue(FStatus, Value);
    }
    HRESULT NV_STDCALL get_NavigationId(UINT64* Value) override { return ReturnValue(FNavigationId, Value); }

private:
    bool FIsSuccess;
    COREWEBVIEW2_WEB_ERROR_STATUS FStatus;
    UINT64 FNavigationId;
};

class TScriptDialogOpeningEventArgs final : public TComObject<ICoreWebView2ScriptDialogOpeningEventArgs>,
                                            public TDeferrable {
public:
    TScriptDialogOpeningEventArgs(std::string Uri, COREWEBVIEW2_SCRIPT_DIALOG_KIND Kind, std::string Message,
                                  std::string DefaultText)
        : FUri(std::move(Uri)), FKind(Kind), FMessage(std::move(Message)),
          FDefaultText(std::move(DefaultText)), FResultText(FDefaultText) {}
    bool Accepted() const { return FAccepted; }
    const std::string& ResultText() const { return FResultText; }

    HRESULT NV_STDCALL get_Uri(char** Uri) override { return ReturnText(FUri, Uri); }
    HRESULT NV_STDCALL get_Kind(COREWEBVIEW2_SCRIPT_DIALOG_KIND* Kind) override {
        return ReturnValue(FKind, Kind);
    }
    HRESULT NV_STDCALL get_Message(char** Message) override { return ReturnText(FMessage, Message); }
    HRESULT NV_STDCALL Accept() override {
        FAccepted = true;
        return S_OK;
    }
    HRESULT NV_STDCALL get_DefaultText(char** Text) override { return ReturnText(FDefaultText, Text); }
    HRESULT NV_STDCALL get_ResultText(char** Text) override { return ReturnText(FResultText, Text); }
    HRESULT NV_STDCALL put_ResultText(const char* Text) override {
        FResultText = Text ? Text : "";
        return S_OK;
    }
    HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral** Deferral) override {
        return MakeDeferral(static_cast<ICoreWebView2ScriptDialogOpeningEventArgs*>(this), Deferral);
    }

private:
    std::string FUri;
    COREWEBVIEW2_SCRIPT_DIALOG_KIND FKind;
    std::string FMessage, FDefaultText, FResultText;
    bool FAccepted = false;
};

class TPermissionRequestedEventArgs final : public TComObject<ICoreWebView2PermissionRequestedEventArgs>,
                                            public TDeferrable {
public:
    TPermissionRequestedEventArgs(std::string Uri, COREWEBVIEW2_PERMISSION_KIND Kind, bool UserInitiated)
        : FUri(std::move(Uri)), FKind(Kind), FUserInitiated(UserInitiated) {}
    COREWEBVIEW2_PERMISSION_STATE State() const { return FState; }

    HRESULT NV_STDCALL get_Uri(char** Uri) override { return ReturnText(FUri, Uri); }
    HRESULT NV_STDCALL get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* Kind) override {
        return ReturnValue(FKind, Kind);
    }
    HRESULT NV_STDCALL get_IsUserInitiated(BOOL* Value) override {
        return ReturnValue(ToBOOL(FUserInitiated), Value);
    }
    HRESULT NV_STDCALL get_State(COREWEBVIEW2_PERMISSION_STATE* State) override {
        return ReturnValue(FState, State);
    }
    HRESULT NV_STDCALL put_State(COREWEBVIEW2_PERMISSION_STATE State) override {
        if (State < COREWEBVIEW2_PERMISSION_STATE_DEFAULT || State > COREWEBVIEW2_PERMISSION_STATE_DENY)
            return E_INVALIDARG;
        FState = State;
        return S_OK;
    }
    HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral** Deferral) override {
        return MakeDeferral(static_cast<ICoreWebView2PermissionRequestedEventArgs*>(this), Deferral);
    }

private:
    std::string FUri;
    COREWEBVIEW2_PERMISSION_KIND FKind;
    bool FUserInitiated;
    COREWEBVIEW2_PERMISSION_STATE FState = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
};

class TProcessFailedEventArgs final : public TComObject<ICoreWebView2ProcessFailedEventArgs> {
public:
    explicit TProcessFailedEventArgs(COREWEBVIEW2_PROCESS_FAILED_KIND Kind) : FKind(Kind) {}
    HRESULT NV_STDCALL get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* Kind) override {
        return ReturnValue(FKind, Kind);
    }

private:
    COREWEBVIEW2_PROCESS_FAILED_KIND FKind;
};

class TWebMessageArgs final : public TComObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    TWebMessageArgs(std::string Source, std::string Json)
        : FSource(std::move(Source)), FJson(std::move(Json)) {}
    HRESULT NV_STDCALL get_Source(char** Source) override { return ReturnText(FSource, Source); }
    HRESULT NV_STDCALL get_WebMessageAsJson(char** Json) override { return ReturnText(FJson, Json); }
    HRESULT NV_STDCALL TryGetWebMessageAsString(char** Text) override;

private:
    std::string FSource, FJson;
};

class TFilesDroppedEventArgs final : public TComObject<ICoreWebView2FilesDroppedEventArgs> {
public:
    explicit TFilesDroppedEventArgs(std::vector<std::string> Paths) : FPaths(std::move(Paths)) {}
    HRESULT NV_STDCALL get_Count(UINT32* Count) override {
        return ReturnValue(static_cast<UINT32>(FPaths.size()), Count);
    }
    HRESULT NV_STDCALL GetPathAtIndex(UINT32 Index, char** Path) override {
        if (Path)
            *Path = nullptr;
        return Index < FPaths.size() ? ReturnText(FPaths[Index], Path) : E_INVALIDARG;
    }

private:
    std::vector<std::string> FPaths;
};

class TNewWindowRequestedEventArgs final : public TComObject<ICoreWebView2NewWindowRequestedEventArgs>,
                                           public TDeferrable {
public:
    TNewWindowRequestedEventArgs(std::string Uri, bool UserInitiated)
        : FUri(std::move(Uri)), FUserInitiated(UserInitiated) {}
    bool Handled() const { return FHandled; }
    ICoreWebView2* NewWindow() const { return FNewWindow.Get(); }

    HRESULT NV_STDCALL get_Uri(char** Uri) override { return ReturnText(FUri, Uri); }
    HRESULT NV_STDCALL put_NewWindow(ICoreWebView2* NewWindow) override {
        FNewWindow = TComPtr<ICoreWebView2>(NewWindow);
        return S_OK;
    }
    HRESULT NV_STDCALL get_NewWindow(ICoreWebView2** NewWindow) override {
        return FNewWindow.CopyTo(NewWindow);
    }
    HRESULT NV_STDCALL put_Handled(BOOL Handled) override {
        FHandled = Handled != 0;
        return S_OK;
    }
    HRESULT NV_STDCALL get_Handled(BOOL* Handled) override { return ReturnValue(ToBOOL(FHandled), Handled); }
    HRESULT NV_STDCALL get_IsUserInitiated(BOOL* Value) override {
        return ReturnValue(ToBOOL(FUserInitiated), Value);
    }
    HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral** Deferral) override {
        return MakeDeferral(static_cast<ICoreWebView2NewWindowRequestedEventArgs*>(this), Deferral);
    }

private:
    std::string FUri;
    bool FUserInitiated;
    bool FHandled = false;
    TComPtr<ICoreWebView2> FNewWindow;
};

class TWebResourceRequestedEventArgs final : public TComObject<ICoreWebView2WebResourceRequestedEventArgs>,
                                             public TDeferrable {
public:
    TWebResourceRequestedEventArgs(TComPtr<ICoreWebView2WebResourceRequest> Request,
                                   COREWEBVIEW2_WEB_RESOURCE_CONTEXT Context)
        : FRequest(std::move(Request)), FContext(Context) {}
    ICoreWebView2WebResourceResponse* Response() const { return FResponse.Get(); }

    HRESULT NV_STDCALL get_Request(ICoreWebView2WebResourceRequest** Request) override {
        return FRequest.CopyTo(Request);
    }
    HRESULT NV_STDCALL get_Response(ICoreWebView2WebResourceResponse** Response) override {
        return FResponse.CopyTo(Response);
    }
    HRESULT NV_STDCALL put_Response(ICoreWebView2WebResourceResponse* Response) override {
        FResponse = TComPtr<ICoreWebView2WebResourceResponse>(Response);
        return S_OK;
    }
    HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral** Deferral) override {
        return MakeDeferral(static_cast<ICoreWebView2WebResourceRequestedEventArgs*>(this), Deferral);
    }
    HRESULT NV_STDCALL get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* Context) override {
        return ReturnValue(FContext, Context);
    }

private:
    TComPtr<ICoreWebView2WebResourceRequest> FRequest;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT FContext;
    TComPtr<ICoreWebView2WebResourceResponse> FResponse;
};

class TMoveFocusRequestedEventArgs final : public TComObject<ICoreWebView2MoveFocusRequestedEventArgs> {
public:
    explicit TMoveFocusRequestedEventArgs(COREWEBVIEW2_MOVE_FOCUS_REASON Reason) : FReason(Reason) {}
    bool Handled() const { return FHandled; }
    HRESULT NV_STDCALL get_Reason(COREWEBVIEW2_MOVE_FOCUS_REASON* Reason) override {
        return ReturnValue(FReason, Reason);
    }
    HRESULT NV_STDCALL get_Handled(BOOL* Handled) override { return ReturnValue(ToBOOL(FHandled), Handled); }
    HRESULT NV_STDCALL put_Handled(BOOL Handled) override {
        FHandled = Handled != 0;
        return S_OK;
    }

private:
    COREWEBVIEW2_MOVE_FOCUS_REASON FReason;
    bool FHandled = false;
};

class TAcceleratorKeyPressedEventArgs final : public TComObject<ICoreWebView2AcceleratorKeyPressedEventArgs> {
public:
    TAcceleratorKeyPressedEventArgs(COREWEBVIEW2_KEY_EVENT_KIND Kind, UINT32 VirtualKey, std::int32_t LParam,
                                    COREWEBVIEW2_PHYSICAL_KEY_STATUS Status)
        : FKind(Kind), FVirtualKey(VirtualKey), FLParam(LParam), FStatus(Status) {}
    bool Handled() const { return FHandled; }
    HRESULT NV_STDCALL get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* Kind) override {
        return ReturnValue(FKind, Kind);
    }
    HRESULT NV_STDCALL get_VirtualKey(UINT32* VirtualKey) override {
        return ReturnValue(FVirtualKey, VirtualKey);
    }
    HRESULT NV_STDCALL get_KeyEventLParam(std::int32_t* LParam) override {
        return ReturnValue(FLParam, LParam);
    }
    HRESULT NV_STDCALL get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS* Status) override {
        return ReturnValue(FStatus, Status);
    }
    HRESULT NV_STDCALL get_Handled(BOOL* Handled) override { return ReturnValue(ToBOOL(FHandled), Handled); }
    HRESULT NV_STDCALL put_Handled(BOOL Handled) override {
        FHandled = Handled != 0;
        return S_OK;
    }

private:
    COREWEBVIEW2_KEY_EVENT_KIND FKind;
    UINT32 FVirtualKey;
    std::int32_t FLParam;
    COREWEBVIEW2_PHYSICAL_KEY_STATUS FStatus;
    bool FHandled = false;
};

} // namespace Norvane::Engine
