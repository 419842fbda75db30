// test_udp.cpp -- a server and two clients in this one process over real UDP
// on 127.0.0.1. Each end keeps its own world and network record; the test
// swaps them into the process-wide ones while that end runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <utility>

#include "fake_net.h"

namespace {

struct End {
    GameState world;
    NetState network;
};

// Runs `body` with `end` as the process's world and network.
template <class F>
void as(End& end, F body) {
    std::swap(gs, end.world);
    std::swap(net, end.network);
    body();
    std::swap(gs, end.world);
    std::swap(net, end.network);
}

// Starts `end` as a fresh process on the real level.
void freshEnd(End& end, uint16_t port) {
    as(end, [port] {
        resetGameStateForTest();
        resetNetStateForTest();
        testing::internal::CaptureStdout();
        readMazeMapFile(MAZE_DATA_DIR "/korvath.map");
        createFighters();
        resetGame();
        net.port = port;
        if (port == 0) startServer();  // a free port: tests must not collide with a running game
        testing::internal::GetCapturedStdout();
    });
}

TEST(Udp, AServerAndTwoClientsPlayOverLoopback) {
    End server, one, two;
    freshEnd(server, 0);
    ASSERT_GE(server.network.netSocket, 0);
    const uint16_t port = server.network.port;
    ASSERT_NE(port, 0);
    End* ends[2] = {&one, &two};
    for (End* e : ends) freshEnd(*e, port);
    // Joining blocks in the client's wait for the answer; in one process the
    // server must read the request meanwhile, so the wait first runs one
    // server pass.
    static End* serverEnd;
    static int (*realWait)(int, int64_t);
    serverEnd = &server;
    for (End* e : ends) {
        as(*e, [] {
            realWait = net.transport.waitReadable;
            net.transport.waitReadable = [](int sock, int64_t timeout) {
                as(*serverEnd, [] { serverNetworkReceive(); });
                return realWait(sock, timeout);
            };
            gs.localFighterIndex = 1;
            EXPECT_TRUE(connectToServer("127.0.0.1"));
            net.transport.waitReadable = realWait;
        });
    }
    EXPECT_EQ(server.world.fighterList[2].state, InPlay);

    // The second client presses i; the server holds it for fighter 2.
    as(two, [] { sendKeyEvent('i', false, false); });
    for (int pass = 0; pass < 400 && server.world.fighterList[2].keyDown[int('i')] == 0; ++pass) {
        usleep(1000);
        as(server, [] { serverNetworkReceive(); });
    }
    EXPECT_EQ(server.world.fighterList[2].keyDown[int('i')], 1);

    // Each client sees its own index and the other player in play.
    server.world.fighterList[2].pos.x = 123.0f;
    for (int pass = 0; pass < 400; ++pass) {
        as(server, [] {
            serverNetworkReceive();
            serverNetworkSend();
        });
        for (End* e : ends) as(*e, [] { clientReceivePass(); });
        if (one.world.fighterList[2].pos.x == 123.0f && two.world.fighterList[2].pos.x == 123.0f) break;
        usleep(5000);
    }
    for (End* e : ends) EXPECT_FLOAT_EQ(e->world.fighterList[2].pos.x, 123.0f);
    EXPECT_EQ(one.world.localFighterIndex, 1);
    EXPECT_EQ(two.world.localFighterIndex, 2);
    EXPECT_EQ(one.world.fighterList[2].state, InPlay);
    EXPECT_EQ(two.world.fighterList[1].state, InPlay);
    EXPECT_EQ(one.world.preyList.size(), server.world.preyList.size());

    for (End* e : {&server, &one, &two}) as(*e, [] { resetNetStateForTest(); });
}

}  // namespace
