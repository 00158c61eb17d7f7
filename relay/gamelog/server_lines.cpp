// Server-mode log lines are not handled yet: every line is passed over.
#include "relay/gamelog/server_lines.h"

int process_server_line(Relay&, char*)
{
    return 0;
}
