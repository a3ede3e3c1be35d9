// The window tests' program. Started by a browser window for a new window
// (the relaunch form with the test's identifier), it only records its
// argument and ends.
#include "tests/windows/WindowsTestSupport.h"

int main(int argc, char** argv) {
    if (Norvane::Testing::Windows::HandleRelaunch(argc, argv))
        return 0;
    return Norvane::Testing::EdgeEx::RunTests(argc, argv);
}
