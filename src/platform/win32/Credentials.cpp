#include "platform/win32/Credentials.h"

#include "platform/win32/WinApi.h"

#include <wincred.h>

namespace mirelight {

namespace {

CredentialResult LastFailure()
{
    const DWORD error = ::GetLastError();
    return { error == ERROR_NOT_FOUND ? CredentialAnswer::NotFound : CredentialAnswer::Failed,
             {},
             error };
}

} // namespace

CredentialResult ReadGenericCredential(const std::wstring& target)
{
    PCREDENTIALW credential = nullptr;
    if (!::CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &credential))
        return LastFailure();
    CredentialResult result { CredentialAnswer::Done,
                              std::wstring(
                                  reinterpret_cast<const wchar_t*>(credential->CredentialBlob),
                                  credential->CredentialBlobSize / sizeof(wchar_t)),
                              0 };
    ::SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
    ::CredFree(credential);
    return result;
}

CredentialResult WriteGenericCredential(const std::wstring& target, const std::wstring& secret)
{
    CREDENTIALW credential {};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(target.c_str());
    credential.CredentialBlobSize = static_cast<DWORD>(secret.size() * sizeof(wchar_t));
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(const_cast<wchar_t*>(secret.data()));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (!::CredWriteW(&credential, 0))
        return LastFailure();
    return { CredentialAnswer::Done, {}, 0 };
}

CredentialResult DeleteGenericCredential(const std::wstring& target)
{
    if (!::CredDeleteW(target.c_str(), CRED_TYPE_GENERIC, 0))
        return LastFailure();
    return { CredentialAnswer::Done, {}, 0 };
}

} // namespace mirelight
