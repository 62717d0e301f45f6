// The platform's safety guarantees, on real files in a scratch folder: which names are the same
// file, what is refused as input or as target, what a replaced file keeps, and that no temporary
// file outlives a write, a failure or an interrupt.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/testing.h"
#include "tests/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

const Bytes kOld(1000, 0x11);
const Bytes kNew(3000, 0x22);

class PlatformSafety : public testing::Test {
protected:
    void SetUp() override {
        dir = ScratchDir(std::string("safety-") +
                         testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        SimulateInterruptForTesting(0);
        SetWriteFailureForTesting(-1);
        EXPECT_EQ(PendingTemporaryFiles(), 0);
    }
    // Names in the folder other than the expected ones: a temporary file left behind.
    size_t Entries() const {
        size_t n = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            (void)entry;
            ++n;
        }
        return n;
    }
    // picture.sc5 holding kOld, and kNew staged to replace it (not yet flushed or committed).
    WriteResult StageNewOverOld(const std::string& target, StagedWrite* staged) {
        WriteBytes(target, kOld);
        char reason[256] = "";
        return StageFileWrite(target.c_str(), kNew.data(), kNew.size(), WriteOptions{}, staged, reason,
                              sizeof reason);
    }
    FileIdentity Identity(const std::string& path) const {
        FileIdentity identity;
        EXPECT_TRUE(GetFileIdentity(path.c_str(), &identity)) << path;
        return identity;
    }
    WriteResult Write(const std::string& path, bool force = false, char* reason = nullptr) {
        WriteOptions options;
        options.force = force;
        return WriteFileAtomicallyWith(path.c_str(), kNew.data(), kNew.size(), options, reason, 256);
    }
    std::string dir;
};

TEST_F(PlatformSafety, FolderNamesByTheirForm) {
    const struct {
        const char* path;
        bool folder;
    } kCases[] = {
        {"sub/", true},  {"a/b/", true},  {".", true},   {"..", true},    {"a/.", true},
        {"a/..", true},  {"a.sc5", false}, {"a/b.png", false}, {"", false}, {".vr", false},
        {"...", false},
#ifdef _WIN32
        {"sub\\", true}, {"a\\..", true},
#endif
    };
    for (const auto& c : kCases) EXPECT_EQ(IsFolderName(c.path), c.folder) << c.path;
}

TEST_F(PlatformSafety, IdentityOfExistingAndNewFiles) {
    fs::create_directories(dir + "/real/inner");
    WriteBytes(dir + "/real/a.sc5", kOld);
    WriteBytes(dir + "/real/b.sc5", kOld);  // same contents, another file
    FileIdentity a = Identity(dir + "/real/a.sc5");
    EXPECT_TRUE(a.exists);
    EXPECT_TRUE(SameFile(a, Identity(dir + "/real/./inner/../a.sc5")));
    EXPECT_FALSE(SameFile(a, Identity(dir + "/real/b.sc5")));
    // Not there yet: the folder and the rest of the name decide.
    FileIdentity x = Identity(dir + "/real/new/x.png");
    EXPECT_FALSE(x.exists);
    EXPECT_EQ(x.rest, "new/x.png");
    EXPECT_TRUE(SameFile(x, Identity(dir + "/real/inner/../new/./x.png")));
    EXPECT_TRUE(SameFile(x, Identity(dir + "/real/new/gone/../x.png")));
    EXPECT_FALSE(SameFile(x, Identity(dir + "/real/new/y.png")));
    EXPECT_FALSE(SameFile(x, Identity(dir + "/real/inner/new/x.png")));
    EXPECT_FALSE(SameFile(x, a));
    FileIdentity none;
    EXPECT_FALSE(GetFileIdentity("", &none));
#ifdef _WIN32
    // Windows names never distinguish case.
    EXPECT_TRUE(SameFile(a, Identity(dir + "/REAL/A.SC5")));
    EXPECT_TRUE(SameFile(x, Identity(dir + "/Real/NEW/X.png")));
#endif
}

