// Processes of the browser-process cases: the control is told their
// identifier as the engine's browser process and may end them.
#pragma once

#include <cstdint>
#include <memory>

namespace Norvane::Testing::EdgeEx {

class TTestProcess {
public:
    // A process that keeps running for half a minute unless it is ended.
    static std::unique_ptr<TTestProcess> StartRunning();
    // A process that has ended with Code but has not been waited for, so its
    // identifier still names it.
    static std::unique_ptr<TTestProcess> StartEnded(int Code);
    virtual ~TTestProcess() = default;

    virtual std::uint32_t Id() const = 0;
    struct TEnd {
        bool Ended;     // it ended at all (false: the wait failed)
        bool EndedHard; // ended from outside as the control ends a process
        int Code;       // its own exit code otherwise
    };
    // Waits for the end.
    virtual TEnd Wait() = 0;
};

// The test program's own use as a running process (on Windows, where there is
// no sleep program): true, after sleeping, when Argument asks for it.
bool RunAsTestProcess(const char* Argument);

} // namespace Norvane::Testing::EdgeEx
