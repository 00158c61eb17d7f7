// IRC input, the session's state and the connect routine.
#pragma once

#include <cstddef>

struct Relay;

// The QuakeNet service that takes the AUTH line.
inline constexpr const char* kQServiceAddress = "Q@CServe.quakenet.org";

// Login steps for irc_register_steps (a bit set).
inline constexpr int kStepNick = 1;
inline constexpr int kStepUser = 2;
inline constexpr int kStepQAuth = 4;
inline constexpr int kStepJoin = 8;

// Reads what the IRC socket has into the input buffer: the byte count (0 when
// nothing waits or not connected), or -1 when the connection broke and two
// reconnection attempts failed; callers then end the program with kExitFatal.
int read_buf(Relay& r);
// Registration repairs of one kind: the first few run at once, the next waits
// kRepairFirstDelay seconds, each further one twice as long, up to the cap.
inline constexpr int kRepairsAtOnce = 3;
inline constexpr int kRepairFirstDelay = 2;
inline constexpr int kRepairMaxDelay = 300;
// A nick grown by "2"s for nick collisions stops growing at this length.
inline constexpr std::size_t kMaxGrownNick = 16;
// Liveness: seconds of silence from the server before the relay PINGs it, and
// seconds it then waits for any answer before dropping the connection.
inline constexpr long long kSilenceBeforeProbe = 240;
inline constexpr long long kProbeAnswerTime = 60;

// Server lines handled by one take_irc_lines call at most.
inline constexpr int kIrcLinesPerPass = 20;

// Handles the complete lines (ended by CR LF or LF) waiting in the input buffer, at
// most kIrcLinesPerPass of them.
void take_irc_lines(Relay& r);
// True when complete lines wait in the input buffer.
bool irc_lines_waiting(const Relay& r);
// Handles the line at the front of the input buffer (zero-terminated there).
int handle_irc_line(Relay& r);
// Sends some login lines again; steps is a set of kStep* bits.
void irc_register_steps(Relay& r, int steps);
// The full login: PASS, NICK, USER, (Q AUTH), JOIN, banner.
void irc_login(Relay& r);
// After a lost connection: two attempts, five seconds apart. True when connected.
bool reconnect_after_loss(Relay& r);
// The session's duties of a main loop pass: connecting again at once after a lost
// connection (ending the program with exit code 1 when that fails), the delayed
// registration repairs, and the liveness probe of a silent server.
void irc_upkeep(Relay& r);
// The earliest time (seconds since the epoch) at which irc_upkeep has work to do
// while nothing comes in; a large value when it has none.
long long irc_upkeep_due(const Relay& r);
// Opens the game server's status query socket unless it is open or no server is set.
void open_query_socket(Relay& r);
// Opens whatever connection is missing and logs in.
void connect_all(Relay& r);
