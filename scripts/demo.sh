#!/usr/bin/env bash
# Set-up, a Release build, and the program started on the simulated unit
# (paced at its sampling clock, with its external inputs driven from this
# terminal) and filmed by the simulated webcam. Every option is the launcher's (--control FIFO, --source ...,
# see build/sonivar-sim --help); the program itself takes none.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

sonivar_install_packages
sonivar_build build -DCMAKE_BUILD_TYPE=Release -DSONIVAR_TESTS=OFF

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "Pas d'affichage graphique (DISPLAY n'est pas défini)."
  echo "Lancez la démonstration sous un serveur X virtuel :"
  echo "  xvfb-run -a -s '-screen 0 1280x800x24' scripts/demo.sh"
  exit 1
fi
exec "$SONIVAR_ROOT/build/sonivar-sim" --paced --camera "$@" -- "$SONIVAR_ROOT/build/sonivar-acq32"
