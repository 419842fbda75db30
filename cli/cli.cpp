// cli.cpp -- the option parser behind every maze program's command line.
#include "cli/cli.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/log.h"

#ifndef MAZE_VERSION
#error "MAZE_VERSION comes from CMakeLists.txt's project() version"
#endif

namespace cli {

namespace {

// Where an entry's value came from, for the messages: "--steps", "loss", "HOST".
std::string label(const Option& o, unsigned form) {
    if (form == kLong) return std::string("--") + o.name;
    if (form == kWord) return o.name;
    return o.valueName;
}

std::string rangeText(const Option& o) {
    char buf[96];
    if (o.kind == Kind::Integer)
        std::snprintf(buf, sizeof buf, "%lld to %lld", static_cast<long long>(o.min), static_cast<long long>(o.max));
    else
        std::snprintf(buf, sizeof buf, "%g to %g", o.min, o.max);
    return buf;
}

// The index of `word` among the '|'-separated choices, or -1.
int choiceIndex(const Option& o, std::string_view word) {
    std::string_view rest = o.choices;
    for (int i = 0;; ++i) {
        const size_t bar = rest.find('|');
        if (rest.substr(0, bar) == word) return i;
        if (bar == std::string_view::npos) return -1;
        rest.remove_prefix(bar + 1);
    }
}

// Checks `text` against the entry's kind and range and stores it; returns
// what is wrong ("" when it is fine). `shown` names the option as typed.
std::string store(const Option& o, std::string_view text, const std::string& shown, Value& v) {
    const std::string quoted = "'" + std::string(text) + "'";
    if (text.empty()) return shown + ": empty value";
    const char* first = text.data();
    const char* last = first + text.size();
    switch (o.kind) {
    case Kind::Flag:
        return shown + " takes no value";
    case Kind::Integer: {
        long long n = 0;
        const auto [end, ec] = std::from_chars(first, last, n);
        if (ec == std::errc::result_out_of_range) return shown + ": " + quoted + " is out of range " + rangeText(o);
        if (ec != std::errc() || end != last) return shown + ": " + quoted + " is not a whole number";
        if (static_cast<double>(n) < o.min || static_cast<double>(n) > o.max)
            return shown + ": " + quoted + " is out of range " + rangeText(o);
        v.integer = n;
        break;
    }
    case Kind::Real: {
        double x = 0.0;
        const auto [end, ec] = std::from_chars(first, last, x);
        if (ec == std::errc::result_out_of_range) return shown + ": " + quoted + " is out of range " + rangeText(o);
        if (ec != std::errc() || end != last || !std::isfinite(x)) return shown + ": " + quoted + " is not a number";
        if (x < o.min || x > o.max) return shown + ": " + quoted + " is out of range " + rangeText(o);
        v.real = x;
        break;
    }
    case Kind::Text:
        if (o.max > 0 && static_cast<double>(text.size()) > o.max)
            return shown + ": " + quoted + " is longer than " + std::to_string(static_cast<long long>(o.max)) +
                   " bytes";
        break;
    case Kind::HostPort: {
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos) break;
        if (text.find(':', colon + 1) != std::string_view::npos)
            return shown + ": " + quoted + " is not HOST or HOST:PORT";
        if (colon == 0) return shown + ": " + quoted + " has no host before the colon";
        const std::string_view port = text.substr(colon + 1);
        if (port.empty()) return shown + ": " + quoted + " has no port after the colon";
        long long n = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), n);
        if ((ec != std::errc() && ec != std::errc::result_out_of_range) || end != port.data() + port.size())
            return shown + ": " + quoted + " has no port number after the colon";
        if (ec == std::errc::result_out_of_range || n < 1 || n > 65535)
            return shown + ": " + quoted + " has a port out of range 1 to 65535";
        v.text = std::string(text.substr(0, colon));
        v.integer = n;
        return "";
    }
    case Kind::Choice: {
        const int i = choiceIndex(o, text);
        if (i < 0) return shown + ": " + quoted + " is not one of " + o.choices;
        v.integer = i;
        break;
    }
    }
    v.text = std::string(text);
    return "";
}

// The entry named `name` that may be given in `form`, or -1.
int find(const Command& c, std::string_view name, unsigned form) {
    for (size_t i = 0; i < c.options.size(); ++i)
        if ((c.options[i].forms & form) != 0 && name == c.options[i].name) return static_cast<int>(i);
    return -1;
}

bool anyWords(const Command& c) {
    return std::any_of(c.options.begin(), c.options.end(), [](const Option& o) { return (o.forms & kWord) != 0; });
}

