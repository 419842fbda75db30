#!/bin/bash
# Sets the machine up, builds, and starts the game as the server in its
# window, from the data folder (the game reads its files from there).
# Any arguments go to the game: tools/play.sh <server-host> joins a server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cd build/data
exec ../maze "$@"
