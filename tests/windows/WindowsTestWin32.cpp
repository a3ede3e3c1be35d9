// The window tests' pieces that need the system's headers, which the engine
// boundary's own names (HRESULT, S_OK) keep out of the other files.
#include <windows.h>

namespace Norvane::Testing::Windows {

bool PostCloseCommand(void* NativeWindow) {
    return NativeWindow && ::PostMessageW(static_cast<HWND>(NativeWindow), WM_SYSCOMMAND, SC_CLOSE, 0);
}

} // namespace Norvane::Testing::Windows