TEST_F(PlatformSafety, FileVersionNoticesAChange) {
    const std::string file = dir + "/pic.sc5";
    WriteBytes(file, kOld);
    uint8_t buffer[4096];
    size_t got = 0;
    FileVersion first;
    ASSERT_EQ(ReadFileSafely(file.c_str(), buffer, sizeof buffer, &got, &first, nullptr, nullptr, 0), kReadOk);
    EXPECT_EQ(got, kOld.size());
    EXPECT_EQ(first.size, kOld.size());
    FileVersion again;
    EXPECT_EQ(ReadFileSafely(file.c_str(), buffer, sizeof buffer, &got, &again, &first, nullptr, 0), kReadOk);
    EXPECT_TRUE(SameFileVersion(first, again));
    // Replaced by another file of the same size (a write made this way is a new file).
    ASSERT_EQ(WriteFileAtomically(file.c_str(), kOld.data(), kOld.size(), nullptr, 0), kWriteOk);
    char reason[256] = "";
    got = 99;
    EXPECT_EQ(ReadFileSafely(file.c_str(), buffer, sizeof buffer, &got, nullptr, &first, reason, sizeof reason),
              kReadChanged);
    EXPECT_EQ(got, 0u);
    EXPECT_NE(reason[0], '\0');
}

TEST_F(PlatformSafety, FolderIsNotReadAsAFile) {
    uint8_t buffer[16];
    size_t got = 0;
    char reason[256] = "";
    EXPECT_EQ(ReadFileSafely(dir.c_str(), buffer, sizeof buffer, &got, nullptr, nullptr, reason, sizeof reason),
              kReadNotAFile);
    EXPECT_NE(ReadFilePrefix(dir.c_str(), buffer, sizeof buffer, &got), kReadOk);
    EXPECT_EQ(ReadFilePrefix((dir + "/missing").c_str(), buffer, sizeof buffer, &got), kReadCannotOpen);
}

TEST_F(PlatformSafety, TemporaryNameIsShortAndRemovedAfterEveryWrite) {
    const std::string target = dir + "/picture.sc5";
    StagedWrite staged;
    char reason[256] = "";
    ASSERT_EQ(StageNewOverOld(target, &staged), kWriteOk);
    EXPECT_EQ(PendingTemporaryFiles(), 1);
    const std::string name = fs::path(staged.temporary).filename().string();
    EXPECT_EQ(name.size(), 9u) << name;
    EXPECT_EQ(name.compare(0, 3, ".vr"), 0) << name;
    EXPECT_EQ(ReadBytes(target), kOld);  // untouched until the commit
    ASSERT_EQ(CommitStagedWrite(&staged, reason, sizeof reason), kWriteOk) << reason;
    EXPECT_EQ(PendingTemporaryFiles(), 0);
    EXPECT_EQ(ReadBytes(target), kNew);
    EXPECT_EQ(Entries(), 1u);
    // A failing write (a full disk) and an aborted one leave nothing either.
    SetWriteFailureForTesting(100);
    EXPECT_EQ(WriteFileAtomically(target.c_str(), kOld.data(), kOld.size(), reason, sizeof reason), kWriteWriteFailed);
    SetWriteFailureForTesting(-1);
    EXPECT_EQ(PendingTemporaryFiles(), 0);
    ASSERT_EQ(StageFileWrite(target.c_str(), kOld.data(), kOld.size(), WriteOptions{}, &staged, reason, sizeof reason),
              kWriteOk);
    AbortStagedWrite(&staged);
    EXPECT_EQ(PendingTemporaryFiles(), 0);
    EXPECT_EQ(ReadBytes(target), kNew);
    EXPECT_EQ(Entries(), 1u);
}

// A batch: several staged, flushed together, then renamed; a target that became something
// else meanwhile is not replaced.
TEST_F(PlatformSafety, StagedBatchFlushedAtOnce) {
    StagedWrite staged[3];
    char reason[256] = "";
    for (int i = 0; i < 3; ++i) {
        const std::string target = dir + "/out" + std::to_string(i) + ".png";
        ASSERT_EQ(StageFileWrite(target.c_str(), kNew.data(), kNew.size(), WriteOptions{}, &staged[i], reason,
                                 sizeof reason),
                  kWriteOk);
    }
    EXPECT_EQ(PendingTemporaryFiles(), 3);
    ASSERT_EQ(FlushStagedWrites(staged, 3, reason, sizeof reason), kWriteOk) << reason;
    for (const StagedWrite& s : staged) EXPECT_TRUE(s.flushed);
    fs::create_directory(dir + "/out2.png");
    EXPECT_EQ(CommitStagedWrite(&staged[0], reason, sizeof reason), kWriteOk);
    EXPECT_EQ(CommitStagedWrite(&staged[1], reason, sizeof reason), kWriteOk);
    EXPECT_EQ(CommitStagedWrite(&staged[2], reason, sizeof reason), kWriteCreateFailed);
    EXPECT_EQ(ReadBytes(dir + "/out1.png"), kNew);
    EXPECT_TRUE(fs::is_directory(dir + "/out2.png"));
    EXPECT_EQ(Entries(), 3u);
}

