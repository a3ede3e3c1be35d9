// norvane-pack types: TypeScript declarations of window.qvx for editors, from
// the bridge's function table (shared/bridge/Functions.json, generated into
// bridge/BridgeTable.inc at build time): the functions, their argument
// objects, results and descriptions, and which work only in a packaged
// application.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "packer/Commands.h"

namespace Norvane::Packer {
namespace {

struct TBridgeEntry {
    int Id;
    const char* Name;
    bool TakesArguments;
    bool RuntimeOnly;
    const char* Arguments; // the argument object's type
    const char* Result;    // what the promise resolves with
    const char* Comment;
};

const TBridgeEntry BridgeTable[] = {
#define NORVANE_BRIDGE_FUNCTION(Id, Name, TakesArguments, RuntimeOnly, Refusal, Handler, Arguments, Result,  \
                                Description)                                                                 \
    {Id, Name, TakesArguments, RuntimeOnly, Arguments, Result, Description},
#include "bridge/BridgeTable.inc"
#undef NORVANE_BRIDGE_FUNCTION
};

std::string InterfaceName(const std::string& Group) {
    std::string name = "Qvx";
    name += static_cast<char>(Group[0] >= 'a' && Group[0] <= 'z' ? Group[0] - 32 : Group[0]);
    return name + Group.substr(1);
}

std::string Declaration(const TBridgeEntry& Entry, const std::string& Member, const std::string& Indent) {
    std::string comment = std::string(Entry.Comment) + " (function " + std::to_string(Entry.Id) + ")";
    if (Entry.RuntimeOnly)
        comment += " Runtime only: refused outside a packaged application. @runtimeOnly";
    std::string parameters = Entry.TakesArguments ? std::string("args: ") + Entry.Arguments : "";
    return Indent + "/** " + comment + " */\n" + Indent + Member + "(" + parameters + "): Promise<" +
           Entry.Result + ">;\n";
}

} // namespace

void PrintTypes() {
    std::string top;
    std::map<std::string, std::string> groups; // member name -> its declarations
    std::vector<std::string> order;
    for (const auto& entry : BridgeTable) {
        std::string path = std::string(entry.Name).substr(4); // without "qvx."
        auto dot = path.find('.');
        if (dot == std::string::npos) {
            top += Declaration(entry, path, "    ");
            continue;
        }
        std::string group = path.substr(0, dot);
        if (!groups.count(group))
            order.push_back(group);
        groups[group] += Declaration(entry, path.substr(dot + 1), "    ");
    }
    std::string out = "// qvx.d.ts: declarations of window.qvx, the bridge between a page and the\n"
                      "// Norvane runtime, written by \"norvane-pack types\". Every function returns a\n"
                      "// promise of the host's reply; \"@runtimeOnly\" functions work only inside a\n"
                      "// packaged application.\n\n"
                      "/** One menu item for qvx.mainMenu.setItems. */\n"
                      "interface QvxMenuItem {\n"
                      "    id: number | string;\n"
                      "    caption: string;\n"
                      "    enabled?: boolean | string | number;\n"
                      "    /** The item's picture. */\n"
                      "    image?: string;\n"
                      "    items?: QvxMenuItem[];\n"
                      "}\n\n";
    for (const auto& group : order)
        out += "interface " + InterfaceName(group) + " {\n" + groups[group] + "}\n\n";
    out += "/** Called by the host; a page may replace any handler. */\n"
           "interface QvxEvents {\n"
           "    /** The user asked to close the main window; the default closes the application. */\n"
           "    onCloseQuery: () => void;\n"
           "    /** A menu item without a submenu was clicked; itemId is its id. */\n"
           "    onMainMenuItemClick: (itemId: number) => void;\n"
           "    /** A process of qvx.process.spawn printed text (UTF-8 decoded, at most 16 KiB a call, in "
           "order). */\n"
           "    onProcessOutput: (id: number, stream: \"stdout\" | \"stderr\", text: string) => void;\n"
           "    /** The process ended after its last output; code is its exit code. */\n"
           "    onProcessExit: (id: number, code: number) => void;\n"
           "    /** The window's size changed (reported once it stays for 150 ms). */\n"
           "    onWindowResize: (width: number, height: number) => void;\n"
           "    /** The window moved (reported once it stays for 150 ms). */\n"
           "    onWindowMove: (left: number, top: number) => void;\n"
           "    /** The window was minimized, maximized or restored. */\n"
           "    onWindowStateChange: (state: \"normal\" | \"minimized\" | \"maximized\") => void;\n"
           "    /** The window became active or not. */\n"
           "    onWindowFocus: (focused: boolean) => void;\n"
           "    /** The application was started again; the arguments of that start. */\n"
           "    onSecondInstance: (args: string[]) => void;\n"
           "    /** The user dropped local files on the window; their paths, in the drop's order. */\n"
           "    onFilesDropped: (paths: string[]) => void;\n"
           "    /** The desktop's or the application's theme changed; the active theme's name. */\n"
           "    onThemeChange: (theme: string) => void;\n"
           "}\n\n"
           "interface Qvx {\n"
           "    /** Posts a request by function number; the named functions below use it. */\n"
           "    call(funcID: number, args?: object): Promise<unknown>;\n"
           "    /** Carries readBinaryFile: the call's one-time address fetched. */\n"
           "    readThroughTransfer(funcID: number, args?: object): Promise<ArrayBuffer>;\n"
           "    /** Carries writeBinaryFile: the bytes posted to the call's one-time address. */\n"
           "    writeThroughTransfer(funcID: number, args?: object): Promise<true>;\n" +
           top;
    for (const auto& group : order)
        out += "    " + group + ": " + InterfaceName(group) + ";\n";
    out += "    events: QvxEvents;\n"
           "}\n\n"
           "interface Window {\n"
           "    qvx: Qvx;\n"
           "}\n\n"
           "declare var qvx: Qvx;\n";
    std::fputs(out.c_str(), stdout);
}

} // namespace Norvane::Packer
