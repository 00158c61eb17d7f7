// The status page (index.html): self-contained, complete without JavaScript,
// and with it redrawn from status.json every few seconds. Every text from the
// game is escaped.
#pragma once

#include <string>
#include <string_view>

struct Relay;

std::string render_status_page(const Relay& r);
// Text made safe between HTML tags and inside quoted attributes.
std::string html_escape(std::string_view text);
// A name with game colour codes (^0..^9) as escaped text in coloured spans.
std::string html_coloured(std::string_view name);
