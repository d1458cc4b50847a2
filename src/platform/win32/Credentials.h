#pragma once

#include <string>

namespace mirelight {

// Generic credentials of the Windows Credential Manager, kept for this computer (they do not
// roam), the secret as UTF-16. No Qt here, so that the core's tests run it under Wine.

enum class CredentialAnswer { Done, NotFound, Failed };

struct CredentialResult
{
    CredentialAnswer answer = CredentialAnswer::Failed;
    std::wstring secret; // what a read found
    unsigned long error = 0; // with Failed: the Windows error
};

CredentialResult ReadGenericCredential(const std::wstring& target);
CredentialResult WriteGenericCredential(const std::wstring& target, const std::wstring& secret);
CredentialResult DeleteGenericCredential(const std::wstring& target); // NotFound: nothing was

} // namespace mirelight
