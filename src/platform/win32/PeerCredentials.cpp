#include "platform/PeerCredentials.h"

#include "platform/win32/WinApi.h"

#include <vector>

namespace {

// A token's user record (holding the SID); empty when the token cannot be read.
std::vector<char> TokenUserOf(HANDLE token)
{
    DWORD size = 0;
    ::GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    if (size == 0 || !::GetTokenInformation(token, ::TokenUser, user.data(), size, &size))
        return {};
    return user;
}

// The user a process runs as; empty when the process cannot be asked, which another user's
// process usually cannot.
std::vector<char> ProcessUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    const Handle tokenOwner(token);
    return TokenUserOf(token);
}

bool IsOurUser(const std::vector<char>& tokenUser)
{
    const std::vector<char> ours = ProcessUser(::GetCurrentProcess());
    auto sid = [](const std::vector<char>& user) {
        return reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    };
    return !tokenUser.empty() && !ours.empty() && ::EqualSid(sid(tokenUser), sid(ours));
}

// Whether a token is a logon from another machine (it holds the NETWORK group).
bool IsNetworkLogon(HANDLE token)
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID network = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_NETWORK_RID, 0, 0, 0, 0, 0, 0, 0,
                                    &network))
        return true;
    BOOL member = TRUE;
    const bool asked = ::CheckTokenMembership(token, network, &member) != 0;
    ::FreeSid(network);
    return !asked || member;
}

} // namespace

bool IsSameUserClient(qintptr socketDescriptor)
{
    // The client's own token, taken by impersonating it: a process id could name another
    // process by then, and means nothing for a client on another machine. Qt's pipe does not
    // reject remote clients, so a logon over the network is turned away here.
    const auto pipe = reinterpret_cast<HANDLE>(socketDescriptor);
    if (!::ImpersonateNamedPipeClient(pipe))
        return false;
    HANDLE token = nullptr;
    const bool opened = ::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token) != 0;
    ::RevertToSelf();
    if (!opened)
        return false;
    const Handle tokenOwner(token);
    return !IsNetworkLogon(token) && IsOurUser(TokenUserOf(token));
}

bool IsSameUserServer(qintptr socketDescriptor)
{
    ULONG serverPid = 0;
    if (!::GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(socketDescriptor), &serverPid))
        return false;
    const Handle server(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverPid));
    return server && IsOurUser(ProcessUser(server.get()));
}
