// gen_manpages.cpp -- writes the manual pages maze(6) and maze-server(6).
// Their OPTIONS sections come from the programs' own option tables, so a
// page lists every option with its default and range as --help does; the
// other sections are written here.
//
// Usage: gen_manpages OUTDIR   writes OUTDIR/maze.6 and OUTDIR/maze-server.6
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "net/server_main/maze_server_options.h"
#include "render/help.h"
#include "shell/maze_options.h"
#include "tools/write_file.h"

namespace {

// Escapes text for troff: backslashes, and dashes that are not hyphens
// (lintian asks for \- in option names); a leading dot or quote is guarded.
std::string roff(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string optionsSection(const cli::Command& command) {
    std::string s = ".SH OPTIONS\n";
    for (const cli::Option& o : command.options) {
        std::vector<std::string> forms;
        const std::string value = o.kind == cli::Kind::Flag ? "" : std::string(o.valueName);
        if (o.forms & cli::kPositional) forms.push_back("\\fI" + roff(value) + "\\fR");
        if (o.forms & cli::kLong)
            forms.push_back("\\fB\\-\\-" + roff(o.name) + "\\fR" + (value.empty() ? "" : " \\fI" + roff(value) + "\\fR"));
        if (o.forms & cli::kWord) forms.push_back("\\fB" + roff(o.name) + "=\\fR\\fI" + roff(value) + "\\fR");
        s += ".TP\n";
        for (size_t i = 0; i < forms.size(); ++i) s += (i ? ", " : "") + forms[i];
        s += "\n" + roff(o.help);
        if (o.kind == cli::Kind::Integer || o.kind == cli::Kind::Real)
            s += " (" + roff(number(o.min)) + " to " + roff(number(o.max)) + ")";
        if (o.kind == cli::Kind::Choice) s += " (one of: " + roff(o.choices) + ")";
        if (o.defaultValue != nullptr) s += "; default " + roff(o.defaultValue);
        else if (o.defaultShown != nullptr) s += "; default " + roff(o.defaultShown);
        s += ".\n";
    }
    s += ".TP\n\\fB\\-\\-help\\fR\nPrint the usage, every option with its default, and exit.\n";
    s += ".TP\n\\fB\\-\\-version\\fR\nPrint the version and exit.\n";
    return s;
}

std::string header(const char* name, const char* what) {
    return std::string(".TH ") + roff(name) + " 6 \"\" \"maze " + cli::version() + "\" \"Games\"\n.SH NAME\n" +
           roff(name) + " \\- " + what + "\n";
}

const char* const kFiles =
    ".SH FILES\n"
    "The game reads its level \\fIkorvath.map\\fR and its generated data (textures, meshes, prey poses,\n"
    "sounds) from the first of these folders that holds the level: the working directory,\n"
    "\\fIdata/\\fR beside the program, \\fI../share/maze\\fR beside the program's folder, then\n"
    "\\fImaze/\\fR under each folder of \\fB$XDG_DATA_DIRS\\fR (by default \\fI/usr/local/share\\fR and\n"
    "\\fI/usr/share\\fR). It prints the folder it uses, or one line saying where it looked.\n";

const char* const kNetwork =
    ".SH NETWORK\n"
    "Server and clients speak over UDP, port 9899 by default. A client accepts datagrams only from\n"
    "the server it joined; the server runs the rules and sends every client the world 100 times a\n"
    "second. Up to eight clients join one server.\n";

std::string mazePage() {
    std::string s = header("maze", "a networked first\\-person combat game in a maze");
    s += ".SH SYNOPSIS\n\\fBmaze\\fR [\\fIOPTION\\fR]... [\\fIHOST\\fR]\n";
    s += ".SH DESCRIPTION\n"
         "Players steer fighters through the corridors of a maze, shoot the two\\-legged prey that roam,\n"
         "hunt and shoot back, and score a point for every prey destroyed.\n"
         "Without \\fIHOST\\fR the game is the server and its first player; with one it joins the\n"
         "server on \\fIHOST\\fR (a name or a dotted address) as a client. Options do not count as the host.\n";
    s += optionsSection(kMazeCommand);
    // The same key table as the F1 panel and the README.
    s += ".SH KEYS\n";
    for (const KeyHelp& k : kKeyHelp) s += ".TP\n\\fB" + roff(k.keys) + "\\fR\n" + roff(k.action) + ".\n";
    s += ".PP\nThe right mouse button opens the menu:";
    for (const char* label : kMainMenuLabels) s += std::string(label == kMainMenuLabels[0] ? " " : ", ") + "\\(lq" + roff(label) + "\\(rq";
    s += ".\n";
    s += kFiles;
    s += ".PP\nThe player's choices (sound, level of detail, window size, fullscreen) are kept in\n"
         "\\fI$XDG_CONFIG_HOME/maze/settings\\fR (by default \\fI~/.config/maze/settings\\fR), a short\n"
         "text file of \\fIname\\fR = \\fIvalue\\fR lines the game rewrites whenever one changes.\n";
    s += kNetwork;
    s += ".SH EXIT STATUS\n"
         ".TP\n0\nThe player quit (q, the menu, Ctrl\\-C or SIGTERM); the game printed \\(lqGood\\-Bye\\(rq.\n"
         ".TP\n1\nThe level was not found or not usable, or a data file was missing.\n"
         ".TP\n2\nA misspelt or malformed option.\n"
         ".TP\n255\nA client could not join (no answer, the server full, another level, a host that\n"
         "cannot be found) or lost its server.\n";
    s += ".SH SEE ALSO\n\\fBmaze\\-server\\fR(6)\n";
    return s;
}

std::string serverPage() {
    std::string s = header("maze-server", "the maze game's server without a window");
    s += ".SH SYNOPSIS\n\\fBmaze\\-server\\fR [\\fIOPTION\\fR]...\n";
    s += ".SH DESCRIPTION\n"
         "Runs the game's rules and serves up to eight clients (\\fBmaze\\fR \\fIHOST\\fR) without a\n"
         "window, GL or sound: for a host on a LAN that only serves. Its own fighter stands at the\n"
         "first start. It ends on Ctrl\\-C or SIGTERM.\n";
    s += optionsSection(kMazeServerCommand);
    s += kFiles;
    s += kNetwork;
    s += ".SH EXIT STATUS\n"
         ".TP\n0\nEnded by Ctrl\\-C or SIGTERM.\n"
         ".TP\n1\nThe level was not found or not usable, or the port could not be taken.\n"
         ".TP\n2\nA misspelt or malformed option.\n";
    s += ".SH SEE ALSO\n\\fBmaze\\fR(6)\n";
    return s;
}

std::vector<uint8_t> bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_manpages OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    return writeFile(dir + "/maze.6", bytes(mazePage())) && writeFile(dir + "/maze-server.6", bytes(serverPage())) ? 0 : 1;
}
