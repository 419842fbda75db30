// test_compact.cpp -- the compact wire: bodies of a real game survive the
// codec byte for byte, a body coded against one the client does not hold is
// never applied, and plain and compact clients play on one server.
#include <gtest/gtest.h>

#include <zstd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "fake_net.h"
#include "net/storm.h"
#include "prey/prey.h"

namespace {

bool same(const NetMessage& a, const NetMessage& b) { return std::memcmp(a.bytes, b.bytes, kNetMessageSize) == 0; }

// A busy game: 9 fighters turning and shooting, 16 prey; one body a step.
std::vector<NetMessage> recordGame(int steps) {
    useFakeNet();
    makeWorld(9, 16);
    for (Fighter& f : gs.fighterList) f.state = FighterState::InPlay;
    std::vector<NetMessage> bodies;
    for (int i = 0; i < steps; ++i) {
        for (size_t k = 0; k < gs.fighterList.size(); ++k) {
            Fighter& f = gs.fighterList[k];
            f.dir = Vec3{std::cos(0.05f * static_cast<float>(i + k)), std::sin(0.05f * static_cast<float>(i + k)), 0};
            if ((i + k) % 7 == 0) spawnBullet(static_cast<int>(k), f.pos, f.dir, ShooterKind::MissileShot);
        }
        worldStep(updatePrey);
        process.clockNowMs += 10;
        NetMessage body;
        packState(body);
        setMessageYourFighter(body, 1);
        bodies.push_back(body);
    }
    return bodies;
}

NetMessage sentBytesAsMessage(const FakeDatagram& d) {
    NetMessage m;
    std::memcpy(m.bytes, d.bytes.data(), std::min<size_t>(d.bytes.size(), kNetMessageSize));
    return m;
}

TEST(Compact, EveryBodyOfAGameDecodesExactlyAndNothingElseDecodes) {
    const std::vector<NetMessage> bodies = recordGame(300);
    uint8_t coded[kMaxCodedBodySize];
    NetMessage out;
    size_t deltaBytes = 0, prefixBytes = 0;
    for (size_t i = 5; i < bodies.size(); ++i) {
        // On its own (a seek point), against the one before, and five back;
        // also as the last version wrote it against those (recordings hold it).
        for (const NetMessage* base : {static_cast<const NetMessage*>(nullptr), &bodies[i - 1], &bodies[i - 5]}) {
            for (const bool old : {false, true}) {
                const int n = (old ? encodeBodyPrefix : encodeBody)(base, bodies[i], coded, sizeof coded);
                ASSERT_GT(n, 0) << i;
                EXPECT_EQ(coded[0], base == nullptr ? 1 : old ? 2 : 3) << i;
                ASSERT_TRUE(decodeBody(base, coded, n, out)) << i << " old " << old;
                ASSERT_TRUE(same(out, bodies[i])) << i << " old " << old;
                if (base == &bodies[i - 5]) (old ? prefixBytes : deltaBytes) += static_cast<size_t>(n);
            }
        }
        // Coded against the one before, decoded against another: refused.
        const int n = encodeBody(&bodies[i - 1], bodies[i], coded, sizeof coded);
        EXPECT_FALSE(decodeBody(&bodies[i - 2], coded, n, out)) << i;
        EXPECT_FALSE(decodeBody(nullptr, coded, n, out)) << i;
        ASSERT_LE(n + kCompactHeaderSize, kCompactMaxSize) << "body " << i << " needs more than a packet";
    }
    // A game's step costs a few hundred bytes, not six thousand, and the
    // rearranged form less than the whole body against its base.
    EXPECT_LT(deltaBytes / (bodies.size() - 5), 600u);
    EXPECT_LT(deltaBytes * 10, prefixBytes * 9);

    // Hostile bytes: every cut of a coded body, every byte changed, a frame
    // of a body larger than ours, and no room to write.
    const int n = encodeBody(&bodies[9], bodies[10], coded, sizeof coded);
    for (int cut = 0; cut < n; ++cut) EXPECT_FALSE(decodeBody(&bodies[9], coded, cut, out)) << cut;
    for (int at = 0; at < n; ++at) {
        for (const uint8_t flip : {0x01, 0x80, 0xFF}) {
            coded[at] ^= flip;
            EXPECT_TRUE(!decodeBody(&bodies[9], coded, n, out) || same(out, bodies[10])) << at;
            coded[at] ^= flip;
        }
    }
    std::vector<uint8_t> big(kNetMessageSize + 1000, 7);
    std::vector<uint8_t> frame(ZSTD_compressBound(big.size()) + 1);
    frame[0] = coded[0] == 2 ? 1 : coded[0];  // the full form's byte
    const size_t z = ZSTD_compress(frame.data() + 1, frame.size() - 1, big.data(), big.size(), 1);
    ASSERT_FALSE(ZSTD_isError(z));
    EXPECT_FALSE(decodeBody(nullptr, frame.data(), static_cast<int>(z + 1), out));
    EXPECT_EQ(encodeBody(nullptr, bodies[10], coded, 8), 0);
}

// A form-3 datagram around rearranged bytes of our choosing.
std::vector<uint8_t> form3Of(const std::vector<uint8_t>& rearranged) {
    std::vector<uint8_t> d(5 + ZSTD_compressBound(rearranged.size()));
    d[0] = 3;
    const size_t z = ZSTD_compress(d.data() + 5, d.size() - 5, rearranged.data(), rearranged.size(), 1);
    EXPECT_FALSE(ZSTD_isError(z));
    d.resize(5 + z);
    return d;
}

TEST(Compact, HostileCountsInBodyOrBaseStillRoundTripOrAreRefused) {
    const std::vector<NetMessage> bodies = recordGame(40);
    uint8_t coded[kMaxCodedBodySize];
    NetMessage out;
    // Bases and bodies claiming 255 bullets (past the body's end with the
    // other entries), 255 of everything, or random bytes throughout.
    uint32_t seed = 12345;
    NetMessage noise;
    for (uint8_t& b : noise.bytes) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    std::vector<NetMessage> odd(3, bodies[30]);
    odd[0].bytes[11] = 255;
    std::memset(odd[1].bytes + 9, 255, 6);
    odd[2] = noise;
    using Pair = std::pair<const NetMessage*, const NetMessage*>;
    for (const NetMessage& weird : odd) {
        for (const auto& [base, body] : {Pair{&weird, &bodies[31]}, Pair{&bodies[30], &weird}, Pair{&weird, &weird},
                                         Pair{&noise, &odd[0]}}) {
            const int n = encodeBody(base, *body, coded, sizeof coded);
            ASSERT_GT(n, 0);
            ASSERT_TRUE(decodeBody(base, coded, n, out));
            EXPECT_TRUE(same(out, *body));
        }
    }
    // Rearranged bytes no encoder writes: counts past the body's end, a size
    // other than the counts give, a match code naming a bullet the base
    // lacks. Refused, whatever the check says.
    std::vector<uint8_t> t(bodies[30].bytes, bodies[30].bytes + kNetMessageSize);
    t[9] = t[10] = t[11] = 255;
    EXPECT_FALSE(decodeBody(&bodies[29], form3Of(t).data(), static_cast<int>(form3Of(t).size()), out));
    t.assign(kNetMessageSize + 600, 0);
    EXPECT_FALSE(decodeBody(&bodies[29], form3Of(t).data(), static_cast<int>(form3Of(t).size()), out));
    t.assign(kNetMessageSize + 1 + 12, 0);   // one bullet, matched to base bullet 254
    t[11] = 1;
    t[20] = 254;
    EXPECT_FALSE(decodeBody(&bodies[29], form3Of(t).data(), static_cast<int>(form3Of(t).size()), out));
    t[20] = 255;   // the same bullet, new: a body of zeros but for its count
    std::vector<uint8_t> withCheck = form3Of(t);
    NetMessage want;
    std::memset(want.bytes, 0, kNetMessageSize);
    want.bytes[11] = 1;
    ASSERT_GT(encodeBody(&bodies[29], want, coded, sizeof coded), 5);
    std::memcpy(withCheck.data() + 1, coded + 1, 4);
    ASSERT_TRUE(decodeBody(&bodies[29], withCheck.data(), static_cast<int>(withCheck.size()), out));
    EXPECT_TRUE(same(out, want));
}

// What the compact client sends: its key datagram, decoded as the server would.
CompactHeader lastKeyHeader(NetMessage* msg = nullptr) {
    CompactHeader h;
    const FakeDatagram& d = fake.sent.back();
    EXPECT_TRUE(readCompactHeader(d.bytes.data(), static_cast<int>(d.bytes.size()), h));
    EXPECT_EQ(h.kind, CompactKind::Key);
    NetMessage m;
    EXPECT_TRUE(readCompactKey(d.bytes.data(), static_cast<int>(d.bytes.size()), m));
    if (msg) *msg = m;
    return h;
}

void queueCompactBody(const NetMessage& body, const NetMessage* base, uint32_t baseSeq, NetAddress from = serverAddress()) {
    CompactHeader h{CompactKind::Body, baseSeq, bodySeqOf(body)};
    uint8_t out[kCompactMaxSize];
    const int n = writeCompactDatagram(h, base, body, out);
    ASSERT_GT(n, 0);
    fake.inbox.push_back(FakeDatagram{std::vector<uint8_t>(out, out + n), from});
}

void onePass() {
    fake.nowMs += 30;
    ASSERT_TRUE(clientReceivePass());
}

TEST(Compact, ABodyCodedAgainstOneTheClientDoesNotHoldIsNeverAppliedAndAFullOneIsAsked) {
    useFakeNet();
    makeWorld(9, 2);
    process.localFighterIndex = 1;
    queueDatagram(joinWithFlags(NetMessageKind::JoinAccepted, kJoinFlagCompact), serverAddress());
    ASSERT_TRUE(connectToServer("127.0.0.1"));
    // It asked for the wire in its join, and has it.
    EXPECT_NE(readJoinExtension(sentMessage(0)).flags & kJoinFlagCompact, 0);
    ASSERT_TRUE(net.compactGranted);

    std::vector<NetMessage> b(8);  // b[n] is body number n
    for (int n = 1; n < 8; ++n) b[n] = stateFor(9, 2, 1);
    ASSERT_EQ(bodySeqOf(b[7]), 7u);
    // The server's body 4 and 7 as a client that lost the real 4 would
    // need them: 7 repeats bytes that only that 4 holds.
    NetMessage other4 = b[4], other7 = b[7];
    for (int i = 100; i < 400; ++i) other4.bytes[i] = other7.bytes[i] = static_cast<uint8_t>(i * 37 + 11);

    queueCompactBody(b[1], nullptr, 0);
    onePass();
    EXPECT_EQ(net.appliedSeq, 1u);
    EXPECT_EQ(lastKeyHeader().baseSeq, 1u);  // it names body 1 as its base

    // Body 2 lost; body 3 against it is refused, and the client asks for a
    // full body at once.
    fake.sent.clear();
    queueCompactBody(b[3], &b[2], 2);
    onePass();
    EXPECT_EQ(net.appliedSeq, 1u);
    ASSERT_FALSE(fake.sent.empty());
    NetMessage key;
    EXPECT_EQ(lastKeyHeader(&key).baseSeq, 0u);
    EXPECT_EQ(messageKind(key), NetMessageKind::KeepAliveAnswer);
    EXPECT_EQ(readKeyExtension(key).ackedBodySeq, 1u);

    // Against body 1, which it holds: applied. A server coding bodies so
    // reads key datagrams by their fields: the client's go that way now.
    queueCompactBody(b[4], &b[1], 1);
    onePass();
    EXPECT_EQ(net.appliedSeq, 4u);
    EXPECT_EQ(lastKeyHeader().baseSeq, 4u);
    EXPECT_EQ(fake.sent.back().bytes[kCompactHeaderSize], 4);
    // Overtaken on the way: 6 then 5, both against 4; a body against a
    // "4" it does not hold byte for byte is refused whole.
    queueCompactBody(b[6], &b[4], 4);
    queueCompactBody(b[5], &b[4], 4);
    queueCompactBody(other7, &other4, 4);
    const uint64_t staleBefore = net.bodiesStale, refusedBefore = net.compactRefused;
    onePass();
    EXPECT_EQ(net.compactRefused, refusedBefore + 1);
    EXPECT_EQ(net.appliedSeq, 6u);
    EXPECT_EQ(net.bodiesStale, staleBefore + 1);
    EXPECT_EQ(lastKeyHeader().baseSeq, 0u);  // and it asks for a full body

    // A stranger's compact body costs no decode; a plain body of our
    // server still counts.
    const uint64_t decoded = net.compactDecoded;
    queueCompactBody(b[7], nullptr, 0, NetAddress{0x0A000001, kNetPort});
    queueDatagram(b[7], serverAddress());
    onePass();
    EXPECT_EQ(net.compactDecoded, decoded);
    EXPECT_EQ(net.appliedSeq, 7u);

    // A join answered without the grant (its JoinAccepted lost, a plain
    // body answered): the first compact body of our server tells of it.
    ASSERT_TRUE(fakeJoinedClient());
    EXPECT_FALSE(net.compactGranted);
    queueCompactBody(b[1], nullptr, 0);
    onePass();
    EXPECT_EQ(net.appliedSeq, 1u);
    EXPECT_EQ(lastKeyHeader().baseSeq, 1u);

    // A join whose JoinAccepted is lost while the server's compact bodies
    // flow: the first of them answers it.
    useFakeNet();
    makeWorld(9, 2);
    queueCompactBody(b[2], nullptr, 0);
    ASSERT_TRUE(connectToServer("127.0.0.1"));
    EXPECT_TRUE(net.compactGranted);
}

// A client's compact key datagram as maze's client writes it.
// (by its fields, or whole as a client of the last version writes it).
std::vector<uint8_t> compactKey(uint32_t base, uint32_t key, bool fields = true) {
    NetMessage m = keyMessage(key);
    KeyExtension x;
    x.present = true;
    x.newestSeq = 1;
    x.historyCount = 1;
    x.history[0] = KeyRecord{key, 0, 0};
    writeKeyExtension(m, x);
    uint8_t out[kCompactMaxSize];
    const CompactHeader h{CompactKind::Key, base, 0};
    const int n = fields ? writeCompactKey(h, m, out) : writeCompactDatagram(h, nullptr, m, out);
    EXPECT_GT(n, 0);
    EXPECT_LT(n, fields ? 32 : 120);  // a key datagram is a few dozen bytes
    return std::vector<uint8_t>(out, out + n);
}

TEST(Compact, KeyDatagramsByTheirFieldsGiveBackTheMessageExactly) {
    uint8_t out[kCompactMaxSize];
    NetMessage back;
    const CompactHeader h{CompactKind::Key, 77, 0};
    // A client's key datagrams: 0, 8 and 32 events in the history, keys held.
    for (const int count : {0, 8, 32}) {
        NetMessage m = keyMessage(count == 0 ? 0 : 'w', count % 2 == 1, false);
        KeyExtension x;
        x.present = true;
        x.newestSeq = 70000 + static_cast<uint32_t>(count);
        x.historyCount = static_cast<uint8_t>(count);
        for (int i = 0; i < count; ++i) x.history[i] = KeyRecord{i % 3 == 0 ? 0x66u : 'a' + static_cast<uint32_t>(i), static_cast<uint8_t>(i % 2), static_cast<uint8_t>(i % 3 == 0)};
        x.held['w' / 8] = 1 << ('w' % 8);
        x.held[' ' / 8] = 1 << (' ' % 8);
        x.ackedBodySeq = 123456;
        x.mouseTurn = -1234;
        writeKeyExtension(m, x);
        const int n = writeCompactKey(h, m, out);
        ASSERT_GT(n, 0);
        EXPECT_LE(n, 36 + 2 * count);
        ASSERT_TRUE(readCompactKey(out, n, back));
        EXPECT_TRUE(same(back, m));
        // Cut anywhere, or one byte longer: refused.
        for (int cut = kCompactHeaderSize; cut < n; ++cut) EXPECT_FALSE(readCompactKey(out, cut, back)) << cut;
        EXPECT_FALSE(readCompactKey(out, n + 1, back));
    }
    // A byte the fields do not carry: not coded this way (it goes whole).
    NetMessage stray = keyMessage('x');
    stray.bytes[5000] = 1;
    EXPECT_EQ(writeCompactKey(h, stray, out), 0);
}

TEST(Compact, PlainAndCompactClientsPlayOnOneServer) {
    fakeServer();
    // Client 2 is compact as the last version was (no form 3); client 3
    // as this one is.
    queueDatagram(messageOfKind(NetMessageKind::JoinRequest), clientAddress(1));  // plain: zeros
    queueDatagram(joinWithFlags(NetMessageKind::JoinRequest, kJoinFlagCompact), clientAddress(2));
    queueDatagram(joinWithFlags(NetMessageKind::JoinRequest, kJoinFlagCompact | kJoinFlagColumns), clientAddress(3));
    serverNetworkReceive();
    ASSERT_EQ(fake.sent.size(), 3u);
    EXPECT_EQ(readJoinExtension(sentMessage(0)).flags, 0);
    EXPECT_EQ(readJoinExtension(sentMessage(1)).flags, kJoinFlagCompact);
    EXPECT_EQ(readJoinExtension(sentMessage(2)).flags, kJoinFlagCompact | kJoinFlagColumns);
    EXPECT_FALSE(net.clients[1].columns);
    EXPECT_TRUE(net.clients[2].columns);

    // Client 2 decodes as the last version did and names what it holds.
    BodyRing held;
    uint32_t newest = 0;
    size_t plainBytes = 0, compactBytes = 0;
    for (int pass = 0; pass < 60; ++pass) {
        fake.sent.clear();
        fake.nowMs += 10;
        if (pass % 3 == 0) {
            // Every third acknowledgement is lost.
        } else {
            const std::vector<uint8_t> k = compactKey(newest, 'a', pass % 2 == 0);
            fake.inbox.push_back(FakeDatagram{k, clientAddress(2)});
        }
        serverNetworkReceive();
        worldStep(updatePrey);
        serverNetworkSend();
        for (const FakeDatagram& d : fake.sent) {
            NetMessage want = net.snapshotMessage;
            if (d.address.port == clientAddress(1).port) {
                // Plain: the whole body, every time.
                ASSERT_EQ(d.bytes.size(), static_cast<size_t>(kNetMessageSize));
                setMessageYourFighter(want, 1);
                setBodyAckedKeySeq(want, net.clients[0].keySeq);
                EXPECT_TRUE(same(sentBytesAsMessage(d), want)) << pass;
                plainBytes += d.bytes.size();
                continue;
            }
            if (d.address.port == clientAddress(3).port) continue;
            ASSERT_EQ(d.address.port, clientAddress(2).port);
            ASSERT_LE(d.bytes.size(), static_cast<size_t>(kCompactMaxSize)) << pass;
            CompactHeader h;
            ASSERT_TRUE(readCompactHeader(d.bytes.data(), static_cast<int>(d.bytes.size()), h)) << pass;
            // A difference in the form the last version reads.
            if (h.baseSeq != 0) {
                EXPECT_EQ(d.bytes[kCompactHeaderSize], 2) << pass;
            }
            // The base is one the client named (or none).
            EXPECT_TRUE(h.baseSeq == 0 || heldBody(held, h.baseSeq) != nullptr) << pass;
            NetMessage got;
            ASSERT_TRUE(readCompactDatagram(d.bytes.data(), static_cast<int>(d.bytes.size()),
                                            heldBody(held, h.baseSeq), got)) << pass;
            if (messageKind(got) != NetMessageKind::StateUpdate) continue;  // a probe
            setMessageYourFighter(want, 2);
            setBodyAckedKeySeq(want, net.clients[1].keySeq);
            EXPECT_TRUE(same(got, want)) << pass;
            keepBody(held, h.bodySeq, got);
            newest = h.bodySeq;
            compactBytes += d.bytes.size();
        }
    }
    EXPECT_LT(compactBytes * 5, plainBytes);
    // The compact client's keys act on its fighter (each 'a' datagram
    // repeats event 1: it acts once).
    EXPECT_GE(net.keyEventsApplied, 1u);

    // A compact datagram from a stranger, or from the seated plain client,
    // is not decoded and changes nothing.
    const uint64_t decoded = net.compactDecoded, applied = net.keyEventsApplied;
    fake.inbox.push_back(FakeDatagram{compactKey(0, 'b'), NetAddress{0x0A000001, 50002}});
    fake.inbox.push_back(FakeDatagram{compactKey(0, 'b'), clientAddress(1)});
    serverNetworkReceive();
    EXPECT_EQ(net.compactDecoded, decoded);
    EXPECT_EQ(net.keyEventsApplied, applied);
    EXPECT_EQ(net.compactRefused, 2u);

    // maze-storm's compact datagrams from the seated compact client: none
    // decodes, its seat and the others' bodies go on.
    StormDatagram d;
    for (uint32_t i = 0; i < 2000; ++i) {
        makeStormCompact(3, i, d);
        fake.inbox.push_back(FakeDatagram{std::vector<uint8_t>(d.bytes, d.bytes + d.length), clientAddress(2)});
        if (fake.inbox.size() < 50) continue;
        ASSERT_EQ(serverNetworkReceive(), GameEnd::Playing);
    }
    EXPECT_EQ(net.compactDecoded, decoded);
    EXPECT_EQ(net.keyEventsApplied, applied);
    EXPECT_GT(net.compactRefused, 1500u);
    EXPECT_EQ(findClient(clientAddress(2)), 1);
}

}  // namespace
