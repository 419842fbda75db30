// net_stub.cpp -- placeholders until the network lands: no server answers,
// the server has no socket.
#include "net/net.h"

void setNetworkDefaults() {}
bool connectToServer(const char*) { return false; }
void clearClientTable() {}
void startServer() {}
void serverNetworkReceive() {}
void serverNetworkSend() {}
void clientNetworkPass() {}
void sendKeyEvent(int, bool, bool) {}
