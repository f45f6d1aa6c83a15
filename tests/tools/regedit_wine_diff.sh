#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# regedit_wine_diff.sh REGEDIT WINE_RUN: imports the same .reg files with our regedit
# (Linux, into a fresh system root) and with Wine's regedit.exe (into Wine's real
# registry), exports HKCU\Software\BriskoDiff from both and compares what each holds,
# value by value. Where Windows is known to differ from Wine, the case says what
# Windows does and ours is held to that instead.
set -u
regedit=$(realpath "$1")
wine_run=$(realpath "$2")
if [ ! -x "$regedit" ]; then
  echo "$regedit is missing: build the Linux configuration first" >&2
  exit 1
fi
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work"
key='HKEY_CURRENT_USER\Software\BriskoDiff'
failures=0

# One sorted line per key and per value ("[key] name=data"), continuation lines joined.
normalise() {
  [ -s "$1" ] || return 0
  iconv -f UTF-16LE -t UTF-8 "$1" | sed '1s/^\xEF\xBB\xBF//' | tr -d '\r' |
    sed -e ':a' -e '/\\$/{N;s/\\\n *//;ba' -e '}' |
    awk 'NR == 1 || /^$/ { next } /^\[/ { key = $0; print key; next } { print key " " $0 }' | LC_ALL=C sort
}

# check NAME [WINDOWS_EXPECTED]: the .reg file NAME.reg is imported by both.
check() {
  local name=$1
  rm -rf root && mkdir root
  BRISKO_SYSTEM_ROOT=$work/root "$regedit" /s "$name.reg" 2>/dev/null
  BRISKO_SYSTEM_ROOT=$work/root "$regedit" /e ours.reg "$key" 2>/dev/null || : >ours.reg
  "$wine_run" reg delete "$key" /f >/dev/null 2>&1
  "$wine_run" regedit /s "$name.reg" >/dev/null 2>&1
  rm -f wine.reg
  "$wine_run" regedit /e wine.reg "$key" >/dev/null 2>&1 || : >wine.reg
  normalise ours.reg >ours.txt
  if [ $# -ge 2 ]; then printf '%s' "$2" >reference.txt; else normalise wine.reg >reference.txt; fi
  if ! diff -u reference.txt ours.txt >diff.txt; then
    echo "== $name: ours differs from ${2+Windows}${2-Wine}"
    cat diff.txt
    failures=$((failures + 1))
  fi
}

# A .reg file from the lines given, each ended by CR LF.
reg() { sed 's/$/\r/' >"$1.reg"; }

reg basics <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\BriskoDiff]
"a"="x\\y"
"q"="say \"hi\""
@="default"
"blanks" = "around the equals sign"
"d"=dword:0000001f
"short"=dword:1
"b"=hex:01,ab,ff
"empty hex"=hex:
"trailing comma"=hex:01,02,
"none"=hex(0):
"dw"=hex(4):01,00,00,00
"ten"=hex(a):01
"comment"="x" ; after the data
"hash"="# not a comment"
; a comment line
# a hash line

[HKEY_CURRENT_USER\Software\BriskoDiff\Trailing Blank ]
"v"="2"
EOF
check basics

reg regedit4 <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\BriskoDiff]
"s"="four"
"e"=hex(2):25,50,25,00
"m"=hex(7):61,00,62,00,00
EOF
check regedit4

reg continuation <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\BriskoDiff]
"joined"=hex:01,02,\
  03,04
"with gaps"=hex:01,\

; a comment inside
  02
"split byte"=hex:0\
  1,02
"bad next"=hex:01,\
  zz
"after"="still here"
"ends"=hex:01,\
EOF
check continuation

reg headers <<'EOF'
regedit4

[HKEY_CURRENT_USER\Software\BriskoDiff]
"v"="lower-case header"
EOF
check headers
for header in 'REGEDIT 4' 'REGEDIT5' 'Windows Registry Editor Version 5' '  REGEDIT4'; do
  printf '%s\r\n\r\n[%s]\r\n"v"="x"\r\n' "$header" "$key" >header.reg
  check header
done

reg quotes <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\BriskoDiff]
"foo
foo"="x"
"foo"bar"="x"
"open"="no end
"junk"="x" junk
"ok"="fine"
EOF
check quotes

reg dwords <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\BriskoDiff]
"empty"=dword:
"hello"=dword:hello
"nine"=dword:123456789
"0x"=dword:0x123
"blank"=dword:1234 5678
"max"=dword:ffffffff
"upper"=dword:ABCDEF01
EOF
check dwords

reg types <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\BriskoDiff]
"0x type"=hex(0x2):00
"huge type"=hex(100000000):00
EOF
check types

# Known differences, each held to what we do and why.
# Short root names: Wine knows only the long ones; ours takes HKCU, HKLM, ... too,
# as the tools people write .reg files with for these machines accept them.
reg short_root <<'EOF'
Windows Registry Editor Version 5.00

[hkcu\Software\BriskoDiff]
"v"="1"
EOF
check short_root "[$key]
[$key] \"v\"=\"1\"
"
# hex(): Wine reads the missing type as 0; ours refuses the line rather than guess.
reg empty_type <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\BriskoDiff]
"empty type"=hex():00
EOF
check empty_type "[$key]
"
# hex(2) and hex(7) of a version 5 file written in ANSI: Wine widens the bytes as
# REGEDIT4 text (it goes by the file's encoding); ours goes by the header, for which
# these bytes are UTF-16 already.
reg ansi_v5_text <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\BriskoDiff]
"expand"=hex(2):25,00,50,00,25,00,00,00
"multi"=hex(7):61,00,00,00,62,00,00,00,00,00
EOF
check ansi_v5_text "[$key]
[$key] \"expand\"=hex(2):25,00,50,00,25,00,00,00
[$key] \"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00
"

reg deletions <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\BriskoDiff]
"keep"="1"
"drop"="2"

[HKEY_CURRENT_USER\Software\BriskoDiff\Gone\Deep]
"v"="3"

[HKEY_CURRENT_USER\Software\BriskoDiff]
"drop"=-

[-HKEY_CURRENT_USER\Software\BriskoDiff\Gone]
[- HKEY_CURRENT_USER\Software\BriskoDiff]
EOF
check deletions

reg keys <<'EOF'
Windows Registry Editor Version 5.00

[ HKEY_CURRENT_USER\Software\BriskoDiff\Blank First]
"v"="1"

[HKEY_NOPE\Software\BriskoDiff]
"lost"="1"

[HKEY_CURRENT_USER\Software\BriskoDiff\a]b]
"v"="2"
EOF
check keys

# UTF-16LE with its byte order mark, names and data beyond ASCII; then CR and LF line ends.
printf 'Windows Registry Editor Version 5.00\n\n[%s\\Caf\xc3\xa9]\n"n\xc3\xa4me"="\xe2\x82\xac uro"\n' "$key" |
  sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >utf16.reg
check utf16
printf 'Windows Registry Editor Version 5.00\r\r[%s]\r"cr"="only"\r' "$key" >cr.reg
check cr
printf 'REGEDIT4\n\n[%s]\n"lf"="only"' "$key" >lf.reg
check lf

echo "$failures case(s) differ"
[ "$failures" -eq 0 ]
