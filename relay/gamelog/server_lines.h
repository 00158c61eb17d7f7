// The dedicated server's event log lines (server mode).
#pragma once

struct Relay;

int process_server_line(Relay& r, char* line);
