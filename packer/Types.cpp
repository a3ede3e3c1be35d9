// norvane-pack types: TypeScript declarations of window.qvx for editors. The
// functions, whether they take an argument object and whether they work only
// in a packaged application come from the dispatcher's registration table
// (generated into BridgeTable.inc at configure time); the shapes of the
// arguments and results and the comments are kept here by function name.
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
};

const TBridgeEntry BridgeTable[] = {
#include "packer/BridgeTable.inc"
};

struct TShape {
    const char* Arguments; // the argument object's type
    const char* Result;    // what the promise resolves with
    const char* Comment;
};

const std::map<std::string, TShape>& Shapes() {
    static const std::map<std::string, TShape> shapes = {
        {"qvx.hello", {"", "string", "The bridge's version text."}},
        {"qvx.isRuntime", {"", "boolean", "True inside a packaged application, false in a preview host."}},
        {"qvx.system.logoff", {"", "true", "Logs the user off; rejects with the system's error text."}},
        {"qvx.system.reboot", {"", "true", "Restarts the computer; rejects with the system's error text."}},
        {"qvx.system.shutdown",
         {"", "true", "Shuts the computer down; rejects with the system's error text."}},
        {"qvx.mainMenu.setItems",
         {"{ items: string }", "true",
          "Replaces the main window's menu; items is JSON.stringify of a QvxMenuItem array."}},
        {"qvx.mainMenu.updateItem",
         {"{ id: number | string; caption?: string; enabled?: boolean | string | number }", "true",
          "Changes the caption or enabled state of the menu item with that id."}},
        {"qvx.dialogs.openFile",
         {"{ fileName?: string; title?: string; fileTypes?: string }", "string",
          "Shows the open dialog; the chosen path, or \"\" when cancelled. fileTypes: \"Name|*.ext;...\"."}},
        {"qvx.dialogs.saveFile",
         {"{ fileName?: string; title?: string; fileTypes?: string; overwritePrompt?: boolean }", "string",
          "Shows the save dialog; the chosen path, or \"\" when cancelled."}},
        {"qvx.files.fileExists",
         {"{ filePath: string }", "boolean",
          "Whether a file exists; relative paths start at the program's folder."}},
        {"qvx.files.deleteFile",
         {"{ filePath: string }", "boolean", "Deletes one file; false when it could not."}},
        {"qvx.files.writeTextFile",
         {"{ filePath: string; contents: string }", "true",
          "Writes the text as UTF-8 with CR LF line ends, creating missing folders."}},
        {"qvx.files.extractFile",
         {"{ sourceFile: string; targetFile: string }", "true",
          "Copies a file of the application folder (\"/name\") out of the package to targetFile."}},
        {"qvx.folders.dirExists", {"{ dirPath: string }", "boolean", "Whether a folder exists."}},
        {"qvx.folders.deleteDir",
         {"{ dirPath: string }", "boolean",
          "Deletes a folder with all its contents; false when it could not."}},
        {"qvx.folders.getTempDir", {"", "string", "The user's temporary folder, ending in a separator."}},
        {"qvx.folders.getUserDocumentsDir",
         {"", "string", "The user's documents folder, ending in a separator."}},
        {"qvx.folders.getUserDesktopDir",
         {"", "string", "The user's desktop folder, ending in a separator."}},
        {"qvx.folders.getAppExecutableDir", {"", "string", "The program's folder, ending in a separator."}},
        {"qvx.folders.getAppDataDir",
         {"", "string", "The user's application-data folder, ending in a separator."}},
        {"qvx.app.close",
         {"", "never", "Closes the application (asking the page's onCloseQuery); no reply."}},
        {"qvx.app.inFullscreen", {"", "boolean", "Whether the main window is in full screen."}},
        {"qvx.app.enterFullscreen", {"", "never", "Puts the main window into full screen; no reply."}},
        {"qvx.app.exitFullscreen", {"", "never", "Takes the main window out of full screen; no reply."}},
        {"qvx.app.getArgs", {"", "string[]", "The command line: the program, then its arguments."}},
        {"qvx.window.getStyle", {"", "\"ontop\" | \"normal\"", "Whether the main window stays on top."}},
        {"qvx.window.setStyle",
         {"{ style?: \"ontop\" | \"normal\" | string }", "true",
          "Makes the main window stay on top or not."}},
        {"qvx.window.getState",
         {"", "\"normal\" | \"minimized\" | \"maximized\"", "The main window's state."}},
        {"qvx.window.setState",
         {"{ state?: \"normal\" | \"minimized\" | \"maximized\" | string }", "true",
          "Sets the main window's state; other texts change nothing."}},
        {"qvx.window.getTitle", {"", "string", "The main window's title."}},
        {"qvx.window.setTitle", {"{ title: string }", "true", "Sets the main window's title."}},
        {"qvx.window.getZoom", {"", "string", "The page's zoom factor as text (1 = 100 %)."}},
        {"qvx.window.setZoom",
         {"{ factor: number | string }", "boolean", "Sets the zoom factor; false when it is not a number."}},
        {"qvx.shell.execute",
         {"{ filePath: string; arguments?: string }", "true",
          "Opens a file, folder or address with its program, or starts a program."}},
        {"qvx.shell.explore", {"{ filePath: string }", "true", "Shows the file in the file manager."}},
        {"qvx.shell.command",
         {"{ command: string; workingDir?: string; showWindow?: boolean | string }", "string",
          "Runs a command line and resolves with everything it printed."}},
        {"qvx.shell.windows", {"", "string[]", "The titles of the desktop's windows."}},
        {"qvx.themes.getTheme", {"", "string", "The name of the active visual theme."}},
        {"qvx.themes.getThemes", {"", "string[]", "The names of the visual themes."}},
        {"qvx.themes.setTheme",
         {"{ name: string }", "boolean", "Switches to a visual theme; false when unknown."}},
        {"qvx.base64.decodeToFile",
         {"{ filePath: string; contents: string }", "true", "Writes the bytes of base64 text to a file."}},
    };
    return shapes;
}

std::string InterfaceName(const std::string& Group) {
    std::string name = "Qvx";
    name += static_cast<char>(Group[0] >= 'a' && Group[0] <= 'z' ? Group[0] - 32 : Group[0]);
    return name + Group.substr(1);
}

std::string Declaration(const TBridgeEntry& Entry, const std::string& Member, const std::string& Indent) {
    auto found = Shapes().find(Entry.Name);
    TShape shape = found != Shapes().end() ? found->second
                                           : TShape{Entry.TakesArguments ? "Record<string, unknown>" : "",
                                                    "unknown", "(undocumented)"};
    std::string comment = std::string(shape.Comment) + " (function " + std::to_string(Entry.Id) + ")";
    if (Entry.RuntimeOnly)
        comment += " Runtime only: refused outside a packaged application. @runtimeOnly";
    std::string parameters = Entry.TakesArguments ? std::string("args: ") + shape.Arguments : "";
    return Indent + "/** " + comment + " */\n" + Indent + Member + "(" + parameters + "): Promise<" +
           shape.Result + ">;\n";
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
    out += "/** Called by the host; a page may replace either handler. */\n"
           "interface QvxEvents {\n"
           "    /** The user asked to close the main window; the default closes the application. */\n"
           "    onCloseQuery: () => void;\n"
           "    /** A menu item without a submenu was clicked; itemId is its id. */\n"
           "    onMainMenuItemClick: (itemId: number) => void;\n"
           "}\n\n"
           "interface Qvx {\n"
           "    /** Posts a request by function number; the named functions below use it. */\n"
           "    call(funcID: number, args?: object): Promise<unknown>;\n" +
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
