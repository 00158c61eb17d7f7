// The map information file, then the look-ups that use it: the first few maps'
// lengths and objective texts for a player of each team.
#include <algorithm>

#include "fuzz/fuzz_relay.h"
#include "relay/base/teams.h"
#include "relay/config/mapinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzRelay t;
    Relay& r = t.r();
    t.fake.write_file("/etc/maps.ini", fuzz_text(data, size));
    t.player(1, "Red", 1);
    t.player(2, "Blue", 2);
    fuzz_guarded([&] {
        load_mapinfo(r, "/etc/maps.ini");
        std::size_t count = std::min<std::size_t>(r.maps.maps.size(), 4);
        for (std::size_t i = 0; i < count; ++i) {
            r.game.map = r.maps.maps[i].name;
            map_time(r);
            for (int team = kTeamRed; team <= kTeamBlue; ++team)
                for (int flag = 0; flag < 2; ++flag)
                    objective_text(r, team, flag);
        }
    });
    return 0;
}
