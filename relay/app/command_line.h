// The relay's command line: options, positional arguments, derived values, usage.
#pragma once

struct Relay;
struct BotSettings;

// Fills the settings from the command line. Returns only when it is acceptable;
// otherwise prints the usage text and ends the program (exit code 2; 0 for -h).
void parse_command_line(Relay& r, int argc, char** argv);

// Prints the usage text and ends the program with exit_code.
[[noreturn]] void print_usage(Relay& r, const char* program_name, int exit_code);

// Sets the four OSP show flags from the ospshow bit mask.
void decode_ospshow(BotSettings& s);
