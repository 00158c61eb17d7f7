// The real platform's file access on the kinds of path a log setting may name.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "relay/core/posix_platform.h"

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
