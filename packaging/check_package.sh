#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_package.sh BUILD_DIR contents|boost
# Builds the Debian package from BUILD_DIR with cpack, unpacks it into a temporary
# root with dpkg -x and checks it:
#   contents  the file list, the dependencies, lintian's verdict (no error and no
#             warning), and the unpacked brisko-cli --help
#   boost     a boost by the unpacked brisko-cli, started from /, imports every file
# Exit status 77: skipped (not root, or no cpack / dpkg-deb), with the reason. A missing
# lintian fails instead: scripts/setup.sh installs it.
set -euo pipefail
build=$(cd "$1" && pwd)
mode=$2
source_dir=$(cd "$(dirname "$0")/.." && pwd)

skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "the package test builds and unpacks a .deb; it runs as root only"
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ -x "$build/bin/brisko-cli" ] || skip "brisko-cli is not built here (BRISKO_GUI=OFF)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "cpack failed"; exit 1; }
deb=$(ls "$work"/package/brisko_*.deb)
dpkg -x "$deb" "$work/root"
usr=$work/root/usr

fail() { echo "FAILED: $*"; exit 1; }

if [ "$mode" = contents ]; then
  id=example.brisko.Brisko
  {
    printf './usr/bin/%s\n' brisko brisko-cli brisko-testserver
    printf './usr/lib/brisko/%s\n' regedit reopener
    (cd "$source_dir/data" && printf './usr/share/brisko/%s\n' *.reg *.js)
    echo "./usr/share/applications/$id.desktop"
    echo "./usr/share/metainfo/$id.metainfo.xml"
    echo "./usr/share/icons/hicolor/scalable/apps/$id.svg"
    for size in 16 22 24 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${size}x$size/apps/$id.png"; done
    printf './usr/share/man/man1/%s.1.gz\n' brisko brisko-cli brisko-testserver
    printf './usr/share/doc/brisko/%s\n' copyright changelog.gz
  } | sort >"$work/expected"
  dpkg -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/actual"
  diff -u "$work/expected" "$work/actual" || fail "the package's files differ from the list above"
  dpkg -c "$deb" | awk '$1 ~ /^-rwx/ {print $6}' | sort | diff -u - <(grep -E '/(bin|lib/brisko)/' "$work/expected") ||
    fail "only the programs may be executable"

  depends=$(dpkg-deb -f "$deb" Depends)
  for package in libqt6widgets6 libqt6webenginecore6-bin qt6-qpa-plugins; do
    [[ ", $depends," == *", $package"[\ ,]* ]] || fail "Depends lacks $package: $depends"
  done

  # What a distribution would reject: an error or a warning fails; information tags are
  # shown only.
  command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
  status=0
  lintian --display-info --fail-on error,warning "$deb" || status=$?
  [ "$status" -eq 0 ] || fail "lintian reports errors or warnings, or could not check the package (status $status)"

  help=$(cd / && "$usr/bin/brisko-cli" --help) || fail "the unpacked brisko-cli --help failed"
  [[ $help == "Usage: brisko-cli COMMAND"* ]] || fail "unexpected help: $help"
  (cd / && "$usr/bin/brisko-testserver" --help >/dev/null) || fail "the unpacked brisko-testserver --help failed"
  echo "package $(basename "$deb"): $(wc -l <"$work/actual") files as listed, lintian-clean; Depends: $depends"
  exit 0
fi

# boost: a system root of our own, with the embedded engine's profile the boost patches.
export BRISKO_SYSTEM_ROOT=$work/system
unset BRISKO_DATA_DIR
cli() { (cd / && "$usr/bin/brisko-cli" "$@"); }
home=$(cli read-reg HKCU "Volatile Environment" HOMEPATH)
profile="$BRISKO_SYSTEM_ROOT/drive_c${home//\\//}/Application Data/mozillaControl/profiles/mozillaControl/test.slt"
mkdir -p "$profile"
printf 'user_pref("browser.startup.page", 0);\r\n' >"$profile/prefs.js"

status=0
out=$(cli boost 2>&1) || status=$?
echo "$out"
[ "$status" -eq 0 ] || fail "the boost ended with status $status"
imports=$(printf '%s\n' "$out" | sed -n 's/^  regedit \/s //p')
[ -n "$imports" ] || fail "the boost started no imports"
grep -q 'network.http.max-connections' "$profile/prefs.js" || fail "the profile was not patched"

# The imports run on after the command; every value of every file must land.
expected_values() {
  awk -F'"=dword:' '
    /^\[/ {key = substr($0, 2, length($0) - 2); root = key; sub(/\\.*/, "", root); sub(/^[^\\]*\\/, "", key)}
    /"=dword:/ {name = $1; sub(/^"/, "", name); print root "\t" key "\t" name "\t" substr($2, 1, 8)}'
}
for file in $imports; do
  while IFS=$'\t' read -r root key name hex; do
    value=$(printf '%03d' $((16#$hex)))
    for _ in $(seq 600); do
      [ "$(cli read-reg "$root" "$key" "$name")" = "$value" ] && continue 2
      sleep 0.1
    done
    fail "$file: $root\\$key\\$name is not $value"
  done < <(tr -d '\r' <"$usr/share/brisko/$file" | expected_values)
done
echo "imported from /: $(echo $imports)"
