#!/usr/bin/env bash
# Remakes the .reg fixtures in this folder with Wine's regedit, in a
# throwaway 32-bit prefix:
#
#   values.reg             regedit /e of a seeded key (Software\KvFixture)
#   syntax.reg             an import file full of odd and broken lines ...
#   syntax.expected.reg    ... and regedit /e of what regedit /s made of it
#   regedit4.reg           an 8-bit REGEDIT4 file in Windows-1252 ...
#   regedit4.expected.reg  ... and regedit /e of what regedit /s made of it
#
# The seed goes straight into the prefix's system.reg rather than through an
# import, because regedit /s adds a terminating zero to every string and the
# fixture has to show what regedit /e does with strings stored without one.
# regfile_test.cpp builds the same seed in a RegistryImage; change both.
#
# Needs wine-stable, iconv and od. Usage: make_fixtures.sh
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
cleanup() {
    wineserver-stable -k 2>/dev/null || true
    rm -rf "$prefix"
}
trap cleanup EXIT

wine-stable wineboot -i >/dev/null 2>&1
wineserver-stable -k
sleep 1

# Bytes on stdin as system.reg writes them: 01,02,ff
hexbytes() { od -An -tx1 -v | tr -s ' \n' ',,' | sed 's/^,//; s/,$//'; }
# UTF-16 data of a text; printf's %b lets \0 and \n stand in the text.
utf16() { printf '%b' "$1" | iconv -f utf-8 -t utf-16le | hexbytes; }
# A name with every UTF-16 unit written as \xHHHH, for non-ASCII names.
wname() { printf '%s' "$1" | iconv -f utf-8 -t utf-16le | od -An -tx2 -v | tr -s ' \n' ' ' | sed 's/^ //; s/ $//; s/\([0-9a-f]\{4\}\)/\\x\1/g; s/ //g'; }
bytes_upto() { local i out=(); for ((i = 0; i < $1; i++)); do out+=("$(printf '%02x' "$i")"); done; (IFS=,; echo "${out[*]}"); }

key='Software\\KvFixture'
{
    echo
    echo "[$key] 1700000000"
    echo "@=\"Default value\""
    echo "\"Text\"=hex(1):$(utf16 'hello\0')"
    echo "\"TextNoTerminator\"=hex(1):$(utf16 'C:\\Program Files\\ATI')"
    echo "\"TextEmpty\"=hex(1):00,00"
    echo "\"TextNoData\"=hex(1):"
    echo "\"Quoted\"=hex(1):$(utf16 'say "hi" to C:\\dir\\\0')"
    echo "\"Lines\"=hex(1):$(utf16 'one\ntwo\r\tthree\0')"
    echo "\"Russian\"=hex(1):$(utf16 'Ключ реестра не найден\0')"
    echo "\"EmbeddedZero\"=hex(1):$(utf16 'ab\0cd\0')"
    echo "\"Emoji\"=hex(1):$(utf16 'smile 😀\0')"
    echo "\"$(wname 'значение')\"=hex(1):$(utf16 'да\0')"
    echo "\"Dword\"=dword:0000abcd"
    echo "\"DwordMax\"=dword:ffffffff"
    echo "\"DwordNoData\"=hex(4):"
    echo "\"BinShort\"=hex:01,02,ff"
    echo "\"BinEmpty\"=hex:"
    echo "\"BinLong\"=hex:$(bytes_upto 100)"
    echo "\"BinLongName_abcdefghijklmnopqrstuvwxyz\"=hex:$(bytes_upto 60)"
    echo "\"n01234567890123456789012345678901234567890123456789012345678901234\"=hex:$(bytes_upto 5)"
    echo "\"n012345678901234567890123456789012345678901234567890123456789012345\"=hex:$(bytes_upto 5)"
    echo "\"back\\\\slash\\\"q\"=hex:$(bytes_upto 30)"
    echo "\"$(wname 'Ёлка')\"=hex:$(bytes_upto 30)"
    echo "\"Expand\"=hex(2):$(utf16 '%SystemRoot%\\system32\0')"
    echo "\"Multi\"=hex(7):$(utf16 'one\0two\0\0')"
    echo "\"MultiRussian\"=hex(7):$(utf16 'Да\0Нет\0\0')"
    echo "\"None\"=hex(0):01,02"
    echo "\"BigEndian\"=hex(5):00,01,02,03"
    echo "\"Qword\"=hex(b):$(bytes_upto 8)"
    echo "\"Type100\"=hex(100):00,01,02"
    echo "\"_under\"=\"3\""
    echo "\"apple\"=\"1\""
    echo "\"Banana\"=\"2\""
    echo "\"a[b]\"=\"7\""
    echo "\"Zeta\"=\"4\""
    echo "\"$(wname 'ёж')\"=\"5\""
    for sub in b A a2 _x Z '~t' aB 1 'a b' 'ключ' 'Ёлка'; do
        echo
        echo "[$key\\\\$(wname "$sub")] 1700000000"
        echo "\"v\"=\"$(wname "$sub")\""
    done
    echo
    echo "[$key\\\\b\\\\Deep] 1700000000"
    echo
    echo "[$key\\\\b\\\\Deep\\\\Deeper] 1700000000"
    echo "\"d\"=dword:00000001"
    echo
    echo "[$key\\\\EmptyKey] 1700000000"
} >>"$prefix/system.reg"

