#include <gtest/gtest.h>

#include <filesystem>

#include "platform/temp_folder.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

TEST(PrivateFolder, NewOwnerOnlyAndUnderTmpdir) {
    TempDir base;
    ScopedEnv tmpdir("TMPDIR", base.path().string());
    const auto first = platform::make_private_folder("zubmp3-");
    const auto second = platform::make_private_folder("zubmp3-");
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(fs::path(*first).parent_path(), base.path());
    EXPECT_EQ(fs::path(*first).filename().string().rfind("zubmp3-", 0), 0u);
    EXPECT_EQ(fs::status(*first).permissions() & fs::perms::all, fs::perms::owner_all);

    ScopedEnv missing("TMPDIR", (base / "missing").string());
    EXPECT_EQ(platform::make_private_folder("zubmp3-"), std::nullopt);
}
