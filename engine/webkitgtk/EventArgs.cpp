#include "engine/webkitgtk/EventArgs.h"

#include "engine/webkitgtk/Json.h"

namespace Norvane::Engine {

void TDeferrable::DispatchDone() {
    FDispatchDone = true;
    FinishIfReady();
}

HRESULT TDeferrable::MakeDeferral(IUnknown* Owner, ICoreWebView2Deferral** Deferral) {
    if (!Deferral)
        return E_POINTER;
    if (FFinished)
        return HRESULT_ERROR_INVALID_STATE;
    ++FPending;
    *Deferral = new TDeferral(Owner, this);
    return S_OK;
}

void TDeferrable::DeferralCompleted() {
    --FPending;
    FinishIfReady();
}

void TDeferrable::FinishIfReady() {
    if (FFinished || !FDispatchDone || FPending > 0)
        return;
    FFinished = true;
    if (auto Finish = std::move(FFinish))
        Finish();
}

HRESULT TDeferral::Complete() {
    if (FCompleted)
        return HRESULT_ERROR_INVALID_STATE;
    FCompleted = true;
    // FOwner keeps the arguments (and so FTarget) alive during the call.
    const TComPtr<IUnknown> Owner = FOwner;
    FTarget->DeferralCompleted();
    FOwner = nullptr;
    return S_OK;
}

HRESULT TWebMessageArgs::TryGetWebMessageAsString(char** Text) {
    if (!Text)
        return E_POINTER;
    *Text = nullptr;
    std::string Value;
    if (!JsonStringValue(FJson, Value))
        return E_INVALIDARG;
    return ReturnText(Value, Text);
}

} // namespace Norvane::Engine
