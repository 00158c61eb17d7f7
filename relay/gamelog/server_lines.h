// The dedicated server's event log lines (server mode).
#pragma once

struct Relay;

// Handles one time-stamped line of the server's event log: the map clock, the
// player table and the reports. The line is left as it was. Always 0.
int process_server_line(Relay& r, char* line);
