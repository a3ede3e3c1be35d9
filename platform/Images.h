// Decoding and re-encoding of small images (icons) held in memory.
#pragma once

#include <string>

namespace Norvane::Platform {

// Decodes one image file held in memory (PNG, or an .ico holding one image)
// and writes it as a PNG of Size x Size pixels, scaled smoothly. False when
// the image does not decode or Size is outside 1..1024.
bool ImageToPng(const std::string& Encoded, int Size, std::string& Png);

} // namespace Norvane::Platform
