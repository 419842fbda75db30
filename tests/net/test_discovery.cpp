// Discovery and status queries: what a server answers, to whom and how
// often, the round trips it measures, and the finder's list and choice.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "net/discovery.h"
#include "tests/net/fake_net.h"

namespace {

constexpr NetAddress kAsker{0x0A4D0001, 40000};

// Queues a query from `from`, of the size its writer gives it unless
// `length` is given; returns that writer's size.
int queueQuery(bool status, uint32_t nonce, NetAddress from, int length = -1) {
    NetMessage m;
    const int size = writeServerQuery(m, ServerQuery{kQueryVersion, status, nonce});
    queueDatagram(m, from, length < 0 ? size : length);
    return size;
}

// The replies the fake server sent, parsed; a sent datagram that is not one fails the test.
std::vector<ServerReply> sentReplies() {
    std::vector<ServerReply> out;
    for (const FakeDatagram& d : fake.sent) {
        NetMessage m;
        std::memcpy(m.bytes, d.bytes.data(), d.bytes.size());
        ServerReply r;
        EXPECT_TRUE(readServerReply(m, static_cast<int>(d.bytes.size()), r));
        out.push_back(r);
    }
    return out;
}

// A server of 9 fighters named "alpha" with clients in slots 0 and 1.
void twoClientServer() {
    fakeServer(9);
    net.serverName = "alpha";
    noteServerStarted();
    for (int c = 0; c < 2; ++c) queueDatagram(messageOfKind(NetMessageKind::JoinRequest), clientAddress(c));
    serverNetworkReceive();
    fake.sent.clear();
}

TEST(Discovery, RepliesCarryEveryFieldAndTextsArriveClean) {
    ServerReply r;
    r.status = true;
    r.port = 9904;
    r.nonce = 0xDEADBEEF;
    r.instance = 77;
    r.players = 9;
    r.maxPlayers = 9;
    r.uptimeS = 3600;
    r.roundS = 61;
    r.name = std::string(40, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
    r.level = "bad\x01\x7F\xFF\xC3(ok.map";
    for (int i = 0; i < kMaxStatusPlayers; ++i)
        r.playerList.push_back(PlayerStatus{static_cast<uint8_t>(i), static_cast<uint8_t>(i % 3),
                                            static_cast<uint16_t>(10 * i), -5 + i, i, "player " + std::to_string(i)});
    NetMessage m;
    const int size = writeServerReply(m, r);
    EXPECT_EQ(size, kStatusQuerySize);  // the biggest reply fills the status query exactly
    ServerReply back;
    ASSERT_TRUE(readServerReply(m, size, back));
    EXPECT_EQ(std::tuple(back.port, back.nonce, back.instance, back.uptimeS, back.roundS),
              std::tuple(9904, 0xDEADBEEF, 77u, 3600u, 61u));
    // Cut to 63 bytes at a character's start: 40 x and 11 whole e-acutes.
    EXPECT_EQ(back.name, r.name.substr(0, 62));
    EXPECT_EQ(back.level, "bad???\?(ok.map");
    ASSERT_EQ(back.playerList.size(), 9u);
    const PlayerStatus& last = back.playerList[8];
    EXPECT_EQ(std::tuple(last.score, last.pingMs, last.deaths, last.name), std::tuple(3, 80, 8, "player 8"));
    EXPECT_STREQ(playerStateName(back.playerList[7].state), "destroyed");
    // Records that would lie past the datagram's length, or too many of them.
    EXPECT_FALSE(readServerReply(m, size - 1, back));
    r.playerList.push_back(PlayerStatus{});
    EXPECT_EQ(writeServerReply(m, r), 0);
}

TEST(Discovery, ServerAnswersAnyoneWithItsNameLevelAndPlayers) {
    twoClientServer();
    queueQuery(false, 5, kAsker);
    queueQuery(true, 6, kAsker);
    serverNetworkReceive();
    const std::vector<ServerReply> replies = sentReplies();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(fake.sent[0].bytes.size(), static_cast<size_t>(kDiscoveryQuerySize));
    EXPECT_EQ(fake.sent[0].address.ip, kAsker.ip);
    // The server's own player and two clients of 9.
    const ServerReply& r = replies[0];
    EXPECT_EQ(std::tuple(r.nonce, r.name, r.level, r.players, r.maxPlayers), std::tuple(5u, "alpha", "korvath.map", 3, 9));
    EXPECT_TRUE(r.playerList.empty());
    // The status reply names each player and no address.
    EXPECT_EQ(replies[1].nonce, 6u);
    ASSERT_EQ(replies[1].playerList.size(), 3u);
    EXPECT_EQ(std::tuple(replies[1].playerList[2].fighter, replies[1].playerList[2].name), std::tuple(2, "player 2"));
    EXPECT_STREQ(playerStateName(replies[1].playerList[2].state), "in play");
    EXPECT_LE(fake.sent[1].bytes.size(), static_cast<size_t>(kStatusQuerySize));
}

TEST(Discovery, ShortQueriesRepliesAndOurOwnPortGetNothing) {
    fakeServer(9);
    queueQuery(true, 1, kAsker, kDiscoveryQuerySize);  // too short for a status reply
    queueQuery(false, 2, kAsker, kDiscoveryQuerySize - 1);
    queueQuery(true, 1, NetAddress{kAsker.ip, net.port});
    NetMessage reply;
    const int replySize = writeServerReply(reply, describeServer(false));
    queueDatagram(reply, kAsker, replySize);
    queueDatagram(reply, kAsker, kNetMessageSize);
    serverNetworkReceive();
    EXPECT_TRUE(fake.sent.empty());
    EXPECT_EQ(net.queries.queriesIgnored, 5u);
    // Whatever its length, no reply is larger than the query that asked.
    for (int length = 0; length <= kNetMessageSize; length += 7) {
        fake.nowMs += 1000;
        for (const bool wantStatus : {false, true}) {
            fake.sent.clear();
            queueQuery(wantStatus, 3, kAsker, length);
            serverNetworkReceive();
            for (const FakeDatagram& d : fake.sent) EXPECT_LE(d.bytes.size(), static_cast<size_t>(length));
        }
    }
}

TEST(Discovery, AStormGetsTwentyRepliesASecond) {
    twoClientServer();
    // 1000 queries in one second, four a pass.
    for (int i = 0; i < 1000; ++i) {
        queueQuery(true, 9, NetAddress{kAsker.ip, static_cast<uint16_t>(40000 + i)});
        if (i % 4 == 3) {
            serverNetworkReceive();
            fake.nowMs += 4;
        }
    }
    EXPECT_EQ(fake.sent.size(), 20u);
    EXPECT_EQ(net.queries.queriesLimited, 980u);
    // A second after the first reply, the next ones go again.
    fake.nowMs += 1000;
    fake.sent.clear();
    for (int i = 0; i < 30; ++i) queueQuery(true, 9, kAsker);
    serverNetworkReceive();
    EXPECT_EQ(fake.sent.size(), 20u);
}

TEST(Discovery, ServerMeasuresEachClientsRoundTrip) {
    twoClientServer();
    EXPECT_TRUE(fake.sent.empty()) << "no probe right after a join";
    queueDatagram(keyMessage('i'), clientAddress(1));
    serverNetworkReceive();
    EXPECT_TRUE(fake.sent.empty()) << "the probe waits for the pass's bodies";
    serverNetworkSend();
    // A body to each client, then client 1's probe.
    ASSERT_EQ(fake.sent.size(), 3u);
    EXPECT_EQ(messageKind(sentMessage(2)), NetMessageKind::KeepAliveProbe);
    EXPECT_EQ(messageYourFighter(sentMessage(2)), 2);
    // A key event on its way before the probe arrived measures nothing.
    fake.nowMs += 3;
    queueDatagram(keyMessage('i', true), clientAddress(1));
    serverNetworkReceive();
    fake.nowMs += 4;
    queueDatagram(messageOfKind(NetMessageKind::KeepAliveAnswer), clientAddress(1));
    serverNetworkReceive();
    const std::vector<PlayerStatus> players = describeServer(true).playerList;
    ASSERT_EQ(players.size(), 3u);
    EXPECT_EQ(players[0].pingMs, 0);  // the server's own player
    EXPECT_EQ(players[1].pingMs, 0);  // not measured yet
    EXPECT_EQ(players[2].pingMs, 7);
    // No second probe before kPingEveryMs.
    fake.sent.clear();
    queueDatagram(messageOfKind(NetMessageKind::KeepAliveAnswer), clientAddress(1));
    serverNetworkReceive();
    serverNetworkSend();
    EXPECT_EQ(fake.sent.size(), 2u);
}

// Servers the fake network holds for the finder: each answers a query sent
// to its own address or to its network's broadcast address, on its port.
struct FakeServer {
    uint32_t ip, broadcast;
    ServerReply reply;
};
std::vector<FakeServer> fakeServers;

TEST(Discovery, FinderListsEachServerOnceWithItsFastestAnswer) {
    useFakeNet();
    fake.broadcasts = {0x0A4D00FF};
    net.clockMillis = [] { return ++fake.nowMs; };
    ServerReply alpha, beta;
    alpha.port = 9899, alpha.name = "alpha", alpha.level = "korvath.map", alpha.maxPlayers = 8, alpha.instance = 1;
    beta.port = 9904, beta.name = "beta", beta.level = "arena.map", beta.players = 1, beta.maxPlayers = 4;
    fakeServers = {{0x7F000001, 0, alpha}, {0x0A4D0001, 0x0A4D00FF, alpha}, {0x0A4D0002, 0x0A4D00FF, beta}};
    net.transport.sendTo = [](int, const uint8_t* buf, int len, NetAddress to) {
        fake.sent.push_back(FakeDatagram{std::vector<uint8_t>(buf, buf + len), to});
        NetMessage m;
        std::memcpy(m.bytes, buf, static_cast<size_t>(len));
        ServerQuery q;
        if (!readServerQuery(m, len, q)) return len;
        for (FakeServer& s : fakeServers) {
            if ((to.ip != s.ip && to.ip != s.broadcast) || to.port != s.reply.port) continue;
            s.reply.nonce = q.nonce;
            NetMessage r;
            const int size = writeServerReply(r, s.reply);
            fake.inbox.push_back(FakeDatagram{std::vector<uint8_t>(r.bytes, r.bytes + size), {s.ip, s.reply.port}});
        }
        return len;
    };
    std::vector<FoundServer> found;
    ASSERT_TRUE(findServers(found));
    // Ten ports on the broadcast address and on the loopback, each query 164 bytes.
    ASSERT_EQ(fake.sent.size(), 20u);
    EXPECT_EQ(fake.sent[0].address.ip, 0x0A4D00FFu);
    EXPECT_EQ(fake.sent[19].address.ip, 0x7F000001u);
    EXPECT_EQ(fake.sent[19].address.port, 9908);
    for (const FakeDatagram& d : fake.sent) EXPECT_EQ(d.bytes.size(), static_cast<size_t>(kDiscoveryQuerySize));
    const std::vector<std::string> lines = foundServerLines(found);
    ASSERT_EQ(lines.size(), 2u);
    // Every clock reading takes a millisecond: alpha's answer to the
    // loopback query, sent last, is its fastest.
    EXPECT_EQ(lines[0], "10.77.0.2:9904  beta   arena.map    1/4  19 ms\n");
    EXPECT_EQ(lines[1], "127.0.0.1:9899  alpha  korvath.map  0/8  16 ms\n");

    // The player's choice: wrong answers ask again; the end of input gives up.
    char answers[] = "beta\n0\n\n2\n";
    std::FILE* in = fmemopen(answers, sizeof answers - 1, "r");
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(chooseFoundServer(found, in, out), 1);
    EXPECT_EQ(chooseFoundServer(found, in, out), -1);
    std::rewind(out);
    char text[2048] = {};
    text[std::fread(text, 1, sizeof text - 1, out)] = '\0';
    EXPECT_EQ(std::string(text).find(" 1) 10.77.0.2:9904  beta"), 0u) << text;
    std::string said = text;
    size_t asked = 0;
    for (size_t at = 0; (at = said.find("Join which server (1-2)? ", at)) != std::string::npos; ++at) ++asked;
    EXPECT_EQ(asked, 5u);  // four answers, then the end
    std::fclose(in);
    std::fclose(out);
}

TEST(Discovery, JsonNamesAreEscaped) {
    EXPECT_EQ(jsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\u000a\\u0001\"");
    ServerReply r;
    r.name = "q\"";
    r.playerList.push_back(PlayerStatus{1, 2, 3, 4, 0, "player 1"});
    const std::string json = statusJson(NetAddress{0x7F000001, 9899}, r, 2);
    EXPECT_NE(json.find("\"name\":\"q\\\"\""), std::string::npos) << json;
    EXPECT_NE(json.find("{\"fighter\":1,\"name\":\"player 1\",\"score\":4,\"deaths\":0,\"ping_ms\":3,\"state\":\"absent\"}"),
              std::string::npos)
        << json;
}

}  // namespace
