#!/usr/bin/env bash
# Kelvane's EDID reader against Debian's edid-decode, which decodes an EDID
# on its own: over the fuzz corpus, the demo machine's EDID and whatever the
# fuzz runs grew (build/fuzz/short/edid, build/fuzz/work/edid), both must
# read the same monitor name, version, range limits and preferred mode, and
# where Kelvane finds no EDID for want of bytes or a header, edid-decode
# must refuse the file too. Builds nothing:
#
#   tests/tools/edid_decode_test.sh [path/to/kvedid]   (default build/native/kvedid)
set -u

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
KVEDID="${1:-$ROOT/build/native/kvedid}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $1"; [ -n "${2-}" ] && sed 's/^/    /' "$2"; }

for tool in "$KVEDID" edid-decode; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool not found"; echo "0 passed, 1 failed"; exit 1; }
done

# The facts edid-decode gives for the base block, in kvedid's words. The
# name pieces are joined as Kelvane joins them (a piece of all 13 characters
# runs straight on). The preferred mode is its decoding of the first
# descriptor when that is a detailed timing that the feature bit marks, or
# in a 1.4 EDID, which always means it so: edid-decode's own choice (-p)
# takes the first detailed timing wherever it stands and wants the bit in
# 1.4 too. Its rate is "?" where edid-decode counts an interlaced timing's
# lines without its borders, which it counts for every other timing.
facts_of_edid_decode() {
  awk '
    function trim(s) { sub(/^ +/, "", s); sub(/ +$/, "", s); return s }
    /^Block 0, Base EDID:/ { base = 1; next }
    /^Checksum:/ { base = 0 }
    !base { next }
    /^  EDID Structure Version & Revision: / { version = $NF }
    /^    First detailed timing is the preferred timing/ { marked = 1 }
    /^    Display Product Name: / {
      piece = $0; sub(/^[^'\'']*'\''/, "", piece); sub(/'\''$/, "", piece)
      if (trim(piece) != "") {
        if (name != "" && !full) name = trim(name) " "
        name = name piece
      }
      full = length(piece) == 13
    }
    /Monitor ranges/ && range == "" {
      range = $0; sub(/.*: /, "", range); sub(/ Hz V/, " Hz", range); sub(/ kHz H/, " kHz", range)
      sub(/max dotclock /, "", range)
    }
    /^  Detailed Timing Descriptors:/ { descriptors = 1; next }
    descriptors && /^    [^ ]/ {
      if (++entry == 1 && $1 == "DTD" && $2 == "1:" && $3 !~ /^0x/) { first = $3 "@" $4; interlaced = $3 ~ /i$/ }
    }
    descriptors && entry == 1 && /Vborder/ && interlaced { sub(/@.*/, "@?", first) }
    END {
      print "name: " (trim(name) == "" ? "-" : trim(name))
      print "version: " version
      print "range: " (range == "" ? "none" : range)
      print "preferred: " (first != "" && (marked || version == "1.4") ? first : "none")
    }'
}

# kvedid's lines as edid-decode's are compared.
facts_of_kvedid() { sed -n '/^name: /p;/^version: /p;/^range: /p;/^preferred: /p'; }

# Equal, but for a rate that rounds to the same whole Hz (or that
# edid-decode cannot give: "?", "inf" for a timing of no lines, which
# kvedid gives as 0), and for a name with bytes that are not printable,
# where edid-decode ends the text that Kelvane shows with '?' in their
# place.
same_facts() {  # ours theirs
  awk 'NR == FNR { ours[FNR] = $0; next }
       {
         a = ours[FNR]; b = $0
         if (a ~ /^name: .*\?/) next
         if (a ~ /^preferred: .*@/ && b ~ /^preferred: .*@/) {
           split(a, x, "@"); split(b, y, "@")
           if (x[1] != y[1]) { bad = 1; next }
           if (y[2] == "?" || (y[2] !~ /^[0-9.]+$/ && x[2] == 0)) next
           d = x[2] - y[2]; if (d < 0) d = -d
           if (d <= 0.500001) next
         }
         if (a != b) bad = 1
       }
       END { exit bad }' "$1" "$2"
}

