#include "packer/ProgressBar.h"

#include <algorithm>
#include <cstdio>

#include "platform/Console.h"

namespace Norvane::Packer {

TProgressBar::TProgressBar(std::string Label, std::int64_t SizeHint)
    : FLabel(std::move(Label)), FEnabled(SizeHint >= MinimumBytes && Platform::IsTerminal(Platform::StdErr)) {
}

TProgressBar::~TProgressBar() {
    Finish();
}

void TProgressBar::SetMax(std::int64_t Max) {
    FMax = Max;
    FPos = 0;
    FLastPercent = -1;
    Draw();
}

void TProgressBar::SetPos(std::int64_t Pos) {
    FPos = Pos;
    Draw();
}

void TProgressBar::Draw() {
    if (!FEnabled || FMax <= 0)
        return;
    int percent = static_cast<int>(std::clamp<std::int64_t>(FPos * 100 / FMax, 0, 100));
    if (percent == FLastPercent)
        return;
    FLastPercent = percent;
    int columns = Platform::TerminalWidth(Platform::StdErr);
    if (columns <= 0)
        columns = 80;
    int width = std::clamp(columns - static_cast<int>(FLabel.size()) - 10, 10, 60);
    int filled = percent * width / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '-');
    std::fprintf(stderr, "\r%s [%s] %3d%%", FLabel.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
    FDrawn = true;
}

void TProgressBar::Finish() {
    if (FDrawn) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    FDrawn = false;
    FEnabled = false;
}

} // namespace Norvane::Packer
