#include "platform/PeerCredentials.h"

#include "platform/win32/WinApi.h"

#include <vector>

namespace {

// The user a process runs as, as its token's user record (holding the SID); empty when the
// process cannot be asked, which another user's process usually cannot.
std::vector<char> ProcessUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    const Handle tokenOwner(token);
    DWORD size = 0;
    ::GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    if (size == 0 || !::GetTokenInformation(token, ::TokenUser, user.data(), size, &size))
        return {};
    return user;
}

PSID UserSid(std::vector<char>& tokenUser)
{
    return reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
}

} // namespace

bool IsSameUserPeer(qintptr socketDescriptor)
{
    // The pipe's access list lets only our user in already; the client's own token settles it.
    ULONG clientPid = 0;
    if (!::GetNamedPipeClientProcessId(reinterpret_cast<HANDLE>(socketDescriptor), &clientPid))
        return false;
    const Handle client(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, clientPid));
    if (!client)
        return false;
    std::vector<char> theirs = ProcessUser(client.get());
    std::vector<char> ours = ProcessUser(::GetCurrentProcess());
    return !theirs.empty() && !ours.empty() && ::EqualSid(UserSid(theirs), UserSid(ours));
}
