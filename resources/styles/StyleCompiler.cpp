// Builds a style file from its readable source: the style's header fields,
// colours and metrics (one "key = value" per line, "#" starts a comment),
// with the colours a source leaves out worked out from the ones it gives, and
// the window-parts and menu sheets filled in from the sheet templates.
//
//   norvane-stylec WINDOW_SHEET.css MENU_SHEET.css SOURCE.style OUTPUT
#include "shared/StyleFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

using Norvane::Shared::TStyleFile;

struct TColour {
    double R, G, B;
};

TColour ParseColour(const std::string& Key, const std::string& Text) {
    unsigned r, g, b;
    char tail;
    if (Text.size() != 7 || std::sscanf(Text.c_str(), "#%2x%2x%2x%c", &r, &g, &b, &tail) != 3)
        throw std::runtime_error(Key + ": \"" + Text + "\" is not a colour #rrggbb");
    return {double(r), double(g), double(b)};
}

std::string Format(TColour C) {
    char out[8];
    auto ch = [](double v) { return static_cast<unsigned>(std::lround(std::clamp(v, 0.0, 255.0))); };
    std::snprintf(out, sizeof out, "#%02x%02x%02x", ch(C.R), ch(C.G), ch(C.B));
    return out;
}

TColour Mix(TColour A, TColour B, double T) {
    return {A.R + (B.R - A.R) * T, A.G + (B.G - A.G) * T, A.B + (B.B - A.B) * T};
}

// Black or white, whichever reads better on C.
TColour Contrast(TColour C) {
    double luma = 0.299 * C.R + 0.587 * C.G + 0.114 * C.B;
    return luma > 150 ? TColour{0, 0, 0} : TColour{255, 255, 255};
}

std::string Trim(const std::string& S) {
    auto b = S.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    return S.substr(b, S.find_last_not_of(" \t\r") - b + 1);
}

std::string ReadFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + Path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The colours every source gives, and how the others follow from them.
const char* const Required[] = {"window", "text",       "caption", "captiontext", "frame",
                                "button", "buttontext", "edit",    "edittext",    "accent"};

void Derive(std::map<std::string, std::string>& P) {
    auto c = [&](const char* k) { return ParseColour(k, P.at(k)); };
    auto def = [&](const char* k, auto make) {
        if (!P.count(k))
            P[k] = Format(make());
    };
    def("caption2", [&] { return c("caption"); });
    def("captioninactive", [&] { return Mix(c("caption"), c("window"), 0.5); });
    def("captiontextinactive", [&] { return Mix(c("captiontext"), c("captioninactive"), 0.45); });
    def("captionbuttonhot", [&] { return Mix(c("caption"), c("captiontext"), 0.2); });
    def("buttonhot", [&] { return Mix(c("button"), c("accent"), 0.25); });
    def("buttonpressed", [&] { return Mix(c("button"), c("accent"), 0.5); });
    def("buttonborder", [&] { return Mix(c("button"), c("text"), 0.35); });
    def("editborder", [&] { return Mix(c("edit"), c("edittext"), 0.35); });
    def("selectiontext", [&] { return Contrast(c("accent")); });
    def("disabledtext", [&] { return Mix(c("text"), c("window"), 0.5); });
    def("scrolltrack", [&] { return Mix(c("window"), c("text"), 0.06); });
    def("scrollthumb", [&] { return Mix(c("window"), c("text"), 0.35); });
    def("scrollthumbhot", [&] { return c("accent"); });
    def("tooltip", [&] { return Mix(c("window"), c("text"), 0.08); });
    def("tooltiptext", [&] { return c("text"); });
    def("menubar", [&] { return c("window"); });
    def("menubartext", [&] { return c("text"); });
    def("menuhot", [&] { return c("accent"); });
    def("menuhottext", [&] { return c("selectiontext"); });
    for (auto& [key, value] : P)
        if (key != "captionheight" && key != "framewidth" && key != "radius")
            ParseColour(key, value);
    auto metric = [&](const char* k, int fallback, int lo, int hi) {
        if (!P.count(k))
            P[k] = std::to_string(fallback);
        int v = std::stoi(P[k]);
        if (v < lo || v > hi)
            throw std::runtime_error(std::string(k) + " must lie in " + std::to_string(lo) + ".." +
                                     std::to_string(hi));
    };
    metric("captionheight", 30, 18, 48);
    metric("framewidth", 4, 0, 12);
    metric("radius", 3, 0, 12);
}

// The template with every ${key} replaced by the property's value.
std::string Fill(const std::string& Template, const std::map<std::string, std::string>& P) {
    std::string out;
    for (std::size_t i = 0; i < Template.size();) {
        auto open = Template.find("${", i);
        if (open == std::string::npos) {
            out += Template.substr(i);
            break;
        }
        auto close = Template.find('}', open);
        if (close == std::string::npos)
            throw std::runtime_error("unclosed ${ in a sheet template");
        std::string key = Template.substr(open + 2, close - open - 2);
        auto it = P.find(key);
        if (it == P.end())
            throw std::runtime_error("the sheet template uses ${" + key + "}, which the style lacks");
        out += Template.substr(i, open - i) + it->second;
        i = close + 1;
    }
    return out;
}

TStyleFile Compile(const std::string& WindowSheet, const std::string& MenuSheet, const std::string& Source) {
    TStyleFile style;
    style.Author = "Norvane";
    style.AuthorEMail = "styles@norvane.dev";
    style.AuthorUrl = "https://norvane.dev/styles";
    std::map<std::string, std::string> props;
    std::string extra;
    std::istringstream lines(Source);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        auto eq = line.find('=');
        if (eq == std::string::npos)
            throw std::runtime_error("line " + std::to_string(number) + ": no \"=\"");
        std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
        if (key == "name")
            style.Name = value;
        else if (key == "version")
            style.Version = value;
        else if (key == "author")
            style.Author = value;
        else if (key == "sheet")
            extra += value + "\n";
        else if (!props.emplace(key, value).second)
            throw std::runtime_error("line " + std::to_string(number) + ": " + key + " given twice");
    }
    if (style.Name.empty() || style.Version.empty())
        throw std::runtime_error("the style needs a name and a version");
    for (const char* k : Required)
        if (!props.count(k))
            throw std::runtime_error(std::string("the style lacks the colour ") + k);
    Derive(props);
    std::map<std::string, std::string> fill = props;
    style.Properties = props;
    style.Properties["css"] = Fill(WindowSheet, fill) + (extra.empty() ? "" : Fill(extra, fill));
    style.Properties["menucss"] = Fill(MenuSheet, fill);
    return style;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: norvane-stylec WINDOW_SHEET.css MENU_SHEET.css SOURCE.style OUTPUT\n";
        return 2;
    }
    try {
        TStyleFile style = Compile(ReadFile(argv[1]), ReadFile(argv[2]), ReadFile(argv[3]));
        std::string bytes = Norvane::Shared::WriteStyleFile(style);
        // Read back, so a file the runtime cannot read never gets built in.
        if (Norvane::Shared::ReadStyleFile(bytes).Name != style.Name)
            throw std::runtime_error("the written file does not read back");
        std::ofstream out(argv[4], std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            throw std::runtime_error(std::string("cannot write ") + argv[4]);
    } catch (const std::exception& e) {
        std::cerr << argv[3] << ": " << e.what() << "\n";
        std::remove(argv[4]);
        return 1;
    }
    return 0;
}
