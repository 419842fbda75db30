// test_join_level.cpp -- joining with a level: the digest a join carries, the
// server's answer naming its level, refusals for another level or a full
// server, plain peers admitted as before, and the server's event lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <tuple>

#include "fake_net.h"
#include "tests/log_capture.h"

namespace {

constexpr uint64_t kOurs = 0x1111222233334444ull;
constexpr uint64_t kTheirs = 0x5555666677778888ull;

struct Event {
    std::string name;
    std::map<std::string, std::string> fields;
};
std::vector<Event> events;

void keepEvent(const char* name, std::span<const EventField> fields) {
    Event e{name, {}};
    for (const EventField& f : fields) e.fields[f.key] = f.value;
    events.push_back(e);
}

// A server playing "korvath.map" with digest kOurs, whose events are kept.
void levelServer(int fighters = 9) {
    fakeServer(fighters);
    net.levelName = "korvath.map";
    net.levelDigest = kOurs;
    net.onServerEvent = keepEvent;
    events.clear();
}

NetMessage joinWith(const char* level, uint64_t digest, NetMessageKind kind = NetMessageKind::JoinRequest) {
    NetMessage m = messageOfKind(kind);
    writeJoinExtension(m, JoinExtension{.present = true, .levelDigest = digest, .levelName = level});
    return m;
}

// Client n sends `request`; returns the server's answer.
NetMessage ask(int n, const NetMessage& request) {
    fake.sent.clear();
    queueDatagram(request, clientAddress(n));
    serverNetworkReceive();
    EXPECT_EQ(fake.sent.size(), 1u);
    return sentMessage(fake.sent.size() - 1);
}

TEST(JoinLevel, TheServerAdmitsItsLevelAndPlainPeersAndRefusesAnother) {
    levelServer();
    const NetMessage same = ask(0, joinWith("korvath.map", kOurs));
    EXPECT_EQ(messageKind(same), NetMessageKind::JoinAccepted);
    const JoinExtension answered = readJoinExtension(same);
    EXPECT_EQ(std::tuple(answered.present, answered.levelName, answered.levelDigest), std::tuple(true, "korvath.map", kOurs));

    // Another level: refused with the reason, no fighter taken.
    const NetMessage other = ask(1, joinWith("arena.map", kTheirs));
    EXPECT_EQ(messageKind(other), NetMessageKind::JoinRefused);
    EXPECT_EQ(readJoinExtension(other).refusal, JoinRefusal::OtherLevel);
    EXPECT_EQ(net.clients[1].inUse, 0);
    EXPECT_EQ(gs.fighterList[2].state, FighterState::Absent);

    // A plain peer's zeros (no marker, or a marker with no digest) are taken
    // on trust, as before.
    EXPECT_EQ(messageKind(ask(2, messageOfKind(NetMessageKind::JoinRequest))), NetMessageKind::JoinAccepted);
    EXPECT_EQ(messageKind(ask(3, joinWith("", 0))), NetMessageKind::JoinAccepted);
    EXPECT_EQ(net.clients[1].address.port, clientAddress(2).port);

    ASSERT_EQ(events.size(), 4u);
    using Fields = std::map<std::string, std::string>;
    EXPECT_EQ(events[0].name, "joined");
    EXPECT_EQ(events[0].fields, (Fields{{"name", "player 1"}, {"fighter", "1"}, {"address", "127.0.0.1:50000"}}));
    EXPECT_EQ(events[1].name, "join-refused");
    EXPECT_EQ(events[1].fields, (Fields{{"reason", "level"}, {"level", "arena.map"}, {"digest", "5555666677778888"},
                                        {"address", "127.0.0.1:50001"}}));
    EXPECT_EQ(events[2].fields["fighter"], "2");
}

TEST(JoinLevel, MaxPlayersBoundsTheSeatsAndSilenceFreesThem) {
    levelServer();
    net.maxClients = 2;
    ask(0, joinWith("korvath.map", kOurs));
    ask(1, messageOfKind(NetMessageKind::JoinRequest));
    const NetMessage third = ask(2, joinWith("korvath.map", kOurs));
    EXPECT_EQ(messageKind(third), NetMessageKind::JoinRefused);
    EXPECT_EQ(readJoinExtension(third).refusal, JoinRefusal::Full);
    EXPECT_EQ(net.clients[2].inUse, 0) << "a fighter is free, but not a seat";
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].name, "join-refused");
    EXPECT_EQ(events[2].fields["reason"], "full");

    // Client 0 falls silent: its slot is freed, and the event says whose.
    fake.now += kClientTimeout;
    queueDatagram(messageOfKind(NetMessageKind::KeepAliveAnswer), clientAddress(1));
    serverNetworkReceive();
    fake.now += 1;
    keepAliveCheck();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[3].name, "slot-freed");
    EXPECT_EQ(events[3].fields["fighter"], "1");
    EXPECT_EQ(events[3].fields["silent_s"], std::to_string(kClientTimeout + 1));
    EXPECT_EQ(messageKind(ask(2, joinWith("korvath.map", kOurs))), NetMessageKind::JoinAccepted);
}

