#include "Digest.h"

#include <gtest/gtest.h>

using namespace melodrift::tidelink;

TEST(Digest, IsTheHexHashOfTheHexHash)
{
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(PasswordDigest(""), "cd372fb85148700fa88095e3492d3f9f5beb43e555e5ff26d95f5a6adc36f8e6");
    EXPECT_EQ(PasswordDigest("secret"), "3d91b58504a6cc3a159005ee7b16c7ae503ca6ac2a6a3c893837083c236b864a");
}
