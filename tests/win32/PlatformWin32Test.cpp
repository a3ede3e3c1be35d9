// The Win32 backend against the system (run under wine): text crossing the
// UTF-16 boundary, command lines as the system splits them, child processes
// through cmd.exe and a pipe, the named-mutex lock and its show requests, and
// the class registry.
#include "platform/ChildProcess.h"
#include "platform/Images.h"
#include "platform/InstanceLock.h"
#include "platform/KnownFolders.h"
#include "platform/MappedFile.h"
#include "platform/MimeRegistry.h"
#include "platform/Process.h"
#include "platform/ProcessControl.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/win32/Win32Internal.h"

#include <gtest/gtest.h>

#include <shellapi.h>
// <shellapi.h> names the wide variant by macro.
#undef ShellExecute

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

using namespace Norvane::Platform;

TEST(Win32Text, NonAsciiTextSurvivesTheSystemBoundary) {
    const std::string value = "Gr\xC3\xB6\xC3\x9F"
                              "e \xE2\x9C\x93 \xF0\x9F\x98\x80"; // Größe ✓ 😀
    SetEnv("NORVANE_WIN32_TEST", value);
    EXPECT_EQ(GetEnv("NORVANE_WIN32_TEST"), value);
    SetEnv("NORVANE_WIN32_TEST", "");
    EXPECT_EQ(GetEnv("NORVANE_WIN32_TEST"), "");
    UnsetEnv("NORVANE_WIN32_TEST");
    EXPECT_FALSE(GetEnv("NORVANE_WIN32_TEST").has_value());
    // Ill-formed UTF-8 and an unpaired surrogate become U+FFFD, never a lost character.
    EXPECT_EQ(Win32::Narrow(Win32::Widen("a\xFF"
                                         "b")),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Win32::Narrow(std::wstring{L'x', static_cast<wchar_t>(0xD800)}), "x\xEF\xBF\xBD");
}

TEST(Win32CommandLine, TheSystemSplitsItBackIntoTheArguments) {
    const std::vector<std::string> arguments = {"C:\\Program Files\\app.exe",
                                                "plain",
                                                "two words",
                                                "",
                                                "quote\"inside",
                                                "trailing\\",
                                                "back\\\\slashes\\\" and quote",
                                                "tab\there",
                                                "C:\\with space\\",
                                                "\xC3\xA9t\xC3\xA9"};
    std::wstring line = Win32::BuildCommandLine(arguments);
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    std::vector<std::string> back;
    for (int i = 0; i < count; ++i)
        back.push_back(Win32::Narrow(split[i]));
    ::LocalFree(split);
    EXPECT_EQ(back, arguments);
}