// An argument that reads as an option rather than as the value of the one
// before it ("--quiet" after "--steps" means the value is missing).
bool looksLikeLongOption(std::string_view a) { return a.size() > 2 && a.substr(0, 2) == "--"; }

// Single-dash arguments are options we do not have, except a negative
// number or a lone "-".
bool looksLikeShortOption(std::string_view a) {
    return a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9') && a[1] != '.';
}

Parsed done(const Command& c, Outcome outcome, int status, std::string text) {
    Parsed p;
    p.command = &c;
    p.outcome = outcome;
    p.status = status;
    p.text = std::move(text);
    return p;
}

std::string leftColumn(const Option& o) {
    const std::string value = o.kind == Kind::Flag ? "" : o.valueName;
    std::string s;
    if ((o.forms & kLong) != 0) s = std::string("--") + o.name + (value.empty() ? "" : " " + value);
    if ((o.forms & kWord) != 0) s += (s.empty() ? "" : ", ") + std::string(o.name) + "=" + value;
    if (s.empty()) s = value;
    return s;
}

std::string rightColumn(const Option& o) {
    std::string s = o.help;
    std::string notes;
    if (o.kind == Kind::Integer || o.kind == Kind::Real) notes = rangeText(o);
    if (o.kind == Kind::Text && o.max > 0) notes = "at most " + std::to_string(static_cast<long long>(o.max)) + " bytes";
    const char* const shownDefault = o.defaultValue != nullptr ? o.defaultValue : o.defaultShown;
    if (shownDefault != nullptr && o.kind != Kind::Flag)
        notes += (notes.empty() ? "default " : "; default ") + std::string(shownDefault);
    if (!notes.empty()) s += " (" + notes + ")";
    return s;
}

// A port typed after a host's colon becomes the value of the host entry's
// port entry; typed both ways with two values, the command is refused.
Parsed takePortsFromHosts(const Command& c, Parsed p) {
    for (size_t i = 0; i < c.options.size(); ++i) {
        const Option& o = c.options[i];
        if (o.kind != Kind::HostPort || o.portEntry == nullptr || p.values[i].integer == 0) continue;
        const int j = find(c, o.portEntry, kLong | kWord | kPositional);
        if (j < 0) continue;
        Value& port = p.values[static_cast<size_t>(j)];
        if (port.given && port.integer != p.values[i].integer)
            return refuse(c, std::string("two ports: ") + o.valueName + " says " + std::to_string(p.values[i].integer) +
                                 ", " + label(c.options[static_cast<size_t>(j)], kLong) + " " + port.text);
        port.integer = p.values[i].integer;
        port.text = std::to_string(port.integer);
        port.given = true;
    }
    return p;
}

}  // namespace

Parsed refuse(const Command& command, const std::string& what) {
    return done(command, Outcome::Refused, 2,
                std::string(command.program) + ": " + what + "; see " + command.program + " --help\n");
}

std::string helpText(const Command& c) {
    std::string usage = std::string("usage: ") + c.program + " [OPTION]...";
    std::vector<std::pair<std::string, std::string>> arguments, options;
    for (const Option& o : c.options) {
        if ((o.forms & kPositional) != 0)
            usage += std::string(" ") + (o.required ? "" : "[") + o.valueName + (o.required ? "" : "]");
        if ((o.forms & (kLong | kWord)) == 0) arguments.emplace_back(o.valueName, rightColumn(o));
        else options.emplace_back(leftColumn(o), rightColumn(o));
    }
    options.emplace_back("--help", "print this help and exit");
    options.emplace_back("--version", "print the program's version and exit");
    size_t width = 0;
    for (const auto& row : arguments) width = std::max(width, row.first.size());
    for (const auto& row : options) width = std::max(width, row.first.size());
    const auto table = [&](const char* title, const std::vector<std::pair<std::string, std::string>>& rows) {
        std::string s = std::string("\n") + title + ":\n";
        for (const auto& [left, right] : rows) s += "  " + left + std::string(width + 3 - left.size(), ' ') + right + "\n";
        return s;
    };
    std::string s = usage + "\n" + c.summary + "\n";
    if (!arguments.empty()) s += table("Arguments", arguments);
    s += table("Options", options);
    return s;
}

