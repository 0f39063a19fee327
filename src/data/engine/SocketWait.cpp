#include "data/engine/SocketWait.h"

#ifdef _WIN32
#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0600
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // WSAPoll came with Windows Vista
#endif
#include <winsock2.h>
#else
#include <poll.h>
#endif

#include <cerrno>

namespace SocketWait {

Outcome wait(int socket, bool read, bool write, int timeoutMs) {
#ifdef _WIN32
    WSAPOLLFD watched{};
    watched.fd = static_cast<SOCKET>(socket);
    watched.events = static_cast<SHORT>((read ? POLLRDNORM : 0) | (write ? POLLWRNORM : 0));
    const int found = WSAPoll(&watched, 1, timeoutMs);
    // An error (the socket closed under the wait) is for the reader to find.
    if (found == SOCKET_ERROR)
        return Outcome::Ready;
#else
    pollfd watched{};
    watched.fd = socket;
    watched.events = static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0));
    const int found = poll(&watched, 1, timeoutMs);
    if (found < 0)
        return errno == EINTR ? Outcome::TimedOut : Outcome::Ready;
#endif
    return found > 0 ? Outcome::Ready : Outcome::TimedOut;
}

}  // namespace SocketWait