wine-stable regedit /e "$here/values.reg" 'HKEY_LOCAL_MACHINE\Software\KvFixture'

# UTF-16 with its mark and CRLF, as regedit writes.
to_unicode_reg() { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f utf-8 -t utf-16le; }

to_unicode_reg >"$here/syntax.reg" <<'EOF'
Windows Registry Editor Version 5.00

; a comment line
# another kind of comment line
"Orphan"="a value before any key belongs nowhere"

[HKEY_LOCAL_MACHINE\Software\KvSyntax]
"plain"="text"
  "indented"="leading blanks are fine"
"spaced" = "blanks around the equals sign"
"trailing"="x"   ; a comment after the value
"junk"="x" junk
"escapes"="back\\slash \"quoted\" new\nline cr\rend"
"unknown\qEscape"="a\qb"
"zeroEscape"="a\0b"
"unterminated="x"
noquote="x"
"upperDword"=DWORD:1f
"dword"=dword:1F
"dwordBlank"=dword: 12
"dwordShort"=dword:1 ; comment
"dwordTooLong"=dword:123456789
"dwordBad"=dword:xyz
"dwordEmpty"=dword:
"dwordJunk"=dword:1 junk
"hexBlankAfterComma"=hex:01, 02
"hexBlankBeforeComma"=hex:01 ,02
"hexTrailingComma"=hex:01,02,
"hexOneDigit"=hex:1,2
"hexLeadingZeros"=hex:001,02
"hexTooBig"=hex:100
"hexBad"=hex:01,zz
"hexJunk"=hex:01,02 junk
"hexComment"=hex(b):01,02 ; comment
"hexUpper"=HEX:01
"hexTypeUpper"=hex(B):01,02
"hexTypeHuge"=hex(7fffffff):01
"hexType0x"=hex(0x4):01
"continued"=hex:01,02,\
   03,04,\
  ; a comment between continuation lines

  05
"swallowing"=hex:01,\
"swallowed"="taken as hex data and rejected with it"
"expandNoZero"=hex(2):41,00,42,00
"multiNoZero"=hex(7):41,00,00,00,42,00
"szHex"=hex(1):41,00,42,00
"szHexEmpty"=hex(1):
"dwordHex"=hex(4):01,02,03,04
"toDelete"="x"
"toDelete2"="y"
@="default"

[HKEY_LOCAL_MACHINE\Software\KvSyntax\Commented] ; comment
"v"="1"

[HKEY_LOCAL_MACHINE\Software\KvSyntax\Junk]junk
"v"="1"

[HKLM\Software\KvSyntax\Abbreviated]
"v"="abbreviated roots are not understood"

[hkey_local_machine\Software\KvSyntax\LowerRoot]
"v"="1"

[HKEY_LOCAL_MACHINE\Software\KvSyntax\TrailingSlash\]
"v"="1"

[HKEY_LOCAL_MACHINE\Software\\KvSyntax\\DoubleSlash]
"v"="1"

   [HKEY_LOCAL_MACHINE\Software\KvSyntax\Indented]
"v"="1"

[HKEY_LOCAL_MACHINE\Software\KvSyntax\NoClose
"v"="a key line without its bracket opens no key"

[HKEY_LOCAL_MACHINE\Software\KvSyntax\Gone\Child]
"v"="1"

[HKEY_LOCAL_MACHINE\Software\KvSyntax\AlsoGone]
"v"="1"

[HKEY_CURRENT_USER\Software\KvSyntax]
"other"="values under other roots never reach this one"

[HKEY_LOCAL_MACHINE\Software\KvSyntax]
"toDelete"=-
"toDelete2" = -
"neverThere"=-

[-HKEY_LOCAL_MACHINE\Software\KvSyntax\Gone]
[-HKEY_LOCAL_MACHINE\Software\KvSyntax\AlsoGone] junk
[-HKEY_LOCAL_MACHINE\Software\KvSyntax\NeverThere]
"afterDeletion"="a deletion opens no key"
EOF

# é, è, û and ’ in Windows-1252, and string data in hex given as 8-bit text.
{
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\KvAnsi]\r\n'
    printf '%s\r\n' \
        '"caf'$'\xe9''"="cr'$'\xe8''me br'$'\xfb''l'$'\xe9''e, l'$'\x92''ami"' \
        '"expand"=hex(2):25,41,25,00' \
        '"multi"=hex(7):41,00,42,00,00' \
        '"sz"=hex(1):41,42' \
        '"dword"=dword:00000010' \
        '"bin"=hex:01,02'
} >"$here/regedit4.reg"

wine-stable regedit /s "$here/syntax.reg" 2>/dev/null
wine-stable regedit /e "$here/syntax.expected.reg" 'HKEY_LOCAL_MACHINE\Software\KvSyntax'
wine-stable regedit /s "$here/regedit4.reg"
wine-stable regedit /e "$here/regedit4.expected.reg" 'HKEY_LOCAL_MACHINE\Software\KvAnsi'
echo "fixtures written to $here"
