// The console log's lines and their reports (the default mode).
#pragma once

struct Relay;

// Handles the line at the front of the log buffer. 0 to go on with the batch.
int process_console_line(Relay& r, char* line);
