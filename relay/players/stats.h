// The player statistics report.
#pragma once

struct Relay;

void show_stats(Relay& r, const char* target);
