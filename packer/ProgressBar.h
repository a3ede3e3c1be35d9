// A one-line progress bar on standard error, drawn only when standard error is
// a terminal and the step is large enough for it to be seen.
#pragma once

#include <cstdint>
#include <string>

namespace Norvane::Packer {

class TProgressBar {
public:
    // Steps below MinimumBytes finish too fast for a bar and draw nothing.
    static constexpr std::int64_t MinimumBytes = 1024 * 1024;

    TProgressBar(std::string Label, std::int64_t SizeHint);
    ~TProgressBar();
    TProgressBar(const TProgressBar&) = delete;
    TProgressBar& operator=(const TProgressBar&) = delete;

    void SetMax(std::int64_t Max);
    void SetPos(std::int64_t Pos);
    // Ends the bar's line; called by the destructor when not called before.
    void Finish();

private:
    void Draw();

    std::string FLabel;
    bool FEnabled = false;
    bool FDrawn = false;
    std::int64_t FMax = 0;
    std::int64_t FPos = 0;
    int FLastPercent = -1;
};

} // namespace Norvane::Packer
