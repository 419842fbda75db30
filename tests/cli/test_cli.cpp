// The programs' command lines: every table through the one parser, and the
// built programs answering --help, --version and a misspelt option.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "net/bot/maze_bot_options.h"
#include "net/replay_main/maze_replay_options.h"
#include "net/server_main/maze_server_options.h"
#include "net/status_main/maze_status_options.h"
#include "shell/maze_options.h"
#include "tests/test_files.h"
#include "tools/keylag/maze_keylag_options.h"
#include "tools/maze_relay_options.h"
#include "tools/sim/maze_sim_options.h"

namespace {

cli::Parsed parse(const cli::Command& c, std::vector<const char*> args) {
    args.insert(args.begin(), c.program);
    return cli::parse(c, static_cast<int>(args.size()), args.data());
}

const cli::Command* const kCommands[] = {&kMazeCommand, &kMazeServerCommand, &kMazeSimCommand, &kMazeRelayCommand,
                                          &kMazeStatusCommand, &kMazeBotCommand,
                                          &kMazeReplayCommand, &kMazeKeylagCommand};

TEST(CommandLine, SimDefaultsAndBothLongForms) {
    // An integer's and a choice's default (a flag's: --verbose below).
    const cli::Parsed none = parse(kMazeSimCommand, {});
    EXPECT_EQ(cli::integer(none, "steps"), 30000);
    EXPECT_EQ(cli::text(none, "script"), "walk");
    const cli::Parsed p = parse(kMazeSimCommand, {"--steps", "9", "--interval-ms=250", "--script", "still", "--quiet",
                                                  "--steps=5"});
    ASSERT_EQ(p.outcome, cli::Outcome::Run) << p.text;
    EXPECT_EQ(cli::integer(p, "steps"), 5);  // the last one counts
    EXPECT_EQ(cli::integer(p, "interval-ms"), 250);
    EXPECT_EQ(cli::choice(p, "script"), 1);
    EXPECT_TRUE(cli::flag(p, "quiet"));
}

TEST(CommandLine, RelayWordsMeanTheSameAsLongOptions) {
    const cli::Parsed words = parse(kMazeRelayCommand, {"listen=9000", "server=9001", "loss=0.1", "dup=0.01",
                                                        "delay=40", "jitter=20", "seed=4294967295", "up_loss=0"});
    const cli::Parsed longs = parse(kMazeRelayCommand, {"--listen", "9000", "--server=9001", "--loss", "0.1",
                                                        "--dup=0.01", "--delay", "40", "--jitter", "20", "--seed",
                                                        "4294967295", "--up_loss=0"});
    ASSERT_EQ(words.outcome, cli::Outcome::Run) << words.text;
    ASSERT_EQ(longs.outcome, cli::Outcome::Run) << longs.text;
    for (size_t i = 0; i < kMazeRelayCommand.options.size(); ++i) {
        EXPECT_EQ(words.values[i].given, longs.values[i].given) << kMazeRelayOptions[i].name;
        EXPECT_EQ(words.values[i].integer, longs.values[i].integer) << kMazeRelayOptions[i].name;
        EXPECT_EQ(words.values[i].real, longs.values[i].real) << kMazeRelayOptions[i].name;
    }
    EXPECT_EQ(cli::integer(words, "seed"), 4294967295LL);
    EXPECT_DOUBLE_EQ(cli::real(words, "loss"), 0.1);
    EXPECT_TRUE(cli::given(words, "up_loss"));
    EXPECT_FALSE(cli::given(words, "down_loss"));  // the relay then uses loss
    EXPECT_DOUBLE_EQ(cli::real(words, "seconds"), 60.0);
}

TEST(CommandLine, PositionalsAndHelp) {
    EXPECT_FALSE(cli::given(parse(kMazeCommand, {}), "host"));  // the server
    EXPECT_EQ(cli::text(parse(kMazeCommand, {"gamehost"}), "host"), "gamehost");
    EXPECT_EQ(cli::text(parse(kMazeCommand, {"--", "--odd"}), "host"), "--odd");

    // --version and the exit statuses: on the built programs, below.
    for (const cli::Command* c : kCommands) {
        // Help wins over what follows it; it names every entry with its value
        // name, default and help line.
        const cli::Parsed h = parse(*c, {"--help", "--no-such-option"});
        EXPECT_EQ(h.outcome, cli::Outcome::Help);
        EXPECT_EQ(h.text.find(std::string("usage: ") + c->program), 0u) << h.text;
        for (const std::string s : {"--help", "--version"}) EXPECT_NE(h.text.find(s), std::string::npos) << s;
        for (const cli::Option& o : c->options) {
            EXPECT_NE(h.text.find(o.valueName), std::string::npos) << o.name;
            EXPECT_NE(h.text.find(o.help), std::string::npos) << o.name;
            if (o.forms & cli::kLong) {
                EXPECT_NE(h.text.find(std::string("--") + o.name), std::string::npos) << o.name;
            }
            if (o.forms & cli::kWord) {
                EXPECT_NE(h.text.find(std::string(o.name) + "="), std::string::npos) << o.name;
            }
            if (const char* d = o.defaultValue ? o.defaultValue : o.defaultShown; d && o.kind != cli::Kind::Flag) {
                EXPECT_NE(h.text.find(std::string("default ") + d), std::string::npos) << o.name;
            }
        }
    }
    EXPECT_NE(parse(kMazeCommand, {"--help"}).text.find("usage: maze [OPTION]... [HOST[:PORT]]"), std::string::npos);
}

// maze-bot's older spellings, which users' scripts hold, mean what the long
// options mean; a port after the host's colon is the port entry's value.
TEST(CommandLine, BotWordsPlainSecondsAndHostPorts) {
    const cli::Parsed words = parse(kMazeBotCommand, {"127.0.0.1", "seconds=15", "mode=random", "seed=3",
                                                      "map=arena.map", "port=9905", "report=5"});
    const cli::Parsed longs = parse(kMazeBotCommand, {"--seconds", "15", "--mode=random", "--seed", "3", "--map",
                                                      "arena.map", "127.0.0.1:9905", "--report=5"});
    ASSERT_EQ(words.outcome, cli::Outcome::Run) << words.text;
    ASSERT_EQ(longs.outcome, cli::Outcome::Run) << longs.text;
    for (size_t i = 0; i < kMazeBotCommand.options.size(); ++i) {
        EXPECT_EQ(words.values[i].text, longs.values[i].text) << kMazeBotOptions[i].name;
        // The server entry's own integer is the port typed after its colon.
        if (i > 0) {
            EXPECT_EQ(words.values[i].integer, longs.values[i].integer) << kMazeBotOptions[i].name;
        }
        EXPECT_EQ(words.values[i].real, longs.values[i].real) << kMazeBotOptions[i].name;
    }
    EXPECT_EQ(cli::text(longs, "server"), "127.0.0.1");
    EXPECT_EQ(cli::integer(longs, "port"), 9905);
    EXPECT_EQ(cli::choice(longs, "mode"), 1);

    const cli::Parsed plain = parse(kMazeBotCommand, {"gamehost", "15"});
    ASSERT_EQ(plain.outcome, cli::Outcome::Run) << plain.text;
    EXPECT_DOUBLE_EQ(cli::real(plain, "seconds"), 15.0);
    EXPECT_EQ(cli::integer(plain, "port"), 9899);
    EXPECT_EQ(cli::text(plain, "map"), "korvath.map");
    // The same port both ways is no contradiction.
    EXPECT_EQ(cli::integer(parse(kMazeBotCommand, {"h:9901", "port=9901"}), "port"), 9901);

    const cli::Parsed client = parse(kMazeCommand, {"--map=arena.map", "gamehost:9905"});
    ASSERT_EQ(client.outcome, cli::Outcome::Run) << client.text;
    EXPECT_EQ(cli::text(client, "host"), "gamehost");
    EXPECT_EQ(cli::integer(client, "port"), 9905);
    const cli::Parsed server = parse(kMazeServerCommand, {"--port", "9905", "--max-players=1", "--server-name",
                                                          std::string(31, 'n').c_str()});
    ASSERT_EQ(server.outcome, cli::Outcome::Run) << server.text;
    EXPECT_EQ(cli::integer(server, "max-players"), 1);
    EXPECT_EQ(cli::text(server, "map"), "korvath.map");

    // Every program of the game is quiet unless asked (a missing entry aborts).
    for (const cli::Command* c : {&kMazeCommand, &kMazeServerCommand, &kMazeSimCommand}) {
        const cli::Parsed plain = parse(*c, {});
        ASSERT_EQ(plain.outcome, cli::Outcome::Run) << plain.text;
        EXPECT_FALSE(cli::flag(plain, "verbose")) << c->program;
    }
    EXPECT_TRUE(cli::flag(parse(kMazeCommand, {"--verbose", "gamehost"}), "verbose"));
}

TEST(CommandLine, EveryFaultIsOneLineWithStatusTwo) {
    struct Case {
        const cli::Command& command;
        std::vector<const char*> args;
        const char* says;
    };
    const std::string longName(32, 'n');
    const Case cases[] = {
        {kMazeSimCommand, {"--stpes", "5"}, "unknown option '--stpes'"},
        {kMazeSimCommand, {"--steps"}, "--steps needs a value N"},
        {kMazeSimCommand, {"--steps", "--quiet"}, "--steps needs a value N"},
        {kMazeSimCommand, {"--interval-ms", "0"}, "--interval-ms: '0' is out of range 1 to 250"},
        {kMazeSimCommand, {"--steps", "99999999999999999999"}, "out of range"},
        {kMazeSimCommand, {"--steps", "12x"}, "--steps: '12x' is not a whole number"},
        {kMazeSimCommand, {"--steps="}, "--steps: empty value"},
        {kMazeSimCommand, {"--quiet=1"}, "--quiet takes no value"},
        {kMazeSimCommand, {"--script", "run"}, "'run' is not one of walk|still"},
        {kMazeSimCommand, {"extra"}, "unexpected argument 'extra'"},
        {kMazeRelayCommand, {"loss=1.5"}, "loss: '1.5' is out of range 0 to 1"},
        {kMazeRelayCommand, {"--loss", "nan"}, "is not a number"},
        {kMazeRelayCommand, {"seed=-1"}, "out of range"},
        {kMazeRelayCommand, {"lost=0.1"}, "unknown option 'lost=0.1'"},
        {kMazeCommand, {"host1", "host2"}, "unexpected argument 'host2' (takes at most HOST[:PORT])"},
        {kMazeCommand, {"-display", ":1"}, "unknown option '-display'"},
        {kMazeServerCommand, {"9899"}, "unexpected argument '9899' (takes none)"},
        {kMazeServerCommand, {"--port", "0"}, "--port: '0' is out of range 1 to 65535"},
        {kMazeServerCommand, {"--server-name", longName.c_str()}, "is longer than 31 bytes"},
        {kMazeCommand, {"gamehost:"}, "'gamehost:' has no port after the colon"},
        {kMazeCommand, {":9899"}, "has no host before the colon"},
        {kMazeCommand, {"gamehost:abc"}, "has no port number after the colon"},
        {kMazeCommand, {"gamehost:70000"}, "has a port out of range 1 to 65535"},
        {kMazeCommand, {"a:1:2"}, "is not HOST or HOST:PORT"},
        {kMazeBotCommand, {}, "missing SERVER[:PORT]"},
        {kMazeBotCommand, {"h:9901", "--port", "9902"}, "two ports: SERVER[:PORT] says 9901, --port 9902"},
    };
    for (const Case& c : cases) {
        const cli::Parsed p = parse(c.command, c.args);
        const std::string program = c.command.program;
        EXPECT_EQ(p.outcome, cli::Outcome::Refused) << c.says;
        EXPECT_EQ(p.status, 2) << c.says;
        EXPECT_EQ(p.text.find(program + ": "), 0u) << p.text;
        EXPECT_NE(p.text.find(c.says), std::string::npos) << p.text;
        EXPECT_NE(p.text.find("; see " + program + " --help\n"), std::string::npos) << p.text;
        EXPECT_EQ(std::count(p.text.begin(), p.text.end(), '\n'), 1) << p.text;
    }
    // Checks that span two options stay with the program, in the same form.
    EXPECT_EQ(cli::refuse(kMazeRelayCommand, "jitter 30 exceeds the delay 20").text,
              "maze-relay: jitter 30 exceeds the delay 20; see maze-relay --help\n");
}

// What a user at a shell sees: stdout, stderr, the exit status.
struct ProgramRun {
    std::string out, err;
    int status = -1;
};

ProgramRun runProgram(const std::string& program, const std::string& args) {
    // From an empty folder with no display: help and refusals need neither.
    const std::string command = "cd '" + scratchDir() + "' && env -u DISPLAY '" + MAZE_BINARY_DIR + "/" + program +
                                "' " + args;
    ProgramRun r;
    int wait = 0;
    r.out = commandOutput(command + " 2>/dev/null", &wait);
    r.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    r.err = commandOutput(command + " 2>&1 >/dev/null");
    return r;
}

TEST(CommandLine, BuiltProgramsAnswerHelpVersionAndAMisspeltOption) {
    for (const cli::Command* c : kCommands) {
        const std::string program = c->program;
        if (program == "maze" && !MAZE_TEST_GAME) continue;  // no game in a display-free build
        if (program == "maze-keylag" && !MAZE_TEST_KEYLAG) continue;  // built only where X has XTest
        const ProgramRun help = runProgram(program, "--help");
        EXPECT_EQ(help.status, 0) << program;
        EXPECT_EQ(help.out, cli::helpText(*c)) << program;
        const ProgramRun version = runProgram(program, "--version");
        EXPECT_EQ(version.status, 0) << program;
        EXPECT_EQ(version.out, program + " " + MAZE_EXPECTED_VERSION + "\n");
        const ProgramRun wrong = runProgram(program, "--verison");
        EXPECT_EQ(wrong.status, 2) << program;
        EXPECT_EQ(wrong.out, "") << program;
        EXPECT_EQ(wrong.err, program + ": unknown option '--verison'; see " + program + " --help\n");
    }
}

TEST(CommandLine, StatusAndFinderRefuseAWrongServer) {
    // Each refused before any datagram goes: one line naming what was typed.
    for (const char* bad : {"127.0.0.1:0", "127.0.0.1:70000", "127.0.0.1:abc", "127.0.0.1:", ":9899"}) {
        const ProgramRun r = runProgram("maze-status", std::string("'") + bad + "'");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.out, "") << bad;
        EXPECT_EQ(r.err.find(std::string("maze-status: '") + bad + "'"), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(runProgram("maze-status", "").status, 2);
    if (!MAZE_TEST_GAME) return;
    const ProgramRun both = runProgram("maze", "--find 127.0.0.1");
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("give no HOST"), std::string::npos) << both.err;
    // A replay is no live game, and a recording that is not there ends it
    // before any window, in one line.
    EXPECT_EQ(runProgram("maze", "--replay x.mzr 127.0.0.1").status, 2);
    const ProgramRun missing = runProgram("maze", "--replay /nonexistent/x.mzr");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "maze: cannot open /nonexistent/x.mzr: No such file or directory\n");
}

}  // namespace
