// maze_status.cpp -- maze-status: asks a running server (maze or
// maze-server) who it is and who plays on it, and prints the answer as
// lines for people or, with --json, as one JSON object for scripts.
//
// Usage: maze-status HOST[:PORT] [--json]
// Status 0 with the answer; 1 when the host cannot be found or nothing
// answers within about two seconds; 2 for a wrong command line.
#include <charconv>
#include <cstdio>
#include <string>

#include "base/log.h"
#include "cli/cli.h"
#include "net/discovery.h"
#include "net/net.h"
#include "net/status_main/maze_status_options.h"
#include "world/world.h"

namespace {

// Splits HOST[:PORT]: false with what is wrong when the port is not a
// whole number from 1 to 65535 or the host is empty.
bool splitHostPort(const std::string& text, std::string& host, uint16_t& port, std::string& wrong) {
    const size_t colon = text.rfind(':');
    host = text.substr(0, colon);
    port = kNetPort;
    if (host.empty()) {
        wrong = "'" + text + "' names no host";
        return false;
    }
    if (colon == std::string::npos) return true;
    const std::string digits = text.substr(colon + 1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size() || value < 1 || value > 65535) {
        wrong = "'" + text + "': the port must be a whole number from 1 to 65535";
        return false;
    }
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const cli::Parsed args = cli::parse(kMazeStatusCommand, argc, argv);
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    std::string host, wrong;
    uint16_t port = 0;
    if (!splitHostPort(cli::text(args, "server"), host, port, wrong))
        return cli::finish(cli::refuse(kMazeStatusCommand, wrong));
    installStopSignals();
    setNetworkDefaults();

    uint32_t ip = 0;
    if (!net.transport.parseDotted(host.c_str(), &ip) && !net.transport.lookupHost(host.c_str(), &ip)) {
        logLine(LogLevel::Error, "maze-status: cannot find the host \"%s\"", host.c_str());
        return 1;
    }
    const NetAddress server{ip, port};
    ServerReply reply;
    int64_t rttMs = 0;
    if (!queryServerStatus(server, reply, rttMs)) {
        if (stopRequested()) return 1;
        logLine(LogLevel::Error, "maze-status: no answer from %s (is a maze server running there?)",
                addressText(server).c_str());
        return 1;
    }
    const std::string report = cli::flag(args, "json") ? statusJson(server, reply, rttMs) : statusText(server, reply, rttMs);
    std::fputs(report.c_str(), stdout);
    return 0;
}