TEST(Win32ChildProcess, CommandInterpreterOutputAndExitCodeThroughThePipe) {
    ProcessStartInfo info;
    info.Arguments = CommandInterpreterArguments("echo one \"two\"& echo three>&2& exit 7");
    info.CaptureOutput = true;
    auto process = StartProcess(info);
    ASSERT_NE(process, nullptr) << LastErrorMessage();
    std::string output;
    char buffer[64];
    while (std::size_t n = process->ReadOutput(buffer, sizeof buffer))
        output.append(buffer, n);
    EXPECT_TRUE(WaitForHandle(process->EndHandle(), 30000));
    EXPECT_EQ(process->Wait(), 7);
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    EXPECT_EQ(output, "one \"two\"\nthree\n");

    info.Arguments = {"norvane-no-such-program"};
    EXPECT_EQ(StartProcess(info), nullptr);
    EXPECT_EQ(LastErrorCode(), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(FindProgram("cmd").find("cmd.exe"), std::string::npos);
}

TEST(Win32ChildProcess, WorkingFolderAndOpenedProcess) {
    std::string folder = TempFolderPath();
    ProcessStartInfo info;
    info.Arguments = CommandInterpreterArguments("cd");
    info.WorkingDir = folder;
    info.CaptureOutput = true;
    auto process = StartProcess(info);
    ASSERT_NE(process, nullptr) << LastErrorMessage();
    std::string output;
    char buffer[256];
    while (std::size_t n = process->ReadOutput(buffer, sizeof buffer))
        output.append(buffer, n);
    EXPECT_EQ(process->Wait(), 0);
    EXPECT_TRUE(std::filesystem::equivalent(output.substr(0, output.find_first_of("\r\n")), folder));

    info.WorkingDir = folder + "\\norvane-no-such-folder";
    EXPECT_EQ(StartProcess(info), nullptr);

    auto self = OpenProcess(CurrentProcessId());
    ASSERT_NE(self, nullptr);
    EXPECT_FALSE(self->WaitForExit(0));
    EXPECT_EQ(OpenProcess(0), nullptr);
}

TEST(Win32InstanceLock, NamedMutexExistsWhileAnyHolderKeepsIt) {
    const std::string name = "norvane win32 test \xC3\xA9 " + std::to_string(CurrentProcessId());
    TInstanceLock first;
    TInstanceLock second;
    bool existed = true;
    ASSERT_TRUE(first.Acquire(name, existed));
    EXPECT_FALSE(existed);
    ASSERT_TRUE(second.Acquire(name, existed));
    EXPECT_TRUE(existed);
    first.Release();
    second.Release();
    ASSERT_TRUE(first.Acquire(name, existed));
    EXPECT_FALSE(existed);
}

TEST(Win32InstanceLock, ShowRequestsCarryTheArgumentsToTheFirstInstance) {
    const std::string name = "norvane win32 show \xC3\xA9 " + std::to_string(CurrentProcessId());
    TInstanceLock first;
    std::mutex lock;
    std::condition_variable heard;
    std::vector<std::vector<std::string>> requests;
    EXPECT_FALSE(TInstanceLock::AskToShow(name, {"nobody listens"}));
    ASSERT_TRUE(first.ListenForShowRequests(name, [&](const std::vector<std::string>& Arguments) {
        std::lock_guard guard(lock);
        requests.push_back(Arguments);
        heard.notify_all();
    }));
    // The name is the first listener's: a second one cannot take it.
    TInstanceLock squatter;
    EXPECT_FALSE(squatter.ListenForShowRequests(name, [](const std::vector<std::string>&) {}));
    const std::vector<std::string> arguments{"--open", "two words", "",
                                             "C:\\d\xC3\xA9j\xC3\xA0\\\xE6\x96\x87.txt"};
    ASSERT_TRUE(TInstanceLock::AskToShow(name, arguments));
    ASSERT_TRUE(TInstanceLock::AskToShow(name));
    // Beyond the bounds: the request still shows the window, without them.
    ASSERT_TRUE(
        TInstanceLock::AskToShow(name, std::vector<std::string>(TInstanceLock::MaxShowArguments + 1, "a")));
    ASSERT_TRUE(TInstanceLock::AskToShow(name, {std::string(TInstanceLock::MaxShowArgumentBytes, 'b')}));
    // At the bound (with its NUL): heard whole.
    const std::string longest(TInstanceLock::MaxShowArgumentBytes - 1, 'c');
    ASSERT_TRUE(TInstanceLock::AskToShow(name, {longest}));
    {
        std::unique_lock guard(lock);
        ASSERT_TRUE(heard.wait_for(guard, std::chrono::seconds(10), [&] { return requests.size() == 5; }));
        EXPECT_EQ(requests[0], arguments);
        EXPECT_TRUE(requests[1].empty());
        EXPECT_TRUE(requests[2].empty());
        EXPECT_TRUE(requests[3].empty());
        EXPECT_EQ(requests[4], std::vector<std::string>{longest});
    }
    // Once released, the name is free again and nobody hears.
    first.Release();
    bool heardAfter = true;
    for (int i = 0; i < 50 && heardAfter; ++i) {
        heardAfter = TInstanceLock::AskToShow(name);
        if (heardAfter)
            Sleep(20);
    }
    EXPECT_FALSE(heardAfter);
}

TEST(Win32Registry, ContentTypesOfTheClassRegistry) {
    std::vector<MimeRegistration> registrations;
    for (const MimeSource& source : SystemMimeSources())
        ReadMimeSource(source, registrations);
    auto typeOf = [&](const std::string& extension) {
        std::string type;
        for (const MimeRegistration& r : registrations)
            if (r.Extension == extension)
                type = r.ContentType;
        return type;
    };
    EXPECT_EQ(typeOf(".txt"), "text/plain");
    EXPECT_EQ(typeOf(".png"), "image/png");
    for (const MimeRegistration& r : registrations)
        ASSERT_TRUE(r.Extension.size() > 1 && r.Extension[0] == '.' &&
                    r.ContentType.find('/') != std::string::npos)
            << r.Extension << " " << r.ContentType;
}

TEST(Win32System, FoldersNamesAndPaths) {
    for (KnownFolder folder : {KnownFolder::Desktop, KnownFolder::Documents, KnownFolder::RoamingAppData,
                               KnownFolder::LocalAppData, KnownFolder::ProgramFiles, KnownFolder::System}) {
        std::string path = KnownFolderPath(folder);
        EXPECT_TRUE(path.size() > 3 && path[1] == ':' && path.back() != '\\') << path;
    }
    std::string exe = ExecutablePath();
    EXPECT_TRUE(exe.ends_with("PlatformWin32Test.exe")) << exe;
    EXPECT_TRUE(std::filesystem::exists(exe));
    EXPECT_EQ(FileAddressPath("C:/a/b.png"), "C:\\a\\b.png");
    EXPECT_TRUE(IsValidFileNameComponent("report 2024.txt"));
    EXPECT_FALSE(IsValidFileNameComponent("a:b"));
    EXPECT_FALSE(IsValidFileNameComponent("a\\b"));
    EXPECT_FALSE(IsValidFileNameComponent(std::string(256, 'x')));
    EXPECT_FALSE(SystemErrorMessage(ERROR_FILE_NOT_FOUND).empty());
    int background = 0;
    std::thread([&] {
        RunCurrentThreadInBackground();
        background = ::GetThreadPriority(::GetCurrentThread());
    }).join();
    EXPECT_EQ(background, THREAD_PRIORITY_LOWEST);
    EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

TEST(Win32Files, MappedFileShowsTheBytesAndNamesWhatFailed) {
    std::string path = TempFolderPath() + "\\norvane-map-\xC3\xA9-" + std::to_string(CurrentProcessId());
    std::string bytes = "mapped\0bytes";
    bytes.append(10000, 'x');
    std::ofstream(std::filesystem::u8path(path), std::ios::binary) << bytes;
    {
        MappedFile file(path);
        ASSERT_EQ(file.Size(), bytes.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.Data()), file.Size()), bytes);
        ReleaseMappedPages(file.Data(), file.Size());
        EXPECT_EQ(file.Data()[9999], 'x'); // read back from the file
    }
    std::filesystem::remove(std::filesystem::u8path(path));
    try {
        MappedFile missing(path);
        FAIL() << "a missing file was mapped";
    } catch (const EMapError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
}

// A 2 x 1 icon of 32-bit pixels (blue, red) as an .ico file.
std::string TwoPixelIcon() {
    auto le = [](std::string& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    std::string image;
    le(image, 40, 4); // BITMAPINFOHEADER: size, width, height (doubled: colour and mask)
    le(image, 2, 4);
    le(image, 2, 4);
    le(image, 1, 2); // planes, bits
    le(image, 32, 2);
    for (int i = 0; i < 6; ++i) // compression, image size, resolutions, colours
        le(image, 0, 4);
    le(image, 0xFF0000FF, 4); // BGRA rows, bottom up
    le(image, 0xFFFF0000, 4);
    le(image, 0, 4); // the AND mask: one row, padded to 32 bits
    std::string file;
    le(file, 0, 2); // ICONDIR: reserved, type 1 (icon), one image
    le(file, 1, 2);
    le(file, 1, 2);
    file += '\x02';
    file += '\x01';
    le(file, 0, 2); // colours, reserved
    le(file, 1, 2); // planes, bits
    le(file, 32, 2);
    le(file, static_cast<std::uint32_t>(image.size()), 4);
    le(file, 22, 4);
    return file + image;
}

TEST(Win32Images, IconAndPngAreScaledIntoPng) {
    auto pngSide = [](const std::string& png) {
        return png.size() > 24 && png.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0
                   ? (static_cast<unsigned char>(png[18]) << 8) | static_cast<unsigned char>(png[19])
                   : -1;
    };
    std::string png;
    ASSERT_TRUE(ImageToPng(TwoPixelIcon(), 16, png));
    EXPECT_EQ(pngSide(png), 16);
    std::string again;
    ASSERT_TRUE(ImageToPng(png, 48, again));
    EXPECT_EQ(pngSide(again), 48);
    EXPECT_FALSE(ImageToPng(png, 0, again));
    EXPECT_FALSE(ImageToPng(png, 1025, again));
    EXPECT_FALSE(ImageToPng("not an image at all", 16, again));
    EXPECT_FALSE(ImageToPng(png.substr(0, 40), 16, again));
}

TEST(Win32Shell, OpenStartsProgramsWithTheirParametersAndReportsMissingItems) {
    std::string out = TempFolderPath() + "\\norvane-shell-" + std::to_string(CurrentProcessId()) + ".txt";
    std::filesystem::remove(out);
    ASSERT_TRUE(ShellExecute(FindProgram("cmd"), "/C echo opened> \"" + out + "\"")) << LastErrorMessage();
    auto written = [&] {
        std::error_code ec;
        auto size = std::filesystem::file_size(out, ec);
        return ec ? 0 : size;
    };
    for (int i = 0; i < 100 && written() < 6; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line.substr(0, 6), "opened");
    in.close();
    std::filesystem::remove(out);

    EXPECT_FALSE(ShellExecute(TempFolderPath() + "\\norvane-no-such-document.txt", ""));
    EXPECT_NE(LastErrorCode(), 0);
    EXPECT_EQ(FileUri("C:\\a b\\c.txt"), "file:///C:/a%20b/c.txt");
}
