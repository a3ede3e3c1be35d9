#include "shared/bridge/BridgeWorker.h"

namespace Norvane::Shared {

TBridgeWorker::~TBridgeWorker() {
    {
        std::lock_guard guard(FLock);
        FStopping = true;
    }
    FWake.notify_all();
    if (FThread.joinable())
        FThread.join();
}

void TBridgeWorker::Run(std::function<void()> Piece) {
    {
        std::lock_guard guard(FLock);
        FPieces.push_back(std::move(Piece));
        if (!FThread.joinable())
            FThread = std::thread([this] { Loop(); });
    }
    FWake.notify_one();
}

void TBridgeWorker::Loop() {
    for (;;) {
        std::function<void()> piece;
        {
            std::unique_lock lock(FLock);
            FWake.wait(lock, [this] { return FStopping || !FPieces.empty(); });
            if (FPieces.empty())
                return;
            piece = std::move(FPieces.front());
            FPieces.pop_front();
        }
        piece();
    }
}

} // namespace Norvane::Shared
