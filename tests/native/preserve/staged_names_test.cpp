#include "preserve/staged_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StagedNames, StagedCopiesAreKnownByTheInstalledNameAndANumber) {
    char name[32];
    ASSERT_TRUE(FormStagedName("C:\\s\\ZKUI2.dll", 7, name, sizeof(name)));
    EXPECT_EQ(std::string("C:\\s\\ZKUI2.dll.zk7"), name);
    // Refused, never cut: a shorter name would be another file's.
    EXPECT_FALSE(FormStagedName("C:\\s\\ZKUI2.dll", 100, name, 18));
    EXPECT_EQ(std::string(), name);
    EXPECT_FALSE(FormStagedName("C:\\a", 0, name, sizeof(name)));
    EXPECT_FALSE(FormStagedName("C:\\a", kMaxStagedCopies + 1, name, sizeof(name)));
    ASSERT_TRUE(FormStagedPattern("C:\\a", name, sizeof(name)));
    EXPECT_EQ(std::string("C:\\a.zk*"), name);

    for (const char* ours : {"ZKUI2.dll.zk1", "zkui2.DLL.ZK42", "ZKUI2.dll.zk999"}) {
        EXPECT_TRUE(IsStagedNameOf("ZKUI2.dll", ours)) << ours;
    }
    // Anything else beside the file is not ours to remove or move in.
    for (const char* other :
         {"ZKUI2.dll", "ZKUI2.dll.zk", "ZKUI2.dll.zk0", "ZKUI2.dll.zk1000", "ZKUI2.dll.zk1a",
          "ZKUI2.dll.zk01", "ZKUI2RC.dll.zk1", "ZKUI2.dll.tmp", "XKUI2.dll.zk1", "ZKUI2.dl.zk1"}) {
        EXPECT_FALSE(IsStagedNameOf("ZKUI2.dll", other)) << other;
    }
}

}  // namespace
