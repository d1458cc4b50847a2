#pragma once

#include <QtGlobal>

// Whether the client at the other end of a local socket runs as the same user as we do.
bool IsSameUserPeer(qintptr socketDescriptor);