// After an interrupt the temporary files are gone at once and nothing is replaced any more.
TEST_F(PlatformSafety, InterruptRemovesTemporariesAndReplacesNothing) {
    const std::string target = dir + "/picture.sc5";
    StagedWrite staged;
    char reason[256] = "";
    ASSERT_EQ(StageNewOverOld(target, &staged), kWriteOk);
    SimulateInterruptForTesting(SIGINT);
    EXPECT_EQ(InterruptSignal(), SIGINT);
#ifndef _WIN32
    EXPECT_EQ(Entries(), 1u);  // removed by the handler, while the write was still open
#endif
    // (Windows, or Wine, may keep a deleted file's name until its last handle is closed.)
    EXPECT_EQ(CommitStagedWrite(&staged, reason, sizeof reason), kWriteInterrupted);
    EXPECT_EQ(Write(target), kWriteInterrupted);
    EXPECT_EQ(ReadBytes(target), kOld);
    EXPECT_EQ(Entries(), 1u);
    SimulateInterruptForTesting(0);
    EXPECT_EQ(Write(target), kWriteOk);
}

#ifndef _WIN32

bool IsRoot() { return geteuid() == 0; }

TEST_F(PlatformSafety, IdentityThroughSymlinkedFolders) {
    fs::create_directories(dir + "/real/inner");
    WriteBytes(dir + "/real/a.sc5", kOld);
    WriteBytes(dir + "/a.sc5", kOld);  // what sub/.. would be as text
    fs::create_directory_symlink("real", dir + "/link");
    fs::create_directory_symlink("real/inner", dir + "/sub");
    fs::create_symlink("real/a.sc5", dir + "/file-link.sc5");
    fs::create_hard_link(dir + "/real/a.sc5", dir + "/hard.sc5");
    FileIdentity a = Identity(dir + "/real/a.sc5");
    for (const char* same : {"/link/a.sc5", "/sub/../a.sc5", "/file-link.sc5", "/hard.sc5"}) {
        EXPECT_TRUE(SameFile(a, Identity(dir + same))) << same;
    }
    EXPECT_FALSE(SameFile(a, Identity(dir + "/a.sc5")));
    // Names not there yet, through the same links; a dangling link names its target.
    fs::create_symlink("real/later.png", dir + "/dangling.png");
    FileIdentity later = Identity(dir + "/real/later.png");
    for (const char* same : {"/link/later.png", "/sub/../later.png", "/dangling.png"}) {
        EXPECT_TRUE(SameFile(later, Identity(dir + same))) << same;
    }
    EXPECT_FALSE(SameFile(later, Identity(dir + "/later.png")));
    EXPECT_TRUE(SameFile(Identity(dir + "/link/out/x.png"), Identity(dir + "/real/out/x.png")));
    // Upper and lower case are different names here (the scratch folder is on a file system
    // that distinguishes them, unless it says otherwise).
    FileIdentity upper = Identity(dir + "/real/X.png");
    if (!upper.ignoreCase) {
        EXPECT_FALSE(SameFile(upper, Identity(dir + "/real/x.png")));
    }
}

// A FIFO without a writer and a device are refused at once: opening never blocks.
TEST_F(PlatformSafety, OnlyRegularFilesAreRead) {
    ASSERT_EQ(mkfifo((dir + "/fifo.sc5").c_str(), 0644), 0);
    struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {dir + "/fifo.sc5", "not a regular file (a FIFO)"},
        {"/dev/null", "not a regular file (a character device)"},
        {dir, "Is a directory"},
    };
    for (const auto& c : cases) {
        uint8_t buffer[64];
        size_t got = 0;
        char reason[256] = "";
        EXPECT_EQ(ReadFileSafely(c.path.c_str(), buffer, sizeof buffer, &got, nullptr, nullptr, reason,
                                 sizeof reason),
                  kReadNotAFile)
            << c.path;
        EXPECT_STREQ(reason, c.reason);
        EXPECT_EQ(ReadFilePrefix(c.path.c_str(), buffer, sizeof buffer, &got), kReadNotAFile) << c.path;
    }
}

