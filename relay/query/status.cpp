// Placeholder until the status query lands.
#include "relay/query/status.h"

void run_status_query(Relay&)
{
}
