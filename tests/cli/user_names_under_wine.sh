#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# user_names_under_wine.sh CLI_EXE: brisko-cli.exe as users whose names lie inside the
# ANSI code page ("Jörg Müller") and outside it ("Łukasz Дмитрий"), each in a fresh
# Wine prefix of its own, started from a program folder outside the code page: a data
# test with a report of such a name, the history, and a boost of a Firefox profile
# whose folder name is UTF-8 in profiles.ini. BRISKO_TEST_SERVER is set by
# run_with_testservers.sh.
set -u
cli_exe=$(realpath "$1")
bin=$(dirname "$cli_exe")
export LC_ALL=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
servers=()
trap 'for p in "${servers[@]}"; do WINEPREFIX=$p wineserver -k 2>/dev/null; done; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED ($USER): $*"
  failures=$((failures + 1))
}

as_user() {  # as_user NAME: one user's whole run
  export USER=$1 WINEPREFIX=$work/prefix-$2
  servers+=("$WINEPREFIX")
  wineboot --init >/dev/null 2>&1
  local drive_c=$WINEPREFIX/drive_c
  local profile_home=$drive_c/users/$USER
  [ -d "$profile_home" ] || { fail "Wine made no profile folder for $USER: $(ls "$drive_c/users")"; return; }
  local folder=$drive_c/Tools/Бриско
  mkdir -p "$folder"
  cp "$cli_exe" "$bin"/*.reg "$bin"/*.js "$folder/"
  local exe='C:\Tools\Бриско\brisko-cli.exe'
  run() { (cd "$work" && wine "$exe" "$@" 2>&1 | tr -d '\r'); }

  local home
  home=$(run read-reg HKCU "Volatile Environment" HOMEPATH)
  [ "$home" = "\\users\\$USER" ] || fail "HOMEPATH reads '$home'"

  local out status
  out=$(run data-test --report 'C:\Tools\Бриско\Bericht Łódź.txt')
  status=$?
  [ "$status" = 0 ] || fail "data-test (status $status): $out"
  [[ $out == *"not added to the history"* ]] && fail "data-test: $out"
  grep -q 'Test data size' "$folder/Bericht Łódź.txt" 2>/dev/null || fail "no report under its own name: $(ls "$folder")"

  # A profile as today's Firefox keeps it, its folder named in UTF-8.
  local app_data=$profile_home/AppData/Roaming
  local firefox="$app_data/Mozilla/Firefox/Profiles/jörg.default/prefs.js"
  mkdir -p "$(dirname "$firefox")"
  [ -e "$profile_home/Application Data" ] || ln -s AppData/Roaming "$profile_home/Application Data"
  printf '# Mozilla User Preferences\r\n' >"$firefox"
  printf '[Install308046B0AF4A39CB]\nDefault=Profiles/jörg.default\nLocked=1\n\n[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/jörg.default\n\n[General]\nStartWithLastProfile=1\nVersion=2\n' \
    >"$app_data/Mozilla/Firefox/profiles.ini"
  out=$(run boost)
  status=$?
  [[ $out == *"Home path: \\users\\$USER"* && $out == *"PatchFirefoxPrefs: done"* ]] ||
    fail "boost (status $status):"$'\n'"$out"
  [ "$(grep -c '^user_pref(' "$firefox")" = 9 ] || fail "Firefox's prefs.js was not patched: $(cat "$firefox")"

  out=$(run history)
  [[ $out == *"No results yet"* ]] && fail "history: $out"
  [ -f "$app_data/Brisko/history.jsonl" ] || fail "no history in $app_data/Brisko"
  [ "$(grep -c '' "$app_data/Brisko/history.jsonl")" -ge 2 ] || fail "the history holds less than the test and the boost"
  wineserver -k 2>/dev/null
}

as_user "Jörg Müller" 1
as_user "Łukasz Дмитрий" 2
((failures == 0)) || exit 1
echo "brisko-cli.exe as Jörg Müller and Łukasz Дмитрий from C:\\Tools\\Бриско: every step done"
