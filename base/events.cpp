// events.cpp -- the operator's event line.
#include "base/events.h"

#include <cstdio>

namespace {

// Days since 1970-01-01 to the proleptic Gregorian date (the civil-from-days
// algorithm: eras of 400 years, March-based years so the leap day ends one).
void civilFromDays(int64_t days, int64_t& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;                                            // 0..146096
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;  // 0..399
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);  // 0..365
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;                                   // 0..11
    day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

bool plainByte(unsigned char c) { return c > 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '='; }

}  // namespace

std::string isoUtcTime(int64_t unixSeconds) {
    constexpr int64_t kDay = 86400;
    const int64_t days = unixSeconds >= 0 ? unixSeconds / kDay : -((-unixSeconds + kDay - 1) / kDay);
    const int64_t second = unixSeconds - days * kDay;
    int64_t year = 0;
    int month = 0, day = 0;
    civilFromDays(days, year, month, day);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(year), month, day,
                  static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60), static_cast<int>(second % 60));
    return buf;
}

std::string eventValue(const std::string& value) {
    bool plain = !value.empty();
    for (const char c : value) plain = plain && plainByte(static_cast<unsigned char>(c));
    if (plain) return value;
    std::string s = "\"";
    for (const char c : value) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            s += '\\';
            s += c;
        } else if (b >= 0x20 && b < 0x7F) {
            s += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            s += hex;
        }
    }
    return s + "\"";
}

std::string eventLine(int64_t unixSeconds, const char* event, std::span<const EventField> fields) {
    std::string line = isoUtcTime(unixSeconds) + " " + event;
    for (const EventField& f : fields) line += std::string(" ") + f.key + "=" + eventValue(f.value);
    return line;
}
