#include "support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testsupport::IsolateUserFolders();
    return RUN_ALL_TESTS();
}
