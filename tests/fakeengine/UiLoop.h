// The fake engine's way into the main loop of the user-interface thread, one
// per toolkit: a completion delivered "from the main loop" runs there later,
// in order, also inside a modal loop, as the real engine's completions do.
#pragma once

#include <functional>

namespace Norvane::Testing::FakeEngine {

// Makes the calling thread the one whose main loop runs posted pieces, unless
// one is already chosen (the GLib loop needs none: it is the default context).
void BindUiLoop();
// Runs Piece later from that loop; may be called from any thread.
void PostToUiLoop(std::function<void()> Piece);

} // namespace Norvane::Testing::FakeEngine
