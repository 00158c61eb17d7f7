// The relay's command line: the input's lines are the arguments after the
// program name.
#include "fuzz/fuzz_relay.h"
#include "relay/app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<std::string> args = fuzz_lines(data, size);
    args.insert(args.begin(), "tidecore");
    if (args.size() > 64)
        args.resize(64);
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv;
    for (const std::string& a : args) {
        storage.emplace_back(a.begin(), a.end());
        storage.back().push_back('\0');
    }
    for (auto& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    TestRelay t(fuzz_storage());
    t.fake.write_file("/log/games.log", "0:00 InitGame:\n");
    fuzz_guarded([&] { parse_command_line(t.r(), static_cast<int>(args.size()), argv.data()); });
    return 0;
}
