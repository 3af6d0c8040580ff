#!/usr/bin/env bash
# Set-up, a Release build of the two programs and the Debian package, whose
# path is printed last. Extra arguments go to cmake, for instance
# -DSONIVAR_PACKAGE_CONTACT="Nom <adresse>" for the package's maintainer.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

sonivar_install_packages
# Debian's compiler and linker flags, hardening included, as its own packages
# are built with; given on the command line, so they hold on a rebuild too.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
sonivar_build build-package -DCMAKE_BUILD_TYPE=Release -DSONIVAR_TESTS=OFF -DSONIVAR_SANITIZE=OFF \
  -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" "$@"
cd "$SONIVAR_ROOT/build-package"
rm -f ./*.deb
cpack --config CPackConfig.cmake >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb="$(ls "$SONIVAR_ROOT"/build-package/*.deb)"
echo "Paquet : $deb"
