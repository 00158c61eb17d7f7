#include "relay/core/command_line.h"

#include "relay/core/relay.h"

void parse_command_line(Relay&, int, char**)
{
}

void print_usage(Relay& r, const char*, int exit_code)
{
    exit_program(r, exit_code);
}
