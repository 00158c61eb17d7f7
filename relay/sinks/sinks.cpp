#include "relay/sinks/sinks.h"

#include "relay/core/relay.h"

void report_to_sinks(Relay& r, const char* text)
{
    (void)r;
    (void)text;
}
