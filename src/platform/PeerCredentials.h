#pragma once

#include <QtGlobal>

// Whether the process at the other end of a connected local socket runs as the same user as we
// do, on this machine: the client, asked at the server's end, or the server, asked by a client
// before it sends anything (a name another user took first must not hear our commands).
bool IsSameUserClient(qintptr socketDescriptor);
bool IsSameUserServer(qintptr socketDescriptor);
