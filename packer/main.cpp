// norvane-pack: makes a packaged application from a folder of pages and a
// settings file, and inspects the payload of packaged applications.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "packer/Commands.h"
#include "packer/PackError.h"
#include "platform/Interrupts.h"
#include "platform/Process.h"

namespace {

using namespace Norvane::Packer;

const char* const Usage =
    "usage:\n"
    "  norvane-pack build --app DIR --ini FILE [--script FILE] [--loader FILE]\n"
    "                     [--installer FILE] [--runtime FILE] [--deflate]\n"
    "                     [--icon FILE.ico] [--version-info NAME=VALUE]... -o OUT\n"
    "      packs the application folder DIR and the settings FILE into OUT, a copy of\n"
    "      the runtime with the payload archive appended. A Portable Executable\n"
    "      runtime gets the icon and version texts as resources; the Linux runtime\n"
    "      gets the icon as a payload entry for its windows. NAME is one of\n"
    "      CompanyName FileDescription FileVersion InternalName LegalCopyright\n"
    "      LegalTrademarks OriginalFileName ProgramID ProductName ProductVersion Comments\n"
    "  norvane-pack run [--watch] --app DIR --ini FILE [build options, no -o] [-- ARGS...]\n"
    "      packs into a temporary folder, runs the result with ARGS, removes it and\n"
    "      ends with the application's exit code; with --watch, packs again on every\n"
    "      saved change of DIR, FILE or the script and reloads the page (restarts\n"
    "      the application when FILE or the script changed)\n"
    "  norvane-pack list EXE           lists the entries of EXE's payload\n"
    "  norvane-pack cat EXE ENTRY      writes one entry's bytes to standard output\n"
    "  norvane-pack extract EXE ZIP    writes EXE's payload as a stand-alone ZIP file\n"
    "  norvane-pack desktop EXE [--install | -o DIR] [--name N] [--comment C]\n"
    "                       [--categories C] [--icon FILE.ico]\n"
    "      writes applications/ID.desktop and icons/hicolor/NxN/apps/ID.png into DIR\n"
    "      (default: here), or with --install into the user's data folder\n"
    "  norvane-pack types              prints qvx.d.ts, TypeScript declarations of window.qvx\n"
    "  norvane-pack themes [--preview DIR]\n"
    "      lists the visual styles (Theme= of the settings); with --preview, writes\n"
    "      a picture of each style to DIR as <style name>.png\n";

TBuildOptions ParseBuild(const std::vector<std::string>& args) {
    TBuildOptions options;
    std::string versionInfo;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        if (name == "--deflate") {
            if (inlineValue)
                throw EUsageError("--deflate takes no value");
            options.Deflate = true;
            continue;
        }
        std::string* target = nullptr;
        if (name == "--app")
            target = &options.AppDir;
        else if (name == "--ini")
            target = &options.IniFile;
        else if (name == "--script")
            target = &options.ScriptFile;
        else if (name == "--loader")
            target = &options.LoaderFile;
        else if (name == "--installer")
            target = &options.InstallerFile;
        else if (name == "--runtime")
            target = &options.RuntimeFile;
        else if (name == "--icon")
            target = &options.IconFile;
        else if (name == "--version-info")
            target = &versionInfo;
        else if (name == "-o" || name == "--output")
            target = &options.Output;
        else
            throw EUsageError("unknown option \"" + args[i] + "\" for build");
        if (!inlineValue) {
            if (i + 1 >= args.size())
                throw EUsageError(name + " needs a value");
            value = args[++i];
        }
        if (value.empty())
            throw EUsageError(name + " needs a non-empty value");
        *target = value;
        if (target == &versionInfo)
            AddVersionInfo(options, value);
    }
    return options;
}

void RequireArguments(const std::string& command, const std::vector<std::string>& args, std::size_t count) {
    if (args.size() != count)
        throw EUsageError(command + " takes " + std::to_string(count) + " argument" +
                          (count == 1 ? "" : "s"));
}

int Run(const std::vector<std::string>& argv) {
    if (argv.empty())
        throw EUsageError("no command given");
    const std::string& command = argv[0];
    std::vector<std::string> args(argv.begin() + 1, argv.end());
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (command == "build") {
        BuildPackage(ParseBuild(args));
    } else if (command == "run") {
        auto split = std::find(args.begin(), args.end(), "--");
        std::vector<std::string> appArguments(split == args.end() ? split : split + 1, args.end());
        std::vector<std::string> options(args.begin(), split);
        auto watch = std::remove(options.begin(), options.end(), "--watch");
        const bool watching = watch != options.end();
        options.erase(watch, options.end());
        return RunPackage(ParseBuild(options), appArguments, watching);
    } else if (command == "list") {
        RequireArguments(command, args, 1);
        ListPayload(args[0]);
    } else if (command == "cat") {
        RequireArguments(command, args, 2);
        CatEntry(args[0], args[1]);
    } else if (command == "types") {
        RequireArguments(command, args, 0);
        PrintTypes();
    } else if (command == "desktop") {
        DesktopCommand(args);
    } else if (command == "extract") {
        RequireArguments(command, args, 2);
        ExtractPayload(args[0], args[1]);
    } else if (command == "themes") {
        if (args.empty())
            ListThemes();
        else if (args.size() == 2 && args[0] == "--preview" && !args[1].empty())
            WriteThemePreviews(args[1]);
        else
            throw EUsageError("themes takes nothing or --preview DIR");
    } else {
        throw EUsageError("unknown command \"" + command + "\"");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // As UTF-8, as all text is (argv holds the arguments in the ANSI code page).
    (void)argc;
    (void)argv;
    std::vector<std::string> args = Norvane::Platform::ProcessArguments();
#else
    std::vector<std::string> args(argv + 1, argv + argc);
#endif
    try {
        return Run(args);
    } catch (const EUsageError& e) {
        std::fprintf(stderr, "norvane-pack: %s\n%s", e.what(), Usage);
        return 2;
    } catch (const std::exception& e) {
        Norvane::Platform::EndIfInterrupted(); // its files are removed: end as asked
        std::fprintf(stderr, "norvane-pack: error: %s\n", e.what());
        return 1;
    }
}
