// The loader library of the browser control: libraries that cannot be used,
// retrying after a failed load, and the floating-point exception masking of
// the module's initialization. Each test runs in a process of its own, since
// the first successful load stays for the whole run.
#include "tests/edgeex/EdgeExTestSupport.h"
#include "tests/support/TestSupport.h"

#include <fenv.h>
#if !defined(_WIN32) && (defined(__x86_64__) || defined(__i386__))
#include <xmmintrin.h>
#endif

using namespace Norvane::Testing::EdgeEx;
using namespace Norvane::Testing::FakeEngine;

namespace {

#ifdef _WIN32
// The C runtime here has no feenableexcept, and the 32-bit build no SSE
// intrinsics: the x87 control word and the SSE control register directly.
unsigned X87Control() {
    unsigned short word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}
unsigned SseControl() {
    unsigned word = 0;
    __asm__ volatile("stmxcsr %0" : "=m"(word));
    return word;
}
#endif

// Runs before the browser control's module is initialized (the highest
// priority of the program's static objects): unmasks some floating-point
// exceptions, which the module must mask again.
struct UnmaskSomeExceptions {
    UnmaskSomeExceptions() {
#ifdef _WIN32
        constexpr unsigned some = 0x01 | 0x04 | 0x08; // invalid, division by zero, overflow
        unsigned short x87 = static_cast<unsigned short>(X87Control() & ~some);
        __asm__ volatile("fldcw %0" : : "m"(x87));
        unsigned sse = SseControl() & ~((some << 7) | 0x0100u); // and the denormal operand
        __asm__ volatile("ldmxcsr %0" : : "m"(sse));
#else
        feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
#if defined(__x86_64__) || defined(__i386__)
        _mm_setcsr(_mm_getcsr() & ~0x0100u); // the denormal-operand exception
#endif
#endif
    }
} unmaskSomeExceptions __attribute__((init_priority(101)));

TEST(FloatingPointTest, TheModuleMasksEveryFloatingPointExceptionOfItsThread) {
#ifdef _WIN32
    EXPECT_EQ(X87Control() & 0x3Fu, 0x3Fu);     // all six mask bits of the x87 unit
    EXPECT_EQ(SseControl() & 0x1F80u, 0x1F80u); // and of SSE, the denormal operand included
#else
    EXPECT_EQ(fegetexcept(), 0);
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(_mm_getcsr() & 0x1F80u, 0x1F80u); // all six mask bits, the denormal operand included
#endif
#endif
    volatile double zero = 0.0;
    volatile double quotient = 1.0 / zero; // no trap: the default result
    EXPECT_TRUE(quotient > 1e308);
}

class LoaderTest : public BrowserFixture {
protected:
    // Starts a creation with the loader at Path and waits for its outcome.
    void Attempt(const std::string& Path) {
        Norvane::Shared::WebView2LoaderPath = Path;
        const std::size_t before = Completions.size();
        if (!Browser) {
            Make();
            Attach();
        } else {
            Browser->ReinitializeWebView();
        }
        ASSERT_TRUE(WaitCompletions(before + 1));
    }
    void ExpectUnusable(const std::string& Path) {
        Attempt(Path);
        ASSERT_EQ(Completions.size(), 1u);
        EXPECT_EQ(Completions[0].Code, E_FAIL);
        EXPECT_EQ(Completions[0].Thread, UiThread());
        EXPECT_EQ(Browser->LastErrorCode(), E_FAIL);
        EXPECT_EQ(Browser->BrowserControlState(), TState::Creating);
        EXPECT_TRUE(ReportedErrors().empty());
        // The version through the loader fails the same way.
        EXPECT_EQ(Browser->BrowserVersionInfo(), "");
        EXPECT_EQ(Browser->LastErrorCode(), E_FAIL);
        EXPECT_TRUE(Engine().Calls().empty()); // the fake engine was never reached
    }
};

TEST_F(LoaderTest, AMissingLibraryIsReportedAsEFail) {
    ExpectUnusable("/nonexistent/folder/libengine.so");
}

TEST_F(LoaderTest, AFileThatIsNoLibraryIsReportedAsEFail) {
    Norvane::Testing::TempDir dir;
    Norvane::Testing::WriteFile(dir / "WebView2LoaderWin32.dll", "this is not a library\n");
    ExpectUnusable(dir / "WebView2LoaderWin32.dll");
}

TEST_F(LoaderTest, ALibraryWithoutAnEntryIsTreatedLikeOneThatCannotBeLoaded) {
    // Its environment entry would answer a code of its own (0x8004BEEF).
    ExpectUnusable(NORVANE_FAKE_ENGINE_WITHOUT_VERSION);
}

TEST_F(LoaderTest, WithoutAHandlerAnUnusableLibraryOnlySetsTheErrorCode) {
    Norvane::Shared::WebView2LoaderPath = "/nonexistent/libengine.so";
    Make({}, false);
    Attach();
    ASSERT_TRUE(PumpUntil([&] { return Browser->LastErrorCode() == E_FAIL; }));
    Settle();
    EXPECT_TRUE(ReportedErrors().empty());
    EXPECT_EQ(Browser->BrowserControlState(), TState::Creating);
}

TEST_F(LoaderTest, AFailedLoadIsTriedAgainAndTheLoadedLibraryStays) {
    Attempt("/nonexistent/libengine.so");
    EXPECT_EQ(Completions[0].Code, E_FAIL);
    Attempt(NORVANE_FAKE_ENGINE);
    EXPECT_EQ(Completions[1].Code, S_OK);
    EXPECT_EQ(Browser->BrowserControlState(), TState::Created);
    // Loaded once, the library stays, whatever the path says later.
    Norvane::Shared::WebView2LoaderPath = "/nonexistent/libengine.so";
    EXPECT_EQ(Browser->BrowserVersionInfo(), "118.0.fake-environment");
    Browser->CloseWebView();
    EXPECT_EQ(Browser->BrowserVersionInfo(), "118.0.fake");
}

} // namespace

int main(int argc, char** argv) {
    return RunTests(argc, argv);
}
