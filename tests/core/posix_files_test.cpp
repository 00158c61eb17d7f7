// The real platform's file access on the kinds of path a log setting may name.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "relay/base/posix_platform.h"

TEST(PosixFiles, OnlyPlainFilesOpenAndNothingBlocks)
{
    char dir[] = "/tmp/tidecore-files-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string fifo = std::string(dir) + "/pipe";
    const std::string plain = std::string(dir) + "/plain.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    PosixPlatform posix;
    {
        int fh = posix.file_open_append(plain, false);
        ASSERT_GE(fh, 0);
        posix.file_write(fh, "x\n", 2);
        posix.file_close(fh);
    }

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(posix.file_open_read(fifo), -1); // would block a blocking open
    EXPECT_EQ(posix.file_open_read(dir), -1);
    EXPECT_EQ(posix.file_open_read("/dev/zero"), -1);
    std::string content;
    EXPECT_FALSE(posix.read_file(fifo, content));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_FALSE(posix.file_stat(fifo).regular);
    EXPECT_TRUE(posix.file_stat(fifo).exists);

    int fh = posix.file_open_read(plain);
    EXPECT_GE(fh, 0);
    EXPECT_TRUE(posix.file_stat(plain).regular);
    posix.file_close(fh);

    ::unlink(fifo.c_str());
    ::unlink(plain.c_str());
    ::rmdir(dir);
}

// The trace file, which may live in a directory others can write to: a new one is
// private, an existing one loses its group and world rights, and nothing planted
// at the path (a link, a pipe, a directory) is opened or waited on.
TEST(PosixFiles, APrivateFileIsOpenedSafely)
{
    char dir[] = "/tmp/tidecore-files-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string d(dir);
    PosixPlatform posix;
    auto mode_of = [](const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    };

    int fh = posix.file_open_append(d + "/new.log", true);
    ASSERT_GE(fh, 0);
    posix.file_close(fh);
    EXPECT_EQ(mode_of(d + "/new.log"), 0600u);

    int old = ::open((d + "/open.log").c_str(), O_WRONLY | O_CREAT, 0666);
    ::close(old);
    ::chmod((d + "/open.log").c_str(), 0666);
    fh = posix.file_open_append(d + "/open.log", true);
    ASSERT_GE(fh, 0);
    posix.file_close(fh);
    EXPECT_EQ(mode_of(d + "/open.log"), 0600u);

    ASSERT_EQ(::symlink((d + "/open.log").c_str(), (d + "/link.log").c_str()), 0);
    EXPECT_EQ(posix.file_open_append(d + "/link.log", true), -1);
    ASSERT_EQ(::mkdir((d + "/dir.log").c_str(), 0700), 0);
    EXPECT_EQ(posix.file_open_append(d + "/dir.log", true), -1);
    // A pipe without a reader: refused at once, not waited on (in a child, so a
    // relay that would block fails this test instead of hanging it).
    ASSERT_EQ(::mkfifo((d + "/pipe.log").c_str(), 0600), 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::alarm(3);
        PosixPlatform inner;
        ::_exit(inner.file_open_append(d + "/pipe.log", true) == -1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    for (const char* name : {"/new.log", "/open.log", "/link.log", "/pipe.log"})
        ::unlink((d + name).c_str());
    ::rmdir((d + "/dir.log").c_str());
    ::rmdir(dir);
}
