// Tidecore: relays a Soldier of Fortune 2 server's log into an IRC channel.
#include <memory>
#include <new>

#include "relay/app/command_line.h"
#include "relay/app/main_loop.h"
#include "relay/base/posix_platform.h"
#include "relay/relay.h"

int main(int argc, char** argv)
{
    static PosixPlatform platform;
    std::unique_ptr<Relay> relay;
    try {
        relay = std::make_unique<Relay>(platform);
        parse_command_line(*relay, argc, argv);
        run_relay(*relay);
    } catch (const std::bad_alloc&) {
        static const char message[] = "MALLOC ERROR\n";
        platform.console(message, sizeof message - 1);
        if (relay)
            exit_program(*relay, kExitFatal);
        return kExitFatal;
    }
}
