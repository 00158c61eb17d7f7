// A fresh Relay on a fake platform, for unit tests.
#pragma once

#include <memory>

#include "relay/core/relay.h"
#include "tests/support/fake_platform.h"

struct TestRelay {
    FakePlatform fake;
    std::unique_ptr<Relay> relay = std::make_unique<Relay>(fake);
    Relay& r() { return *relay; }
};
