// maze_relay_options.h -- maze-relay's command line. Every option is also
// accepted as name=value, the spelling the test scripts use.
#pragma once

#include "cli/cli.h"

constexpr int kMaxRelayClients = 16;
constexpr double kMaxRelaySeconds = 7200.0;
constexpr int kMaxRelayDelayMs = 10000;

inline constexpr unsigned kRelayForms = cli::kLong | cli::kWord;

inline constexpr cli::Option kMazeRelayOptions[] = {
    {.name = "listen", .kind = cli::Kind::Integer, .valueName = "PORT", .defaultValue = "9898", .min = 1,
     .max = 65535, .forms = kRelayForms, .help = "port on 127.0.0.1 where the clients send"},
    {.name = "server", .kind = cli::Kind::Integer, .valueName = "PORT", .defaultValue = "9899", .min = 1,
     .max = 65535, .forms = kRelayForms, .help = "the server's port on 127.0.0.1"},
    {.name = "loss", .kind = cli::Kind::Real, .valueName = "P", .defaultValue = "0", .min = 0, .max = 1,
     .forms = kRelayForms, .help = "share of datagrams lost, both ways"},
    {.name = "dup", .kind = cli::Kind::Real, .valueName = "P", .defaultValue = "0", .min = 0, .max = 1,
     .forms = kRelayForms, .help = "share of the datagrams kept that arrive twice"},
    {.name = "delay", .kind = cli::Kind::Integer, .valueName = "MS", .defaultValue = "0", .min = 0,
     .max = kMaxRelayDelayMs, .forms = kRelayForms, .help = "mean delay of a datagram"},
    {.name = "jitter", .kind = cli::Kind::Integer, .valueName = "MS", .defaultValue = "0", .min = 0,
     .max = kMaxRelayDelayMs, .forms = kRelayForms, .help = "the delay varies by up to this much, at most the delay"},
    {.name = "reorder", .kind = cli::Kind::Real, .valueName = "P", .defaultValue = "0", .min = 0, .max = 1,
     .forms = kRelayForms, .help = "share of datagrams held back to be overtaken"},
    {.name = "seed", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "1", .min = 0, .max = 4294967295.0,
     .forms = kRelayForms, .help = "seed of the impairments' random numbers"},
    {.name = "seconds", .kind = cli::Kind::Real, .valueName = "S", .defaultValue = "60", .min = 0.001,
     .max = kMaxRelaySeconds, .forms = kRelayForms, .help = "the relay ends by itself after this time"},
    {.name = "clients", .kind = cli::Kind::Integer, .valueName = "N", .defaultValue = "9", .min = 1,
     .max = kMaxRelayClients, .forms = kRelayForms, .help = "clients served; later ones are ignored"},
    {.name = "up_loss", .kind = cli::Kind::Real, .valueName = "P", .defaultShown = "loss", .min = 0, .max = 1,
     .forms = kRelayForms, .help = "share lost towards the server"},
    {.name = "down_loss", .kind = cli::Kind::Real, .valueName = "P", .defaultShown = "loss", .min = 0, .max = 1,
     .forms = kRelayForms, .help = "share lost towards the clients"},
    {.name = "netns", .kind = cli::Kind::Text, .valueName = "PATH", .defaultShown = "the relay's own",
     .forms = kRelayForms, .help = "listen inside this network namespace, e.g. /proc/PID/ns/net"},
};

inline constexpr cli::Command kMazeRelayCommand{
    "maze-relay",
    "A test relay on 127.0.0.1 between clients and a server: loses, duplicates, delays and reorders datagrams.",
    kMazeRelayOptions};
