// net.h -- the network: the fixed-size datagram, the server's client table
// and the client's join. All socket calls live in one POSIX layer file; the
// rest is portable and testable without sockets.
#pragma once

// Gives the network settings their defaults (port 9899, 8 join attempts,
// keep-alive clock at 0). Call once, first thing at start-up.
void setNetworkDefaults();

// Client start-up: joins the server named by a host name or dotted address.
// Returns true when the server answered; prints nothing on failure.
bool connectToServer(const char* hostName);

// Server start-up: empties the client table, then opens the socket. Errors
// are reported on the error stream; the game goes on without clients.
void clearClientTable();
void startServer();

// Server idle pass, before the world step: the keep-alive check when due,
// then drains the socket applying each client's key events to its fighter.
void serverNetworkReceive();

// Server idle pass, after the world step: packs the world and sends it to
// every client slot in use.
void serverNetworkSend();

// Client idle pass: drains the socket into the stored state message,
// answering probes, ends the process after long silence ("Server died"),
// then applies the stored state.
void clientNetworkPass();

// Client: sends one key event to the server.
void sendKeyEvent(int key, bool released, bool special);
