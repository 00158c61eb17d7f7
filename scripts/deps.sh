#!/usr/bin/env bash
# Installs the Debian packages Tidewatch needs to build, test and run its demo.
# Only what is missing is installed; apt needs root (sudo is used when available).
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev ngircd qt6-base-dev libgl-dev)
# TLS to the IRC server (GnuTLS, found with pkg-config); openssl makes the test
# server's certificate.
packages+=(libgnutls28-dev pkg-config openssl)
# The Discord webhook sink: HTTP with libcurl (GnuTLS flavour) and JSON bodies.
packages+=(libcurl4-gnutls-dev nlohmann-json3-dev)
# All-time statistics: SQLite, and its command-line tool for the tests.
packages+=(libsqlite3-dev sqlite3)
# The tests' webhook stand-in (Python's own HTTP server and JSON).
packages+=(python3)
# The live status files' tests: the page in headless Chromium, promtool for the
# metrics, node_exporter's textfile collector serving them.
packages+=(chromium prometheus prometheus-node-exporter)
# The micro-benchmarks of bench/ (built, not run, by the tests).
packages+=(libbenchmark-dev)
# The Debian package and its tests: dpkg-shlibdeps and file for cpack, groff and
# man-db to check the manual page, systemd-analyze for the unit, and the checker
# of the desktop entry.
packages+=(dpkg-dev file groff-base man-db systemd desktop-file-utils)
# The fuzz targets: clang and its runtime libraries (libFuzzer, the sanitizers).
packages+=(clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please install as root: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
