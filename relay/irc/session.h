// IRC input, the session's state and the connect routine.
#pragma once

struct Relay;

// Reads what the IRC socket has; -1 when the connection broke for good.
int read_buf(Relay& r);
// Handles every complete line waiting in the input buffer. Always 0.
int take_irc_lines(Relay& r);
// Opens whatever connection is missing and logs in.
void connect_all(Relay& r);
