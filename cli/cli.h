// cli.h -- the command line of every maze program, from one table each.
//
// A program describes its options in a constant table; parse() reads argv
// against it and returns an outcome with every value already typed and
// checked, or the text to print: the help (--help), the version (--version)
// or one line naming a wrong argument. Nothing here prints or exits: main
// does, through finish().
//
// Forms on the command line:
//   --name VALUE, --name=VALUE   every option that is not positional only
//   --name                       a flag (a flag takes no value)
//   name=VALUE                   entries with kWord, the tools' older spelling
//   VALUE                        entries with kPositional, in table order
//   --                           ends the options: the rest are positionals
// An option given twice keeps its last value.
//
// Includes nothing of the game, so every program and test may use it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cli {

enum class Kind : uint8_t {
    Flag,     // present or not; value 0 or 1 in Value::integer
    Integer,  // whole number within [min, max]
    Real,     // finite number within [min, max]
    Text,     // any text; with max > 0, at most max bytes
    Choice,   // one of the words in `choices`; its index in Value::integer
    // A server as typed, HOST or HOST:PORT: Value::text the host,
    // Value::integer the port after the colon (1..65535; 0 when none).
    HostPort,
};

// How an entry may be given; an entry takes any combination.
constexpr unsigned kLong = 1;        // --name VALUE and --name=VALUE
constexpr unsigned kWord = 2;        // name=VALUE
constexpr unsigned kPositional = 4;  // a plain argument, in table order among the positional entries

// One entry of a program's table, written with designated initialisers:
//   {.name = "steps", .kind = Kind::Integer, .valueName = "N", .defaultValue = "30000",
//    .min = 0, .max = 100000000, .help = "world steps to run"}
struct Option {
    const char* name = "";  // without the dashes; also the key for the readers below
    Kind kind = Kind::Flag;
    const char* valueName = "";  // in the help: "--steps N", or a positional's "HOST"
    // Parsed like a value given on the command line when the option is
    // absent; nullptr: no default (Value::given tells), shown as none.
    const char* defaultValue = nullptr;
    // The help's words for the default when there is no defaultValue (the
    // program then decides, e.g. "loss" for a loss that follows another).
    const char* defaultShown = nullptr;
    // Integer and Real always carry a range, both ends included. Integers
    // compare exactly up to 2^53. Text: max > 0 bounds its length in bytes.
    double min = 0.0;
    double max = 0.0;
    const char* choices = "";  // Choice: the words separated by '|', e.g. "walk|still"
    // HostPort: the name of the Integer entry that a port after the colon
    // sets, so the program reads one port whichever way it was typed (that
    // entry given too, with another value, is refused); nullptr: none.
    const char* portEntry = nullptr;
    unsigned forms = kLong;
    bool required = false;  // positional entries only: absent is an error
    const char* help = "";  // one line, no full stop
};

// The first entry of every program's table: the rules' chatter (shots,
// hits, refused paths) on standard output. Without it a program prints its
// status lines, warnings and errors only.
inline constexpr Option kVerboseOption{
    .name = "verbose", .kind = Kind::Flag, .help = "also print the game's diagnostic lines (shots, hits, prey)"};

struct Command {
    const char* program;  // as the user types it, e.g. "maze-sim"
    const char* summary;  // one line under the usage line
    std::span<const Option> options;
};

struct Value {
    bool given = false;   // on the command line (else the default, if any)
    int64_t integer = 0;  // Integer; Flag 0 or 1; Choice the word's index
    double real = 0.0;    // Real
    std::string text;     // the value as written (Text, Choice word, the numbers' digits)
};

enum class Outcome : uint8_t {
    Run,      // values hold the command line: go on
    Help,     // text holds the help: print it on stdout, status 0
    Version,  // text holds "<program> <version>": stdout, status 0
    Refused,  // text holds one line naming the fault and the hint: stderr, status 2
};

struct Parsed {
    const Command* command = nullptr;
    Outcome outcome = Outcome::Run;
    int status = 0;    // the process's exit status when outcome is not Run
    std::string text;  // ends in a newline when not empty
    std::vector<Value> values;  // one per table entry, in table order
};

// Reads argv[1..argc-1] against the command's table.
Parsed parse(const Command& command, int argc, const char* const* argv);

// Prints the outcome's text (stdout for Help and Version, stderr for
// Refused) and returns its status: `if (p.outcome != Run) return finish(p);`.
int finish(const Parsed& parsed);

// Refuses a command line the table cannot judge alone (two options that
// contradict): the same one-line form and status 2 as the parser's own.
Parsed refuse(const Command& command, const std::string& what);

// The readers: the value of the entry named `name` (which must be in the
// table; a name missing from it is a programming fault and aborts).
const Value& value(const Parsed& parsed, const char* name);
bool given(const Parsed& parsed, const char* name);
bool flag(const Parsed& parsed, const char* name);
int64_t integer(const Parsed& parsed, const char* name);
double real(const Parsed& parsed, const char* name);
const std::string& text(const Parsed& parsed, const char* name);
int choice(const Parsed& parsed, const char* name);  // the word's index in `choices`

// The build's version, e.g. "0.9.0", set once in CMakeLists.txt.
const char* version();

// The help text of a command (what --help prints).
std::string helpText(const Command& command);

}  // namespace cli
