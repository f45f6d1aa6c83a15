#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# boost_under_wine.sh WINE_RUN CLI_EXE: brisko-cli.exe boost and restore on Wine's real
# registry, imported by Wine's own regedit.exe, and on a Firefox profile and the
# Mozilla control's profile prepared under the prefix's Application Data.
set -u
wine_run=$(realpath "$1")
cli=$(realpath "$2")
folder=$(dirname "$cli")
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
cli() { "$wine_run" "$cli" "$@" 2>&1 | tr -d '\r'; }

# "KEY|name|data" for each value a .reg file of the program's folder sets or removes
# ("-"); dwords as reg.exe shows them (0xa).
reg_values() {
  local key name data
  tr -d '\r' <"$folder/$1" | awk '
    /^\[/ { key = substr($0, 2, length($0) - 2); next }
    /^"/ { split($0, part, "\"="); print key "|" substr(part[1], 2) "|" part[2] }' |
    while IFS='|' read -r key name data; do
      [[ $data == dword:* ]] && data=$(printf '0x%x' $((16#${data#dword:})))
      echo "$key|$name|$data"
    done
}
# What reg.exe shows of a value's data; nothing when the value is not there.
reg_data() {
  "$wine_run" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -F '    ' -v name="$2" '$2 == name { print $4 }'
}
# Waits (the imports run on their own) until every value of the files reads as
# expected; "-" expects it gone. Says which do not, once the time is up.
expect_values() {
  local deadline=$((SECONDS + 30)) key name want got wrong count
  while :; do
    wrong=""
    count=0
    while IFS='|' read -r key name want; do
      count=$((count + 1))
      got=$(reg_data "$key" "$name")
      [ "$want" = "-" ] && want=""
      [ "$got" = "$want" ] || wrong+="  $key $name: '${got}', not '${want}'"$'\n'
    done < <(for file in "$@"; do reg_values "$file"; done)
    ((count > 0)) || { fail "no values in $*"; return; }
    [ -z "$wrong" ] && return 0
    ((SECONDS < deadline)) || break
    sleep 0.5
  done
  fail "after the imports of $*:"$'\n'"$wrong"
}

home=$(cli read-reg HKCU "Volatile Environment" HOMEPATH)
drive_c=$("$wine_run" winepath -u 'C:\' 2>/dev/null | tr -d '\r')
profile_home="${drive_c%/}${home//\\//}"
[ -d "$profile_home" ] || { echo "no profile folder for HOMEPATH '$home' in $drive_c"; exit 1; }
# As on Windows since Vista, "Application Data" leads to AppData\Roaming.
app_data="$profile_home/AppData/Roaming"
created=("$profile_home/Application Data" "$app_data/Mozilla" "$app_data/mozillaControl")
trap 'rm -rf "${created[@]}"' EXIT
rm -rf "${created[@]}"
ln -s AppData/Roaming "$profile_home/Application Data"
control="$app_data/mozillaControl/profiles/mozillaControl/ABC123.slt/prefs.js"
firefox="$app_data/Mozilla/Firefox/Profiles/xyz.default/prefs.js"
user_prefs=$'# Mozilla User Preferences\r\n\r\nuser_pref("browser.startup.page", 0);\r\n'
mkdir -p "$(dirname "$control")" "$(dirname "$firefox")"
printf '%s' "$user_prefs" >"$control"
printf '%s' "$user_prefs" >"$firefox"
printf '[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/xyz.default\r\n' \
  >"$app_data/Mozilla/Firefox/profiles.ini"
# A boost before this one leaves nothing for the restore to prove.
(cd "$folder" && "$wine_run" regedit /s no-web.reg && "$wine_run" regedit /s no-tcp.reg) >/dev/null 2>&1
expect_values no-web.reg no-tcp.reg

# The boost, started from elsewhere: regedit runs in the program's folder all the same.
out=$(cd / && cli boost)
status=$?
expected=$'Imports started:\n  regedit /s web.reg\n  regedit /s tcp.reg\n  regedit /s zero1.reg\n  regedit /s dns1.reg\n  regedit /s service.reg\n  regedit /s lanman.reg\nHome path: '"$home"$'\nPatchControlPrefs: done\nPatchFirefoxPrefs: done'
[ "$status" = 0 ] && [ "$out" = "$expected" ] || fail "boost said (status $status):"$'\n'"$out"
expect_values web.reg tcp.reg
# Brisko reads what it wrote as it reads any value: dwords in decimal.
got=$(cli read-reg HKLM 'SYSTEM\CurrentControlSet\Services\Tcpip\Parameters' TcpWindowSize)
[ "$got" = 256960 ] || fail "read-reg TcpWindowSize: '$got'"
got=$(cli read-reg HKCU 'Software\Microsoft\Windows\CurrentVersion\Internet Settings' MaxConnectionsPerServer)
[ "$got" = 010 ] || fail "read-reg MaxConnectionsPerServer: '$got'"
for prefs in "$control" "$firefox"; do
  text=$(cat "$prefs")
  [ "${text:0:${#user_prefs}}" = "$user_prefs" ] || fail "the boost changed the user's own lines in $prefs"
  lines=$(printf '%s' "${text:${#user_prefs}}" | grep -c $'^user_pref(.*);\r$')
  [ "$lines" = 9 ] || fail "$prefs: $lines preference lines added, not 9:"$'\n'"$text"
  left=$(ls -A "$(dirname "$prefs")")
  [ "$left" = prefs.js ] || fail "the boost left files behind: $left"
done

out=$(cli restore)
status=$?
expected=$'Imports started:\n  regedit /s no-web.reg\n  regedit /s no-tcp.reg\nHome path: '"$home"$'\nRestoreControlPrefs: done\nRestoreFirefoxPrefs: done'
[ "$status" = 0 ] && [ "$out" = "$expected" ] || fail "restore said (status $status):"$'\n'"$out"
expect_values no-web.reg no-tcp.reg
got=$(cli read-reg HKLM 'SYSTEM\CurrentControlSet\Services\Tcpip\Parameters' TcpWindowSize)
[ "$got" = "Not Found" ] || fail "read-reg TcpWindowSize after the restore: '$got'"
cmp -s "$control" "$folder/control.js" || fail "the Mozilla control's prefs.js is not the stock control.js"
cmp -s "$firefox" "$folder/fire.js" || fail "Firefox's prefs.js is not the stock fire.js"
[ -f "$firefox.before-restore" ] || fail "no copy of Firefox's prefs.js was kept before the restore"

# A machine that never had the Mozilla control, with profiles.ini as today's Firefox
# writes it: the control is skipped, Firefox still boosted.
rm -rf "$app_data/mozillaControl"
printf '%s' "$user_prefs" >"$firefox"
printf '[Install308046B0AF4A39CB]\nDefault=Profiles/xyz.default\nLocked=1\n\n[Profile1]\nName=other\nIsRelative=1\nPath=Profiles/other\n\n[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/xyz.default\n\n[General]\nStartWithLastProfile=1\nVersion=2\n' \
  >"$app_data/Mozilla/Firefox/profiles.ini"
out=$(cli boost)
status=$?
[ "$status" = 0 ] || fail "boost without the control's profile: status $status"
[[ $out == *$'PatchControlPrefs: skipped: the Mozilla control has no profile here\nPatchFirefoxPrefs: done' ]] ||
  fail "boost without the control's profile said:"$'\n'"$out"
text=$(cat "$firefox")
lines=$(printf '%s' "${text:${#user_prefs}}" | grep -c $'^user_pref(.*);\r$')
[ "${text:0:${#user_prefs}}" = "$user_prefs" ] && [ "$lines" = 9 ] ||
  fail "Firefox's prefs.js after a boost without the control's profile:"$'\n'"$text"

((failures == 0)) && echo "boost and restore under Wine: as on Linux"
exit $((failures > 0))
