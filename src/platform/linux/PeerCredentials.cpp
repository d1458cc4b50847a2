#include "platform/PeerCredentials.h"

#include <sys/socket.h>
#include <unistd.h>

namespace {

bool IsSameUserPeer(qintptr socketDescriptor)
{
#ifdef SO_PEERCRED
    // The folder and the socket are the user's alone already; the kernel's word settles it,
    // for either end.
    ucred peer {};
    socklen_t length = sizeof peer;
    if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length)
        != 0)
        return false;
    return peer.uid == ::getuid();
#else
    Q_UNUSED(socketDescriptor);
    return true; // the socket's folder and permissions keep other users out
#endif
}

} // namespace

bool IsSameUserClient(qintptr socketDescriptor)
{
    return IsSameUserPeer(socketDescriptor);
}

bool IsSameUserServer(qintptr socketDescriptor)
{
    return IsSameUserPeer(socketDescriptor);
}
