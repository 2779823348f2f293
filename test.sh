#!/usr/bin/env bash
# Sets everything up and runs every test (GUI tests headless), ending with ctest's summary.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

xinfang_install_packages
xinfang_build "$XINFANG_ROOT/build"
cd "$XINFANG_ROOT/build"
ctest --output-on-failure --parallel "$(nproc)"
