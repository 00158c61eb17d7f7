#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "relay/app/command_line.h"
#include "relay/base/posix_platform.h"
#include "tests/support/relay_fixture.h"

namespace {

// Starts a relay with -D 1 on the given platform, writes one trace line and ends it.
void traced_run(FakePlatform& fake)
{
    Relay r(fake);
    std::vector<std::string> args{"tidecore", "-D", "1", "irc", "#c", "log"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    parse_command_line(r, static_cast<int>(argv.size()), argv.data());
    trace(r, 1, "hello\r\n");
    EXPECT_THROW(exit_program(r, 0), FakeExit);
}

const std::string kOneRun = "------\nLOGFILE OPENED\n------\nhello\r\n\r\n-- CLOSING DEBUG FILE --\r\n";

} // namespace

TEST(TraceLocation, DirectoryFromTheEnvironmentOrTheFixedPath)
{
    // A service names its state directory: the trace goes there and nowhere else.
    FakePlatform service;
    service.env[kTraceDirVariable] = "/var/lib/tidecore/myclan";
    traced_run(service);
    EXPECT_EQ(service.file_content("/var/lib/tidecore/myclan/tidecore-trace.log"), kOneRun);
    EXPECT_EQ(service.files.count(kTracePath), 0u);

    // Trailing slashes do not double the separator; the root directory stays itself.
    FakePlatform slashes;
    slashes.env[kTraceDirVariable] = "/srv/trace//";
    EXPECT_EQ(trace_path(slashes), "/srv/trace/tidecore-trace.log");
    slashes.env[kTraceDirVariable] = "/";
    EXPECT_EQ(trace_path(slashes), "/tidecore-trace.log");

    // Unset or empty: the fixed path.
    FakePlatform unset;
    EXPECT_EQ(trace_path(unset), kTracePath);
    FakePlatform empty;
    empty.env[kTraceDirVariable] = "";
    traced_run(empty);
    EXPECT_EQ(empty.file_content(kTracePath), kOneRun);
    EXPECT_EQ(empty.files.size(), 1u);
}

TEST(TraceLocation, PosixPlatformReadsTheProcessEnvironment)
{
    PosixPlatform posix;
    ::setenv(kTraceDirVariable, "/run/tidecore-test", 1);
    EXPECT_EQ(posix.environment(kTraceDirVariable), "/run/tidecore-test");
    EXPECT_EQ(trace_path(posix), "/run/tidecore-test/tidecore-trace.log");
    ::unsetenv(kTraceDirVariable);
    EXPECT_EQ(posix.environment(kTraceDirVariable), "");
    EXPECT_EQ(trace_path(posix), kTracePath);
}