// Replacing through a symlink (also a relative one into another folder, and a chain) writes the
// final target; the links stay links.
TEST_F(PlatformSafety, WriteThroughSymlinkKeepsTheLink) {
    fs::create_directories(dir + "/pics");
    fs::create_directories(dir + "/links");
    WriteBytes(dir + "/pics/real.sc5", kOld);
    fs::create_symlink("../pics/real.sc5", dir + "/links/link.sc5");
    fs::create_symlink("links/link.sc5", dir + "/chain.sc5");
    for (const char* name : {"/links/link.sc5", "/chain.sc5"}) {
        WriteBytes(dir + "/pics/real.sc5", kOld);
        ASSERT_EQ(Write(dir + name), kWriteOk) << name;
        EXPECT_TRUE(fs::is_symlink(dir + "/links/link.sc5"));
        EXPECT_TRUE(fs::is_symlink(dir + "/chain.sc5"));
        EXPECT_EQ(ReadBytes(dir + "/pics/real.sc5"), kNew);
    }
    // A dangling link: its target is made.
    fs::create_symlink("pics/new.sc5", dir + "/dangling.sc5");
    ASSERT_EQ(Write(dir + "/dangling.sc5"), kWriteOk);
    EXPECT_TRUE(fs::is_symlink(dir + "/dangling.sc5"));
    EXPECT_EQ(ReadBytes(dir + "/pics/new.sc5"), kNew);
    EXPECT_EQ(Entries(), 4u);  // pics, links, chain.sc5, dangling.sc5
    size_t inPics = 0;
    for (const auto& entry : fs::directory_iterator(dir + "/pics")) {
        (void)entry;
        ++inPics;
    }
    EXPECT_EQ(inPics, 2u);  // real.sc5 and new.sc5, no temporary file
}