// Join requests from anyone, as fast as the line allows: every one is
// answered, but the log gets a bounded number of lines, a client's retries
// one, and the next line counts the ones left out.
TEST(JoinLevel, RefusalEventsAreBounded) {
    levelServer();
    for (int retry = 0; retry < 8; ++retry) ask(0, joinWith("arena.map", kTheirs));
    EXPECT_EQ(events.size(), 1u) << "a client's retries of one refusal";
    for (int n = 1; n <= 100; ++n) ask(n, joinWith("arena.map", kTheirs));
    EXPECT_EQ(events.size(), static_cast<size_t>(kRefusalEventsPerSecond));
    fake.now += 1;
    ask(200, joinWith("arena.map", kTheirs));
    ASSERT_EQ(events.size(), static_cast<size_t>(kRefusalEventsPerSecond) + 1);
    EXPECT_EQ(events.back().fields["unlogged"], std::to_string(100 - (kRefusalEventsPerSecond - 1)));
}

// A client of korvath.map with digest kOurs, joining a server whose first
// answer is `answer`; returns whether it joined, its error lines in `said`.
bool clientJoins(const NetMessage& answer, std::string& said) {
    useFakeNet();
    makeWorld(9, 2);
    process.localFighterIndex = 1;
    net.levelName = "korvath.map";
    net.levelDigest = kOurs;
    queueDatagram(answer, serverAddress());
    logtest::LogCapture log;
    const bool joined = connectToServer("127.0.0.1");
    said = log.errorText();
    // Its request told the server our level.
    EXPECT_FALSE(fake.sent.empty());
    const JoinExtension sent = readJoinExtension(sentMessage(0));
    EXPECT_EQ(std::tuple(sent.present, sent.levelName, sent.levelDigest), std::tuple(true, "korvath.map", kOurs));
    return joined;
}

TEST(JoinLevel, AClientEndsWithBothLevelsNamedWhenTheServerPlaysAnother) {
    std::string said;
    EXPECT_TRUE(clientJoins(joinWith("korvath.map", kOurs, NetMessageKind::JoinAccepted), said));
    EXPECT_TRUE(clientJoins(messageOfKind(NetMessageKind::JoinAccepted), said)) << "a plain server";
    EXPECT_EQ(said, "");

    const std::string both =
        "maze: the server plays \"arena.map\" (digest 5555666677778888), this client has \"korvath.map\" "
        "(digest 1111222233334444)";
    // An answer from a server that admits anybody, and a refusal of ours.
    EXPECT_FALSE(clientJoins(joinWith("arena.map", kTheirs, NetMessageKind::JoinAccepted), said));
    EXPECT_EQ(said.find(both), 0u) << said;
    NetMessage refused = messageOfKind(NetMessageKind::JoinRefused);
    writeJoinExtension(refused, JoinExtension{.present = true, .refusal = JoinRefusal::OtherLevel,
                                              .levelDigest = kTheirs, .levelName = "arena.map"});
    EXPECT_FALSE(clientJoins(refused, said));
    EXPECT_EQ(said.find(both), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;

    // A plain server's refusal, and an extended one's, for a full server.
    EXPECT_FALSE(clientJoins(messageOfKind(NetMessageKind::JoinRefused), said));
    EXPECT_NE(said.find("the server is full"), std::string::npos) << said;
}

// What a hostile peer writes into the extension stays harmless: a name too
// long for the field is not read, control bytes are not printed.
TEST(JoinLevel, TheExtensionIsReadDefensively) {
    NetMessage m = joinWith(std::string(40, 'a').c_str(), kTheirs);
    EXPECT_EQ(readJoinExtension(m).levelName, std::string(kNetNameBytes, 'a')) << "cut on writing";
    m = joinWith("a\nb\x1b", kTheirs);
    EXPECT_EQ(readJoinExtension(m).levelName, "a?b?");
    // The length byte past the field: the whole extension is ignored.
    const char marker[] = "MZJ1";
    uint8_t* const at = std::search(std::begin(m.bytes), std::end(m.bytes), marker, marker + 4);
    ASSERT_NE(at, std::end(m.bytes));
    at[5] = kNetNameBytes + 1;
    EXPECT_FALSE(readJoinExtension(m).present);
}

}  // namespace
