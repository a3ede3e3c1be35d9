// Work of the bridge's functions that may wait (file writes, folder removal,
// session calls) done off the user-interface thread, one piece after another
// in the order the calls came, so that a page's calls on the same file keep
// their order. The result of each piece is handed back to the user-interface
// thread's queue.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace Norvane::Shared {

class TBridgeWorker {
public:
    TBridgeWorker() = default;
    // Finishes the pieces already handed over (a file being written is
    // written whole), then ends the thread.
    ~TBridgeWorker();
    TBridgeWorker(const TBridgeWorker&) = delete;
    TBridgeWorker& operator=(const TBridgeWorker&) = delete;

    // Runs Piece on the worker thread after the pieces before it; the thread
    // starts with the first piece.
    void Run(std::function<void()> Piece);

private:
    void Loop();

    std::mutex FLock;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FPieces;
    bool FStopping = false;
    std::thread FThread;
};

} // namespace Norvane::Shared
