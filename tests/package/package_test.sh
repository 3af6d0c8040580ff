#!/usr/bin/env bash
# package_test.sh BUILD_DIR PACKAGE VERSION CPACK APPID: makes the Debian package
# from the build it runs in and checks its files and control fields. The
# files and the dependencies do not depend on the build type, so the test
# build serves; scripts/package.sh makes the Release package that ships.
set -euo pipefail
build="$1" package="$2" version="$3" cpack="$4" appid="$5"

for tool in dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool absent : test du paquet ignoré"
    exit 77
  fi
done

out="$(mktemp -d "$build/package-test.XXXXXX")"
trap 'rm -rf "$out"' EXIT
"$cpack" --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 \
  || { cat "$out/cpack.log"; exit 1; }
arch="$(dpkg --print-architecture)"
deb="$out/${package}_${version}_${arch}.deb"
[ -f "$deb" ] || { echo "paquet absent : $deb"; ls "$out"; exit 1; }

failures=0
fail() { echo "ÉCHEC : $*"; failures=$((failures + 1)); }

# Exactly these files: nothing of the simulated unit, the tests or the
# static libraries slips in.
expected="$(sort <<LIST
./usr/bin/sonivar-acq32
./usr/bin/sonivar-dat
./usr/bin/sonivar-rec
./usr/lib/udev/rules.d/60-sonivar32.rules
./usr/share/applications/$appid.desktop
./usr/share/metainfo/$appid.metainfo.xml
./usr/share/icons/hicolor/16x16/apps/$appid.png
./usr/share/icons/hicolor/24x24/apps/$appid.png
./usr/share/icons/hicolor/32x32/apps/$appid.png
./usr/share/icons/hicolor/48x48/apps/$appid.png
./usr/share/icons/hicolor/64x64/apps/$appid.png
./usr/share/man/man1/sonivar-acq32.1.gz
./usr/share/man/man1/sonivar-dat.1.gz
./usr/share/man/man1/sonivar-rec.1.gz
./usr/share/doc/$package/copyright
./usr/share/doc/$package/changelog.gz
./usr/share/$package/geometry/sonivar32-example.xml
LIST
)"
listing="$(dpkg-deb -c "$deb")"
files="$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sort)"
if [ "$files" != "$expected" ]; then
  fail "fichiers du paquet (< attendus, > présents) :"
  diff <(echo "$expected") <(echo "$files") || true
fi
awk '$2 != "root/root" {print "ÉCHEC : propriétaire " $2 " pour " $6; bad=1} END {exit bad}' \
  <<<"$listing" || failures=$((failures + 1))
for program in sonivar-acq32 sonivar-dat sonivar-rec; do
  grep -Eq "^-rwxr-xr-x .*\./usr/bin/$program\$" <<<"$listing" || fail "$program non exécutable"
done

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "$package" ] || fail "Package : $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version : $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture : $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "Maintainer vide"
[ -n "$(field Description)" ] || fail "Description vide"
# The run-time libraries, each from its Debian package, and nothing a build
# or a test needs.
depends=",$(field Depends | tr -d ' '),"
for needed in libqt6widgets6 libusb-1.0-0 libsndfile1 'libhdf5-[0-9a-z.-]*' libfftw3-single3 \
              qt6-qpa-plugins; do
  grep -Eq ",$needed(\(|,)" <<<"$depends" || fail "Depends sans $needed : $depends"
done
grep -Eq ',[^,]*(-dev|umockdev|gtest|gmock)[^,]*' <<<"$depends" && fail "Depends de construction : $depends"

scripts="$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)"
for script in postinst postrm; do
  grep -qx "\./$script" <<<"$scripts" || fail "script $script absent"
done

# The desktop application is known by its reverse-DNS id everywhere.
grep -Eq '^[a-z]+\.[a-z0-9]+\.[A-Za-z0-9]+$' <<<"$appid" || fail "id non inversé DNS : $appid"
unpacked="$out/files"
mkdir -p "$unpacked" && dpkg-deb -x "$deb" "$unpacked"
metainfo="$unpacked/usr/share/metainfo/$appid.metainfo.xml"
grep -q "<id>$appid</id>" "$metainfo" || fail "id du metainfo"
grep -q "<launchable type=\"desktop-id\">$appid.desktop</launchable>" "$metainfo" || fail "launchable du metainfo"
grep -qx "Icon=$appid" "$unpacked/usr/share/applications/$appid.desktop" || fail "icône de l'entrée de bureau"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >"$out/appstream.log" 2>&1 \
    || { cat "$out/appstream.log"; fail "appstreamcli validate"; }
fi

[ "$failures" -eq 0 ] || exit 1
echo "paquet conforme : $deb"
