#!/usr/bin/env bash
# The manual page renders without a warning, has a whatis line, and describes
# what the program offers: every option of its usage text (and the hidden -D, -E,
# -G), every owner command of the dispatch table, every colour style and every
# [general] key of the colour file reader.
#   manpage_test.sh SOURCE_DIR TIDECORE
set -uo pipefail
src="$1"; tidecore="$2"
page="$src/packaging/tidecore.1"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Rendering: groff with every warning on, and man-db's own parser.
warnings=$(LC_ALL=C.UTF-8 groff -ww -z -man -Tutf8 "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warnings: $warnings"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man warnings: $warnings"
whatis=$(lexgrog "$page") || fail "lexgrog finds no whatis line"
echo "$whatis" | grep -q 'tidecore - ' || fail "lexgrog: $whatis"

text=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -P-cbou "$page" 2>/dev/null)

# Options: the letters of the program's own usage text. The usage text ends the
# program after a 5-second pause.
usage=$(timeout 20 "$tidecore" -h)
letters=$(sed -n 's/^\t-\([A-Za-z]\) .*/\1/p' <<<"$usage" | sort -u)
[ "$(echo "$letters" | wc -w)" -ge 30 ] || fail "usage text gave only: $letters"
for l in $letters D E G; do
  # An option's own paragraph starts with the option at the margin (".B \-x" or ".BI \-x").
  grep -Eq "^\.BI? \\\\-$l( |$)" "$page" || fail "option -$l has no paragraph"
done

# Owner commands: every row of the dispatch table.
commands=$(grep -o '{"![a-z]*"' "$src/relay/commands/dispatch.cpp" | tr -d '{"' | sort -u)
[ "$(echo "$commands" | wc -w)" -ge 40 ] || fail "dispatch table gave only: $commands"
for c in $commands; do
  grep -Eq -- "(^|[ ,(])$c([] ,).]|$)" <<<"$text" || fail "owner command $c is not described"
done

# Colour file: style names and the keys of [general].
styles=$(sed -n 's/.*{"\([a-z]*\)", &ColourStyles::.*/\1/p' "$src/relay/config/colours.cpp")
keys=$(sed -n 's/.*key == "\([a-z]*\)".*/\1/p' "$src/relay/config/colours.cpp" | grep -vx 'fg\|bg\|style')
[ "$(echo "$styles" | wc -w)" -ge 15 ] || fail "colour styles: $styles"
[ "$(echo "$keys" | wc -w)" -ge 20 ] || fail "general keys: $keys"
for k in $styles; do
  grep -Eq "(^|[ ,(])$k([ ,)]|$)" <<<"$text" || fail "colour style $k is not described"
done
for k in $keys fg bg style; do
  grep -Eq "(^|[ ,])$k=" <<<"$text" || fail "colour file key $k= is not described"
done

# The sections a reader looks for.
for s in SYNOPSIS OPTIONS "CONFIGURATION FILES" "OWNER COMMANDS" "IN-GAME COMMANDS" \
         "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
  grep -q "^$s\$" <<<"$text" || fail "no section $s"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "manual page: renders cleanly; $(echo $letters | wc -w) options, $(echo $commands | wc -w) owner commands, $(echo $styles | wc -w) styles and $(echo $keys | wc -w) keys described"
