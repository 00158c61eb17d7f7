// Placeholder until console line processing lands.
#include "relay/gamelog/console_lines.h"

int process_console_line(Relay&, char*)
{
    return 0;
}
