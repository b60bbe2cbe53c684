# Sourced by every script that builds and runs the utility: strict mode, the
# repository root as the working folder, everything installed, the build
# function, and the Wine session (scripts/wine-session.sh).
set -euo pipefail
KESTRUNE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$KESTRUNE_ROOT"
scripts/setup.sh
source scripts/arch.sh
source scripts/wine-session.sh

# kestrune_build PRESET [TARGET...]: configures the preset and builds the
# targets (everything when none is named).
kestrune_build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build --preset "$preset" -j"$(nproc)" --target "$@"
  else
    cmake --build --preset "$preset" -j"$(nproc)"
  fi
}
