#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what it holds, what it depends on, and
# that its programs run from where it puts them.
#   check-package.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/vexlo-modbus-tester_*_amd64.deb)
failed=0
fail() { echo "FAIL: $*"; failed=1; }

listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/VexloModbusTester ./usr/bin/vexlo-cli ./usr/bin/vexlo-sim \
            ./usr/share/applications/vexlo-modbus-tester.desktop \
            ./usr/share/icons/hicolor/scalable/apps/vexlo-modbus-tester.svg \
            ./usr/share/man/man1/vexlo-cli.1.gz ./usr/share/man/man1/vexlo-sim.1.gz \
            ./usr/share/man/man1/VexloModbusTester.1.gz \
            ./usr/share/doc/vexlo-modbus-tester/copyright ./usr/share/doc/vexlo-modbus-tester/changelog.gz; do
  grep -qx -- "$path" <<<"$listing" || fail "missing $path"
done
# Nothing of the build (tests, benchmarks, static libraries, headers) goes in.
if grep -E '_tests$|_bench$|\.a$|\.h$|/include/' <<<"$listing"; then fail "build files in the package"; fi

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6charts6 libqt6svg6 qt6-qpa-plugins libc6; do
  grep -q "\b$package\b" <<<"$depends" || fail "Depends lacks $package: $depends"
done
# Test and build tools are not run-time needs.
if grep -Eq 'libgtest|libmodbus|socat|ser2net|-dev\b' <<<"$depends"; then fail "Depends names build tools: $depends"; fi

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/vexlo-modbus-tester.desktop" || fail "desktop entry"
grep -qx 'Exec=VexloModbusTester' "$work/root/usr/share/applications/vexlo-modbus-tester.desktop" || fail "Exec"
for page in vexlo-cli vexlo-sim VexloModbusTester; do
  title=$(tr '[:lower:]' '[:upper:]' <<<"$page")
  zcat "$work/root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH $title 1" || fail "man page of $page"
done
grep -q '^Usage: vexlo-cli' <<<"$("$work/root/usr/bin/vexlo-cli" --help)" || fail "vexlo-cli --help"
grep -q '^vexlo-cli [0-9]' <<<"$("$work/root/usr/bin/vexlo-cli" --version)" || fail "vexlo-cli --version"
"$work/root/usr/bin/vexlo-sim" --help >/dev/null 2>&1 || fail "vexlo-sim --help"

# Debian's own checks: no error (warnings are shown).
if command -v lintian >/dev/null; then
  lintian --allow-root "$deb" >"$work/lintian.log" 2>&1 || true
  cat "$work/lintian.log"
  if grep -q '^E:' "$work/lintian.log"; then fail "lintian reports errors"; fi
else
  fail "lintian is not installed"
fi

[ $failed -eq 0 ] && echo "package ok: $(basename "$deb")"
exit $failed
