// Generic credentials of the Credential Manager, under Wine (which implements them).
#include "platform/win32/Credentials.h"

#include <gtest/gtest.h>

using namespace mirelight;

namespace {

TEST(Credentials, AGenericCredentialIsWrittenOverwrittenReadBackAndDeleted)
{
    const std::wstring target = L"Mirelight/test MQTT ann@broker.lan:1883";
    DeleteGenericCredential(target); // from an earlier run's crash
    EXPECT_EQ(ReadGenericCredential(target).answer, CredentialAnswer::NotFound);

    for (const std::wstring& secret : { std::wstring(L"first \u00e9\u20ac"), std::wstring() }) {
        ASSERT_EQ(WriteGenericCredential(target, secret).answer, CredentialAnswer::Done);
        const CredentialResult read = ReadGenericCredential(target);
        EXPECT_EQ(read.answer, CredentialAnswer::Done) << read.error;
        EXPECT_EQ(read.secret, secret);
    }

    EXPECT_EQ(DeleteGenericCredential(target).answer, CredentialAnswer::Done);
    EXPECT_EQ(ReadGenericCredential(target).answer, CredentialAnswer::NotFound);
    EXPECT_EQ(DeleteGenericCredential(target).answer, CredentialAnswer::NotFound);
}

} // namespace