Parsed parse(const Command& c, int argc, const char* const* argv) {
    Parsed p = done(c, Outcome::Run, 0, "");
    p.values.resize(c.options.size());
    for (size_t i = 0; i < c.options.size(); ++i) {
        const Option& o = c.options[i];
        if (o.defaultValue == nullptr) continue;
        if (const std::string bad = store(o, o.defaultValue, label(o, kLong), p.values[i]); !bad.empty())
            return refuse(c, "the default of " + bad);
    }
    std::vector<size_t> positional;
    for (size_t i = 0; i < c.options.size(); ++i)
        if ((c.options[i].forms & kPositional) != 0) positional.push_back(i);
    const bool words = anyWords(c);
    size_t nextPositional = 0;
    bool optionsEnded = false;

    // Stores `text` for entry i given in `form`; false (and p refused) when wrong.
    const auto set = [&](size_t i, std::string_view text, unsigned form) {
        const std::string bad = store(c.options[i], text, label(c.options[i], form), p.values[i]);
        if (!bad.empty()) {
            p = refuse(c, bad);
            return false;
        }
        p.values[i].given = true;
        return true;
    };

    for (int a = 1; a < argc; ++a) {
        const std::string_view arg = argv[a] != nullptr ? argv[a] : "";
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && looksLikeLongOption(arg)) {
            const std::string_view body = arg.substr(2);
            const size_t eq = body.find('=');
            const std::string_view name = body.substr(0, eq);
            const std::string shown = "--" + std::string(name);
            if (name == "help" || name == "version") {
                if (eq != std::string_view::npos) return refuse(c, shown + " takes no value");
                if (name == "help") return done(c, Outcome::Help, 0, helpText(c));
                return done(c, Outcome::Version, 0, std::string(c.program) + " " + version() + "\n");
            }
            const int i = find(c, name, kLong);
            if (i < 0) return refuse(c, "unknown option '" + shown + "'");
            const Option& o = c.options[static_cast<size_t>(i)];
            if (o.kind == Kind::Flag) {
                if (eq != std::string_view::npos) return refuse(c, shown + " takes no value");
                p.values[static_cast<size_t>(i)].given = true;
                p.values[static_cast<size_t>(i)].integer = 1;
                continue;
            }
            std::string_view value;
            if (eq != std::string_view::npos) {
                value = body.substr(eq + 1);
            } else if (a + 1 < argc && argv[a + 1] != nullptr && !looksLikeLongOption(argv[a + 1])) {
                value = argv[++a];
            } else {
                return refuse(c, shown + " needs a value " + o.valueName);
            }
            if (!set(static_cast<size_t>(i), value, kLong)) return p;
            continue;
        }
        if (!optionsEnded && looksLikeShortOption(arg)) return refuse(c, "unknown option '" + std::string(arg) + "'");
        const size_t eq = arg.find('=');
        if (!optionsEnded && eq != std::string_view::npos && words) {
            const int i = find(c, arg.substr(0, eq), kWord);
            if (i < 0) return refuse(c, "unknown option '" + std::string(arg) + "'");
            if (!set(static_cast<size_t>(i), arg.substr(eq + 1), kWord)) return p;
            continue;
        }
        if (nextPositional >= positional.size()) {
            std::string takes;
            for (const size_t i : positional) takes += std::string(takes.empty() ? "" : " ") + c.options[i].valueName;
            return refuse(c, "unexpected argument '" + std::string(arg) + "' (" +
                                 (takes.empty() ? "takes none" : "takes at most " + takes) + ")");
        }
        if (!set(positional[nextPositional++], arg, kPositional)) return p;
    }
    for (size_t n = nextPositional; n < positional.size(); ++n) {
        const Option& o = c.options[positional[n]];
        if (o.required && !p.values[positional[n]].given) return refuse(c, std::string("missing ") + o.valueName);
    }
    return takePortsFromHosts(c, p);
}

int finish(const Parsed& parsed) {
    std::FILE* const to = parsed.outcome == Outcome::Refused ? stderr : stdout;
    std::fputs(parsed.text.c_str(), to);
    std::fflush(to);
    return parsed.status;
}

const Value& value(const Parsed& parsed, const char* name) {
    const Command& c = *parsed.command;
    for (size_t i = 0; i < c.options.size() && i < parsed.values.size(); ++i)
        if (std::string_view(c.options[i].name) == name) return parsed.values[i];
    // A reader asking for a name its own table lacks: a fault of the program.
    logLine(LogLevel::Error, "%s: no option '%s' in the program's table", c.program, name);
    std::abort();
}

bool given(const Parsed& parsed, const char* name) { return value(parsed, name).given; }
bool flag(const Parsed& parsed, const char* name) { return value(parsed, name).integer != 0; }
int64_t integer(const Parsed& parsed, const char* name) { return value(parsed, name).integer; }
double real(const Parsed& parsed, const char* name) { return value(parsed, name).real; }
const std::string& text(const Parsed& parsed, const char* name) { return value(parsed, name).text; }
int choice(const Parsed& parsed, const char* name) { return static_cast<int>(value(parsed, name).integer); }

const char* version() { return MAZE_VERSION; }

}  // namespace cli
