#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# package_under_wine.sh WINE_RUN PACKAGES: the Windows packages as a user meets them.
# The zip holds the program, its data, the licence and the README, and nothing that
# cannot work here (the reopener); the program is stripped and carries its version.
# The installer installs silently; the installed program answers --version and runs a
# data test (BRISKO_TEST_SERVER, set by run_with_testservers.sh); the uninstaller
# leaves neither a file nor a registry key behind. Skipped (77) when the packages were
# not built (cmake --build build-win32 --target windows_packages).
set -u
wine_run=$(realpath "$1")
packages=$(realpath "$2")
export LC_ALL=C.UTF-8  # Wine reads the arguments in the locale's encoding
zip=$(ls "$packages"/brisko-cli-*-win64.zip 2>/dev/null | head -1)
installer=$(ls "$packages"/brisko-cli-*-win64.exe 2>/dev/null | head -1)
[ -n "$zip" ] || { echo "no zip in $packages: build the target windows_packages first"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# The zip.
(cd "$work" && unzip -q "$zip") || fail "cannot unpack $zip"
top=$(ls "$work")
contents=$(cd "$work/$top" && ls | sort | tr '\n' ' ')
want="LICENSE.txt README.txt brisko-cli.exe control.js dns1.reg fire.js lanman.reg no-tcp.reg no-web.reg service.reg tcp-game.reg tcp-modem.reg tcp.reg web-game.reg web-modem.reg web.reg zero1.reg "
[ "$contents" = "$want" ] || fail "the zip holds: $contents"
exe=$work/$top/brisko-cli.exe
x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug' && fail "brisko-cli.exe is not stripped"
size=$(stat -c %s "$exe")
((size < 8000000)) || fail "brisko-cli.exe is $size bytes"
for text in "Brisko command line" "brisko-cli.exe" "asInvoker" "longPathAware"; do
  { strings -el "$exe"; strings "$exe"; } | grep -q "$text" || fail "brisko-cli.exe carries no \"$text\""
done

[ -n "$installer" ] || { ((failures == 0)) || exit 1; echo "zip checked; no installer built (makensis missing)"; exit 0; }
# The installer, silently, into a folder outside the ANSI code page.
drive_c=$("$wine_run" winepath -u 'C:\' 2>/dev/null | tr -d '\r')
# The installer reads /D= from its raw command line, unquoted: no blanks in it.
target='C:\Programs\Brisko-Тест'
installed="${drive_c%/}/Programs/Brisko-Тест"
rm -rf "$installed"
"$wine_run" "$installer" /S "/D=$target" >/dev/null 2>&1 || fail "the silent install failed"
[ -f "$installed/brisko-cli.exe" ] && [ -f "$installed/web.reg" ] && [ -f "$installed/LICENSE.txt" ] ||
  fail "installed: $(ls "$installed" 2>&1)"
version=$(cd "$work" && "$wine_run" "$target\\brisko-cli.exe" --version 2>&1 | tr -d '\r')
[[ $version == "brisko-cli "[0-9]* ]] || fail "--version said: $version"
out=$(cd "$work" && "$wine_run" "$target\\brisko-cli.exe" data-test 2>&1 | tr -d '\r')
[[ $out == *"Data Speed Test Results"* ]] || fail "data-test from the installed folder said: $out"

# The uninstaller copies itself aside and removes the folder, itself included.
"$wine_run" "$target\\Uninstall.exe" /S >/dev/null 2>&1 || fail "the silent uninstall failed"
for _ in $(seq 60); do
  [ -e "$installed" ] || break
  sleep 0.5
done
[ -e "$installed" ] && fail "the uninstall left: $(find "$installed")"
for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 'HKLM\Software\Brisko'; do
  "$wine_run" reg query "$key" 2>/dev/null | tr -d '\r' | grep -qi 'Brisko' && fail "the uninstall left $key: $("$wine_run" reg query "$key" /s 2>/dev/null | grep -i brisko)"
done
((failures == 0)) || exit 1
echo "zip and installer checked: installed, run and removed under Wine"
