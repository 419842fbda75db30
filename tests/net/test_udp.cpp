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

void loadLevel() {
    testing::internal::CaptureStdout();
    readMazeMapFile(MAZE_DATA_DIR "/korvath.map");
    testing::internal::GetCapturedStdout();
    createFighters();
    resetGame();
}

// Runs server passes until `done` holds for the client end (at most ~2 s).
template <class Done>
bool pumpUntil(End& server, End* const* clients, int n, Done done) {
    for (int pass = 0; pass < 400; ++pass) {
        as(server, [] {
            serverNetworkReceive();
            serverNetworkSend();
        });
        bool all = true;
        for (int i = 0; i < n; ++i) as(*clients[i], [&] {
            clientReceivePass();
            all = all && done(i);
        });
        if (all) return true;
        usleep(5000);
    }
    return false;
}

TEST(Udp, AServerAndTwoClientsPlayOverLoopback) {
    End server, one, two;
    as(server, [] {
        resetGameStateForTest();
        resetNetStateForTest();
        loadLevel();
        net.port = 0;  // a free port: tests must not collide with a running game
        testing::internal::CaptureStdout();
        startServer();
        testing::internal::GetCapturedStdout();
    });
    ASSERT_GE(server.network.netSocket, 0);
    const uint16_t port = server.network.port;
    ASSERT_NE(port, 0);

    End* ends[2] = {&one, &two};
    for (End* e : ends) {
        as(*e, [&] {
            resetGameStateForTest();
            resetNetStateForTest();
            loadLevel();
            gs.localFighterIndex = 1;
            net.port = port;
        });
    }
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
            const bool joined = connectToServer("127.0.0.1");
            net.transport.waitReadable = realWait;
            EXPECT_TRUE(joined);
        });
    }
    EXPECT_EQ(server.network.clients[0].inUse, 1);
    EXPECT_EQ(server.network.clients[1].inUse, 1);
    EXPECT_EQ(server.world.fighterList[2].state, InPlay);

    // The second client presses i; the server holds it for fighter 2.
    as(two, [] { sendKeyEvent('i', false, false); });
    End* clients[2] = {&one, &two};
    const End* serverView = &server;
    for (int pass = 0; pass < 400 && serverView->world.fighterList[2].keyDown[int('i')] == 0; ++pass) {
        usleep(1000);
        as(server, [] { serverNetworkReceive(); });
    }
    EXPECT_EQ(server.world.fighterList[2].keyDown[int('i')], 1);

    // Each client sees its own index and the other player in play.
    server.world.fighterList[2].pos.x = 123.0f;
    ASSERT_TRUE(pumpUntil(server, clients, 2, [](int) {
        return gs.fighterList[2].pos.x == 123.0f;
    }));
    EXPECT_EQ(one.world.localFighterIndex, 1);
    EXPECT_EQ(two.world.localFighterIndex, 2);
    EXPECT_EQ(one.world.fighterList[2].state, InPlay);
    EXPECT_EQ(two.world.fighterList[1].state, InPlay);
    EXPECT_EQ(one.world.preyList.size(), server.world.preyList.size());

    for (End* e : {&server, &one, &two}) as(*e, [] { resetNetStateForTest(); });
}

}  // namespace
