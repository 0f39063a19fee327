#pragma once

// Waiting for a network socket, which each system does its own way; the
// server connection (Postgres) waits for its server's answers through this.
// SocketWait.cpp holds the program's only calls to poll (WSAPoll on
// Windows).
namespace SocketWait {

enum class Outcome {
    Ready,     // the socket can be read or written as asked, or has failed:
               // whoever reads or writes it next finds out which
    TimedOut,  // nothing within the time (a signal cut the wait short counts too)
};

// Waits at most timeoutMs (0: only looks) for `socket` (as libpq gives it:
// PQsocket) to become readable when `read`, writable when `write`.
Outcome wait(int socket, bool read, bool write, int timeoutMs);

}  // namespace SocketWait