// A FIFO, a device node and a socket-like special file are never replaced, through a link
// neither; a folder is a create failure as before.
TEST_F(PlatformSafety, SpecialFilesAreNeverReplaced) {
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);
    fs::create_symlink("fifo", dir + "/fifo-link");
    std::vector<std::string> specials = {dir + "/fifo", dir + "/fifo-link"};
    if (IsRoot()) {
        ASSERT_EQ(mknod((dir + "/mynull").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        specials.push_back(dir + "/mynull");
    } else {
        std::printf("character device node: skipped (needs root for mknod)\n");
    }
    for (const std::string& target : specials) {
        char reason[256] = "";
        EXPECT_EQ(Write(target, false, reason), kWriteNotAFile) << target;
        EXPECT_EQ(std::string(reason).rfind("not a regular file (a ", 0), 0u) << reason;
        EXPECT_EQ(Write(target, true), kWriteNotAFile) << target;  // force does not change that
    }
    struct stat st;
    ASSERT_EQ(lstat((dir + "/fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(fs::is_symlink(dir + "/fifo-link"));
    if (IsRoot()) {
        ASSERT_EQ(lstat((dir + "/mynull").c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        EXPECT_EQ(st.st_rdev, makedev(1, 3));
    }
    EXPECT_EQ(Entries(), specials.size());
    EXPECT_EQ(Write(dir + "/sub/"), kWriteCreateFailed);
    EXPECT_FALSE(FileExists(dir + "/sub"));
}

TEST_F(PlatformSafety, ReplacedFileKeepsItsModeAndOwner) {
    const mode_t mask = umask(022);
    for (mode_t mode : {0640, 0600, 0604, 0755}) {
        const std::string target = dir + "/mode" + std::to_string(mode) + ".sc5";
        WriteBytes(target, kOld);
        ASSERT_EQ(chmod(target.c_str(), mode), 0);
        ASSERT_EQ(Write(target), kWriteOk);
        struct stat st;
        ASSERT_EQ(stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
    }
    ASSERT_EQ(Write(dir + "/fresh.sc5"), kWriteOk);
    struct stat st;
    ASSERT_EQ(stat((dir + "/fresh.sc5").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);  // as any new file under umask 022
    umask(mask);
    if (IsRoot()) {
        const std::string target = dir + "/owned.sc5";
        WriteBytes(target, kOld);
        ASSERT_EQ(chown(target.c_str(), 1234, 5678), 0);
        ASSERT_EQ(Write(target), kWriteOk);
        ASSERT_EQ(stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 5678u);
    } else {
        std::printf("owner and group: skipped (needs root)\n");
    }
}

TEST_F(PlatformSafety, ReadOnlyFileNeedsForce) {
    const std::string target = dir + "/locked.sc5";
    WriteBytes(target, kOld);
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    char reason[256] = "";
    EXPECT_EQ(Write(target, false, reason), kWriteReadOnly);
    EXPECT_STREQ(reason, "the file is read-only");
    EXPECT_STREQ(WriteResultOperation(kWriteReadOnly), "CreateFile");
    EXPECT_EQ(ReadBytes(target), kOld);
    EXPECT_EQ(Write(target, true), kWriteOk);
    EXPECT_EQ(ReadBytes(target), kNew);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(Entries(), 1u);
}

// The temporary name does not grow with the target's: names up to the system's 255 bytes work.
TEST_F(PlatformSafety, LongestNamesCanBeWritten) {
    for (size_t length : {239u, 250u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".png";
        char reason[256] = "";
        EXPECT_EQ(Write(dir + "/" + name, false, reason), kWriteOk) << length << ": " << reason;
        EXPECT_EQ(ReadBytes(dir + "/" + name), kNew);
    }
    EXPECT_EQ(Write(dir + "/" + std::string(256, 'n')), kWriteCreateFailed);
    EXPECT_EQ(Entries(), 3u);
}

// The real handler, sent a real SIGINT; a second one would end the process, so only one.
TEST_F(PlatformSafety, SigintHandlerRemovesTemporaries) {
    InstallInterruptCleanup();
    const std::string target = dir + "/picture.sc5";
    StagedWrite staged;
    char reason[256] = "";
    ASSERT_EQ(StageNewOverOld(target, &staged), kWriteOk);
    EXPECT_EQ(Entries(), 2u);
    raise(SIGTERM);
    EXPECT_EQ(InterruptSignal(), SIGTERM);
    EXPECT_EQ(Entries(), 1u);
    EXPECT_EQ(CommitStagedWrite(&staged, reason, sizeof reason), kWriteInterrupted);
    EXPECT_EQ(ReadBytes(target), kOld);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    std::signal(SIGQUIT, SIG_DFL);
    std::signal(SIGPIPE, SIG_DFL);
}

// The first interrupt only records itself; the second ends the process by its signal, so a
// program stuck somewhere can still be stopped (the shell then sees status 130).
TEST_F(PlatformSafety, SecondInterruptEndsTheProcess) {
    std::fflush(stdout);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallInterruptCleanup();
        raise(SIGINT);
        if (InterruptSignal() != SIGINT) _exit(3);
        raise(SIGINT);
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGINT);
}

// Real signals at random moments into a process that writes one file after another, as a batch
// does: it stops with 128 + the signal, no temporary file is left, and the target is whole.
TEST_F(PlatformSafety, SignalsDuringWritesLeaveNoTemporaryFile) {
    const std::string target = dir + "/out.png";
    const Bytes big(200000, 0x33);
    for (int round = 0; round < 12; ++round) {
        const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
        const int signal = signals[round % 4];
        WriteBytes(target, kOld);
        std::fflush(stdout);
        // The child says when its handlers are in place: a signal before that would end it by
        // the default action however busy the machine is.
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            InstallInterruptCleanup();
            close(ready[0]);
            if (write(ready[1], "r", 1) != 1) _exit(2);
            close(ready[1]);
            for (int i = 0; InterruptSignal() == 0; ++i) {
                const Bytes& bytes = i % 2 == 0 ? kNew : big;
                WriteResult result = WriteFileAtomically(target.c_str(), bytes.data(), bytes.size(), nullptr, 0);
                if (result != kWriteOk && result != kWriteInterrupted) _exit(1);
            }
            _exit(128 + InterruptSignal());
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        usleep(static_cast<useconds_t>(2000 + round * 1500));
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_EQ(Entries(), 1u) << "round " << round;
        const Bytes now = ReadBytes(target);
        EXPECT_TRUE(now == kOld || now == kNew || now == big) << now.size();
    }
}

// Standard output and input, redirected for the test: a full disk and a closed pipe are
// errors; standard input keeps only its first bytes.
class Redirect {
public:
    Redirect(int fd, int to) : fd_(fd), saved_(dup(fd)) { dup2(to, fd); }
    ~Redirect() {
        dup2(saved_, fd_);
        close(saved_);
    }

private:
    int fd_;
    int saved_;
};

TEST_F(PlatformSafety, StandardOutputReportsFailures) {
    std::fflush(stdout);
    char reason[256] = "";
    int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    {
        Redirect redirect(STDOUT_FILENO, full);
        EXPECT_FALSE(WriteStandardOutput(kNew.data(), kNew.size(), reason, sizeof reason));
    }
    close(full);
    EXPECT_STREQ(reason, "No space left on device");
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    auto previous = std::signal(SIGPIPE, SIG_IGN);
    {
        Redirect redirect(STDOUT_FILENO, ends[1]);
        EXPECT_FALSE(WriteStandardOutput(kNew.data(), kNew.size(), reason, sizeof reason));
    }
    std::signal(SIGPIPE, previous);
    close(ends[1]);
    EXPECT_STREQ(reason, "Broken pipe");
    const std::string file = dir + "/out.bin";
    int out = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    {
        Redirect redirect(STDOUT_FILENO, out);
        EXPECT_TRUE(WriteStandardOutput(kNew.data(), kNew.size(), reason, sizeof reason));
    }
    close(out);
    EXPECT_EQ(ReadBytes(file), kNew);
}

TEST_F(PlatformSafety, StandardInputKeepsItsFirstBytes) {
    const std::string file = dir + "/in.bin";
    Bytes big(80000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    WriteBytes(file, big);
    Bytes buffer(7 + 0x10000);
    size_t got = 0;
    int in = open(file.c_str(), O_RDONLY);
    {
        Redirect redirect(STDIN_FILENO, in);
        EXPECT_EQ(ReadStandardInput(buffer.data(), buffer.size(), &got, nullptr, 0), kReadOk);
    }
    close(in);
    ASSERT_EQ(got, buffer.size());
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), big.begin()));
    // A pipe that ends early: everything it had.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], big.data(), 1000), 1000);
    close(ends[1]);
    {
        Redirect redirect(STDIN_FILENO, ends[0]);
        EXPECT_EQ(ReadStandardInput(buffer.data(), buffer.size(), &got, nullptr, 0), kReadOk);
    }
    close(ends[0]);
    EXPECT_EQ(got, 1000u);
}

#else  // _WIN32

// Devices by their reserved names are neither read nor replaced.
TEST_F(PlatformSafety, DevicesAreNeitherReadNorReplaced) {
    uint8_t buffer[16];
    size_t got = 0;
    EXPECT_EQ(ReadFilePrefix("NUL", buffer, sizeof buffer, &got), kReadNotAFile);
    EXPECT_EQ(Write("NUL"), kWriteNotAFile);
    EXPECT_EQ(Write(dir + "/sub/"), kWriteCreateFailed);
    EXPECT_EQ(Entries(), 0u);
}

TEST_F(PlatformSafety, ReadOnlyFileNeedsForce) {
    const std::string target = dir + "/locked.sc5";
    WriteBytes(target, kOld);
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Write(target), kWriteReadOnly);
    EXPECT_EQ(ReadBytes(target), kOld);
    EXPECT_EQ(Write(target, true), kWriteOk);
    EXPECT_EQ(ReadBytes(target), kNew);
    DWORD attributes = GetFileAttributesA(target.c_str());
    EXPECT_NE(attributes & FILE_ATTRIBUTE_READONLY, 0u);  // still read-only
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Entries(), 1u);
}

// A symlink is written through where the system lets a program make one (developer mode,
// administrator, Wine).
TEST_F(PlatformSafety, WriteThroughSymlinkKeepsTheLink) {
    const std::string real = dir + "/real.sc5";
    const std::string link = dir + "/link.sc5";
    WriteBytes(real, kOld);
    if (!CreateSymbolicLinkA(link.c_str(), real.c_str(), 0)) GTEST_SKIP() << "no symlinks here";
    const DWORD attributes = GetFileAttributesA(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        GTEST_SKIP() << "symlinks are not made here (Wine 8 only pretends to)";
    }
    ASSERT_EQ(Write(link), kWriteOk);
    EXPECT_NE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(ReadBytes(real), kNew);
    EXPECT_EQ(Entries(), 2u);
}

#endif

}  // namespace
