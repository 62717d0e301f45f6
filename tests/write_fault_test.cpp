// Whole-or-nothing writing: whatever fails, an existing file stays as it was and no temporary
// file is left beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "platform/testing.h"
#include "tests/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;

size_t FilesIn(const std::string& dir) {
    size_t n = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        (void)entry;
        ++n;
    }
    return n;
}

const Bytes kOld(1000, 0x11);
const Bytes kNew(5000, 0x22);

class WriteFault : public testing::Test {
protected:
    void SetUp() override {
        dir = ScratchDir(testing::UnitTest::GetInstance()->current_test_info()->name());
        target = dir + "/picture.sc5";
        WriteBytes(target, kOld);
    }
    void TearDown() override { SetWriteFailureForTesting(-1); }
    WriteResult Write(const std::string& path, char* reason) {
        return WriteFileAtomically(path.c_str(), kNew.data(), kNew.size(), reason, 256);
    }
    std::string dir;
    std::string target;
};

TEST_F(WriteFault, CompleteWriteReplacesTheTarget) {
    char reason[256] = "";
    EXPECT_EQ(Write(target, reason), kWriteOk);
    EXPECT_EQ(ReadBytes(target), kNew);
    EXPECT_EQ(FilesIn(dir), 1u);
    EXPECT_EQ(Write(dir + "/new.sc5", reason), kWriteOk);
    EXPECT_EQ(ReadBytes(dir + "/new.sc5"), kNew);
}

// A disk that fills up halfway (and at the first byte, and one byte short of the end).
TEST_F(WriteFault, FullDiskLeavesTheTargetUntouched) {
    for (int64_t limit : {int64_t{0}, int64_t{2500}, int64_t{4999}}) {
        SCOPED_TRACE(limit);
        SetWriteFailureForTesting(limit);
        char reason[256] = "";
        EXPECT_EQ(Write(target, reason), kWriteWriteFailed);
        EXPECT_STREQ(WriteResultOperation(kWriteWriteFailed), "WriteFile");
        EXPECT_NE(reason[0], '\0');
        EXPECT_EQ(ReadBytes(target), kOld);
        EXPECT_EQ(FilesIn(dir), 1u);
        EXPECT_EQ(Write(dir + "/fresh.sc5", reason), kWriteWriteFailed);
        EXPECT_FALSE(FileExists(dir + "/fresh.sc5"));
        EXPECT_EQ(FilesIn(dir), 1u);
    }
}

TEST_F(WriteFault, TargetThatIsAFolderIsACreateFailure) {
    fs::create_directory(dir + "/folder.sc5");
    char reason[256] = "";
    EXPECT_EQ(Write(dir + "/folder.sc5", reason), kWriteCreateFailed);
    EXPECT_STREQ(WriteResultOperation(kWriteCreateFailed), "CreateFile");
    EXPECT_TRUE(fs::is_directory(dir + "/folder.sc5"));
    EXPECT_EQ(FilesIn(dir), 2u);
}

TEST_F(WriteFault, MissingFolderIsACreateFailure) {
    char reason[256] = "";
    EXPECT_EQ(Write(dir + "/no/such/folder/x.sc5", reason), kWriteCreateFailed);
    EXPECT_EQ(FilesIn(dir), 1u);
}

#ifdef _WIN32
// Windows refuses to replace a file that another program holds open without sharing it.
TEST_F(WriteFault, TargetOpenElsewhereIsACreateFailure) {
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    char reason[256] = "";
    EXPECT_EQ(Write(target, reason), kWriteCreateFailed);
    CloseHandle(held);
    EXPECT_EQ(ReadBytes(target), kOld);
    EXPECT_EQ(FilesIn(dir), 1u);
}
#endif

}  // namespace
