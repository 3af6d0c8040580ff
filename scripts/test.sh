#!/usr/bin/env bash
# Set-up, a build of the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the whole suite through ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

sonivar_install_packages
sonivar_build build-tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONIVAR_SANITIZE=ON -DSONIVAR_TESTS=ON
cd "$SONIVAR_ROOT/build-tests"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"$(nproc)" "$@"
