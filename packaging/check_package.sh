#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_package.sh BUILD_DIR contents|boost
# Builds the three Debian packages (brisko, brisko-cli, brisko-testserver) from
# BUILD_DIR with cpack, unpacks them with dpkg -x, each alone and all together, and
# checks them:
#   contents  the file lists, the dependencies (brisko-cli without the browser engine),
#             lintian's verdict (no error and no warning), apt's simulated installs,
#             and the unpacked programs: each alone, and brisko-cli web-test with and
#             without the brisko package
#   boost     a boost by brisko-cli unpacked alone, started from /, imports every file
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
deb() { ls "$work"/package/"$1"_*.deb; }
for package in brisko brisko-cli brisko-testserver; do dpkg -x "$(deb $package)" "$work/$package"; done
for package in brisko brisko-cli brisko-testserver; do dpkg -x "$(deb $package)" "$work/root"; done
usr=$work/brisko-cli/usr  # brisko-cli alone

fail() { echo "FAILED: $*"; exit 1; }

if [ "$mode" = contents ]; then
  id=example.brisko.Brisko
  expected() {
    case $1 in
      brisko)
        echo ./usr/bin/brisko
        printf './usr/lib/brisko/%s\n' reopener brisko-web-test
        echo "./usr/share/applications/$id.desktop"
        echo "./usr/share/metainfo/$id.metainfo.xml"
        echo "./usr/share/icons/hicolor/scalable/apps/$id.svg"
        for size in 16 22 24 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${size}x$size/apps/$id.png"; done ;;
      brisko-cli)
        echo ./usr/bin/brisko-cli
        echo ./usr/lib/brisko/regedit
        (cd "$source_dir/data" && printf './usr/share/brisko/%s\n' *.reg *.js) ;;
      brisko-testserver)
        echo ./usr/bin/brisko-testserver ;;
    esac
    echo "./usr/share/man/man1/$1.1.gz"
    printf "./usr/share/doc/$1/%s\n" copyright changelog.gz
  }
  files=0
  for package in brisko brisko-cli brisko-testserver; do
    expected $package | sort >"$work/expected"
    dpkg -c "$(deb $package)" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/actual"
    diff -u "$work/expected" "$work/actual" || fail "$package: the package's files differ from the list above"
    dpkg -c "$(deb $package)" | awk '$1 ~ /^-rwx/ {print $6}' | sort |
      diff -u - <(grep -E '/(bin|lib/brisko)/' "$work/expected") || fail "$package: only the programs may be executable"
    files=$((files + $(wc -l <"$work/actual")))
  done

  depends() { dpkg-deb -f "$(deb "$1")" Depends; }
  has() { [[ ", $(depends "$1")," == *", $2"[\ ,]* ]]; }
  for package in libqt6widgets6 libqt6webenginecore6-bin qt6-qpa-plugins brisko-cli; do
    has brisko $package || fail "brisko's Depends lack $package: $(depends brisko)"
  done
  for package in libqt6core6 libqt6network6; do
    has brisko-cli $package || fail "brisko-cli's Depends lack $package: $(depends brisko-cli)"
  done
  [[ $(depends brisko-cli) != *webengine* && $(depends brisko-cli) != *widgets* ]] ||
    fail "brisko-cli must need no browser engine and no widgets: $(depends brisko-cli)"
  [[ $(depends brisko-testserver) != *qt6* ]] || fail "brisko-testserver must need no Qt: $(depends brisko-testserver)"

  # What a distribution would reject: an error or a warning fails; information tags are
  # shown only.
  command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
  status=0
  lintian --display-info --fail-on error,warning "$work"/package/*.deb || status=$?
  [ "$status" -eq 0 ] || fail "lintian reports errors or warnings, or could not check the packages (status $status)"

  # Installable alone (the console packages) and together, as apt would resolve them.
  if command -v apt-get >/dev/null; then
    for set in brisko-cli brisko-testserver "brisko brisko-cli brisko-testserver"; do
      debs=()
      for package in $set; do debs+=("$(deb $package)"); done
      apt-get install --simulate --no-install-recommends "${debs[@]}" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; fail "apt cannot install: $set"; }
    done
  fi

  help=$(cd / && "$usr/bin/brisko-cli" --help) || fail "brisko-cli --help, unpacked alone, failed"
  [[ $help == "Usage: brisko-cli COMMAND"* ]] || fail "unexpected help: $help"
  (cd / && "$work/brisko-testserver/usr/bin/brisko-testserver" --help >/dev/null) ||
    fail "brisko-testserver --help, unpacked alone, failed"
  # Without the brisko package, web-test says where the engine comes from.
  status=0
  out=$(cd / && "$usr/bin/brisko-cli" web-test 127.0.0.1:9 2>&1) || status=$?
  [[ $status -eq 1 && $out == *"install the brisko package"* ]] || fail "web-test without the engine: $status $out"
  # With it, brisko-cli hands the test to the engine's helper, which then runs the load.
  out=$(cd / && timeout 120 "$work/root/usr/bin/brisko-cli" web-test 127.0.0.1:9 2>&1) || true
  [[ $out != *"not installed here"* ]] || fail "web-test did not find the engine of the brisko package: $out"
  echo "packages: $files files as listed, lintian-clean; brisko-cli Depends: $(depends brisko-cli)"
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
