#!/usr/bin/env bash
# Set-up, a build of the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the whole suite through ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

sonivar_install_packages
# On CI, warnings of the project's own code are errors, and the Release
# build of the whole tree (benchmarks included) must print none either.
werror=OFF
if [ "${CI:-}" = true ]; then
  werror=ON
  sonivar_build build-release -DCMAKE_BUILD_TYPE=Release -DSONIVAR_TESTS=ON -DSONIVAR_BENCH=ON \
    -DSONIVAR_WERROR=ON
fi
sonivar_build build-tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONIVAR_SANITIZE=ON -DSONIVAR_TESTS=ON \
  -DSONIVAR_WERROR="$werror"
cd "$SONIVAR_ROOT/build-tests"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"$(nproc)" "$@"
