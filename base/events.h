// events.h -- an operator's log line: `<ISO 8601 UTC time> <event> key=value ...`,
// one event a line, for people reading a log and for scripts (split on
// spaces outside quotes, then on the first '=').
//
// The ground every folder may stand on: it includes nothing of the game.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// One key=value pair of an event. Keys are words of our own; values are
// anything (a player's name comes from the network) and are quoted on the
// line when they need it.
struct EventField {
    const char* key;
    std::string value;
};

// "2024-05-01T12:34:56Z" for seconds since 1970-01-01 UTC (negative ones
// included), without the C library's time zone or locale.
std::string isoUtcTime(int64_t unixSeconds);

// The value as the line writes it: itself when it is a non-empty run of
// printable ASCII without space, '"', '\\' or '='; else in double quotes
// with '"' and '\\' escaped by '\\' and every byte outside printable ASCII
// written \xHH, so one event stays one line whatever a peer sent.
std::string eventValue(const std::string& value);

// The whole line, without its newline: the time, the event, then each
// field as key=value, one space apart.
std::string eventLine(int64_t unixSeconds, const char* event, std::span<const EventField> fields);