files=()
for dir in "$ROOT/tests/fuzz/corpus/edid" "$ROOT/tests/data/edid" "$ROOT/build/fuzz/short/edid" "$ROOT/build/fuzz/work/edid"; do
  [ -d "$dir" ] && for f in "$dir"/*; do [ -f "$f" ] && files+=("$f"); done
done
[ ${#files[@]} -gt 0 ] || { echo "FAIL: no EDID files"; echo "0 passed, 1 failed"; exit 1; }

both_refuse=0 checksum_only_said=0 other_version=0 odd_length=0
for f in "${files[@]}"; do
  name=${f#"$ROOT"/}
  "$KVEDID" "$f" >"$WORK/k.out" 2>&1
  edid-decode "$f" >"$WORK/d.out" 2>&1
  decoded=$?
  why=$(sed -n 's/^error: //p' "$WORK/k.out")
  if [ -n "$why" ]; then
    case $why in
      *checksum*)
        # edid-decode decodes it all the same and says the checksum is wrong.
        if grep -qE '^Checksum: 0x[0-9a-f]+ \(should be' "$WORK/d.out"; then
          checksum_only_said=$((checksum_only_said + 1)); pass
        else
          fail "$name: kvedid finds the checksum wrong, edid-decode does not" "$WORK/d.out"
        fi ;;
      *version*) other_version=$((other_version + 1)); pass ;;
      *)
        if [ $decoded -ne 0 ]; then
          both_refuse=$((both_refuse + 1)); pass
        else
          fail "$name: kvedid says '$why', edid-decode decodes it" "$WORK/d.out"
        fi ;;
    esac
    continue
  fi
  # Kelvane reads the base block of a file of any length from 128 bytes
  # on; edid-decode wants whole blocks, so it gets the base block alone.
  if [ $decoded -ne 0 ] && grep -q 'is not a multiple of 128' "$WORK/d.out" &&
     [ "$(head -c 8 "$f" | od -An -tx1 | tr -d ' ')" = 00ffffffffffff00 ]; then
    odd_length=$((odd_length + 1))
    head -c 128 "$f" >"$WORK/base.bin"
    edid-decode "$WORK/base.bin" >"$WORK/d.out" 2>&1
    decoded=$?
  fi
  if [ $decoded -ne 0 ]; then
    fail "$name: edid-decode refuses what kvedid reads" "$WORK/d.out"
    continue
  fi
  facts_of_kvedid <"$WORK/k.out" >"$WORK/ours"
  facts_of_edid_decode <"$WORK/d.out" >"$WORK/theirs"
  if same_facts "$WORK/ours" "$WORK/theirs"; then
    pass
  else
    diff "$WORK/ours" "$WORK/theirs" | sed 's/^</kvedid:     /;s/^>/edid-decode:/' >"$WORK/diff"
    fail "$name: kvedid and edid-decode read it differently" "$WORK/diff"
  fi
done
echo "compared ${#files[@]} files: $both_refuse refused by both; $checksum_only_said with a wrong checksum that" \
     "edid-decode decodes all the same; $other_version of another version; $odd_length not of whole blocks," \
     "compared on their base block"

# --- The demo machine's EDID, as a file of bytes and as hex text -------------
crt="$ROOT/tests/data/edid/crt19.bin"
cat >"$WORK/crt.expected" <<'EOF'
name: KELVANE CRT19
version: 1.3
range: 50-160 Hz, 30-96 kHz, 200 MHz
preferred: 1280x1024@85
mode 1024x768@85: inside (68.7 kHz, 94.5 MHz)
mode 1600x1200@85: outside (106.3 kHz, 229.5 MHz)
mode 1280x1024@100: outside (108.5 kHz, 191.0 MHz)

EOF
edid-decode "$crt" >"$WORK/crt.edid-decode.txt" 2>&1
od -An -v -tx1 "$crt" | tr 'a-f' 'A-F' >"$WORK/crt.hex"
for input in "$crt" "$WORK/crt.edid-decode.txt" "$WORK/crt.hex"; do
  "$KVEDID" --mode 1024x768@85 --mode 1600x1200@85 --mode 1280x1024@100 "$input" | tail -n +2 >"$WORK/crt.out"
  if cmp -s "$WORK/crt.out" "$WORK/crt.expected"; then
    pass
  else
    diff "$WORK/crt.expected" "$WORK/crt.out" >"$WORK/diff"
    fail "kvedid on the demo machine's EDID from $(basename "$input")" "$WORK/diff"
  fi
done

# --- Bad arguments ------------------------------------------------------------
for args in "" "--mode" "--mode 1024x768 $crt" "--mode 0x768@60 $crt" "--bogus $crt"; do
  # shellcheck disable=SC2086
  "$KVEDID" $args >/dev/null 2>"$WORK/usage"
  rc=$?
  if [ $rc -eq 2 ] && grep -q '^usage: kvedid' "$WORK/usage"; then pass; else fail "kvedid $args: exit $rc, expected 2 with usage" "$WORK/usage"; fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
