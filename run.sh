#!/usr/bin/env bash
# Sets up, builds and starts Trovex, on the given folder or, with none, as a new user would start it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/setup.sh"
# Tests are not built here, so starting the program needs none of their tools.
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$here/build" --target trovex -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
exec "$here/build/trovex" "$@"
