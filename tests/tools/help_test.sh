#!/usr/bin/env bash
# The help file as a user's help viewer opens it: help_test.sh KelvaneEn.chm
#
# Opens the compiled file with chmlib's tools, extracts it, and checks that
# the default topic index.html is there, that every page the contents tree
# and the index name is inside the file, that every picture and style sheet
# a page uses is inside it too, that the names the contents tree and the index
# show are plain text, and that every page has at least one entry in the
# contents tree and one in the index. One line per check, "PASS ..." or
# "FAIL ...", then "N passed, M failed"; the exit status is non-zero when any
# check failed.
set -uo pipefail

chm=${1:-}
passed=0
failed=0
pass() { echo "PASS $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
    exit
}

if [ -z "$chm" ]; then
    echo "usage: $0 KelvaneEn.chm" >&2
    exit 2
fi
for tool in enum_chmLib extract_chmLib; do
    if ! command -v "$tool" >/dev/null; then
        fail "help_tools: $tool is missing (Debian's libchm-bin)"
        finish
    fi
done
if [ ! -s "$chm" ]; then
    fail "help_file: $chm is missing or empty"
    finish
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# enum_chmLib exits with 0 even on a file it cannot read; a help file lists
# at least its own system file.
listing=$(enum_chmLib "$chm" 2>&1)
if grep -q '/#SYSTEM$' <<<"$listing"; then
    pass "help_opens: chmlib reads $chm"
else
    fail "help_opens: chmlib cannot read $chm: $(head -n 3 <<<"$listing" | paste -sd' ' -)"
    finish
fi
extract_chmLib "$chm" "$work/x" >"$work/extract.log" 2>&1
root=$work/x

# Names inside a help file are compared without regard to letter case, as
# the help viewer finds them.
declare -A inside=()
while IFS= read -r -d '' f; do
    rel=${f#"$root"/}
    inside[${rel,,}]=1
done < <(find "$root" -type f -print0)

has() {
    local name=${1#/}
    [ -n "${inside[${name,,}]:-}" ]
}

# The file's own system data names its contents tree (code 0), its index
# (code 1) and its default topic (code 2): what a help viewer shows. Records
# of a 16-bit code and a 16-bit length follow a 32-bit version.
system_entry() {
    python3 - "$root/#SYSTEM" "$1" <<'PY'
import struct, sys
try:
    data = open(sys.argv[1], "rb").read()
except OSError:
    sys.exit(0)
at = 4
while at + 4 <= len(data):
    code, length = struct.unpack("<HH", data[at:at + 4])
    if code == int(sys.argv[2]):
        print(data[at + 4:at + 4 + length].split(b"\0")[0].decode("latin-1"))
        break
    at += 4 + length
PY
}

# sitemap WHAT CODE: the path of the contents tree or index inside the
# extraction, in SITEMAP; empty when the file lacks it.
sitemap() {
    local name
    SITEMAP=""
    name=$(system_entry "$2")
    if [ -z "$name" ]; then
        fail "help_$1_file: the file names no $1"
    elif ! has "$name"; then
        fail "help_$1_file: $name, named as its $1, is missing from the file"
    else
        pass "help_$1_file: $name"
        SITEMAP=$root/${name#/}
    fi
}
sitemap contents 0
hhc=$SITEMAP
sitemap index 1
hhk=$SITEMAP

topic=$(system_entry 2)
if [ "${topic,,}" != index.html ]; then
    fail "help_default_topic: the default topic is \"$topic\", not index.html, which the program opens"
elif ! has index.html; then
    fail "help_default_topic: index.html, the page the program opens, is missing"
else
    pass "help_default_topic: index.html"
fi

# The pages a sitemap file names: every Local parameter, its anchor dropped,
# its entities decoded. One per line.
locals() {
    [ -n "$1" ] || return 0
    tr -d '\r' <"$1" | tr '\n' ' ' |
        grep -oiE '<param[[:space:]]+name="Local"[[:space:]]+value="[^"]*"' |
        sed -E 's/.*value="([^"]*)"/\1/; s/#.*//; s/&amp;/\&/g'
}

check_named() {
    local what=$1 file=$2 page missing=() count=0
    [ -n "$file" ] || return 0
    while IFS= read -r page; do
        [ -n "$page" ] || continue
        count=$((count + 1))
        has "$page" || missing+=("$page")
    done < <(locals "$file")
    mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u | sed '/^$/d')
    if [ "$count" = 0 ]; then
        fail "help_${what}_entries: ${file##*/} names no page"
    elif [ ${#missing[@]} = 0 ]; then
        pass "help_${what}_pages: the $count entries of ${file##*/} name pages inside the file"
    else
        fail "help_${what}_pages: ${file##*/} names pages missing from the file: ${missing[*]}"
    fi
}
check_named contents "$hhc"
check_named index "$hhk"

# The names the contents tree and the index show. The help compiler takes a
# name as it stands and the viewer shows it so: an entity such as &amp; or
# &#x27; would be read as that text, not as & or '. The viewer's index is the
# compiled one ($WWKeywordLinks/BTree, keywords in UTF-16): it must hold no
# entity either, and every name of the index as written.
# names WHAT: why the names fail that check; nothing when they pass.
names() {
    python3 - "$1" "$hhc" "$hhk" "$root/\$WWKeywordLinks/BTree" <<'PY'
import re, sys
what, sitemaps, btree = sys.argv[1], sys.argv[2:4], sys.argv[4]
entity = re.compile(r"&(#[0-9]+|#[xX][0-9a-fA-F]+|[A-Za-z][A-Za-z0-9]*);")
def names(path):
    if not path:
        return []
    text = open(path, encoding="latin-1").read()
    return re.findall(r'<param\s+name="Name"\s+value="([^"]*)"', text, re.I)
if what == "sitemaps":
    bad = [n for path in sitemaps for n in names(path) if entity.search(n)]
    if bad:
        print("names with entity text: " + "; ".join(bad))
else:
    try:
        data = open(btree, "rb").read()
    except OSError:
        print("the file has no compiled index")
        sys.exit(0)
    # Keywords start at even offsets and end with a zero character.
    keywords = set(data[:len(data) & ~1].decode("utf-16-le", "replace").split("\0"))
    bad = sorted(k for k in keywords if entity.search(k))
    missing = [n for n in names(sitemaps[1]) if n not in keywords]
    if bad:
        print("keywords with entity text: " + "; ".join(bad))
    if missing:
        print("index names missing as written: " + "; ".join(missing))
PY
}
why=$(names sitemaps)
if [ -z "$why" ]; then
    pass "help_names_plain: the names of the contents tree and the index hold no entity"
else
    fail "help_names_plain: $why"
fi
why=$(names keywords)
if [ -z "$why" ]; then
    pass "help_index_keywords: the compiled index holds every name of the index as written, and no entity"
else
    fail "help_index_keywords: $(paste -sd' ' - <<<"$why")"
fi

# What each page uses: pictures, style sheets and frames. Links to other
# sites, mail and anchors within the page are not files of the help.
missing=()
pages=()
while IFS= read -r -d '' f; do
    rel=${f#"$root"/}
    pages+=("$rel")
    dir=$(dirname "$rel")
    while IFS= read -r ref; do
        case $ref in
        '' | http:* | https:* | mailto:* | ms-its:* | mk:* | javascript:* | '#'*) continue ;;
        esac
        ref=${ref%%#*}
        ref=${ref%%\?*}
        target=$ref
        [ "$dir" = . ] || target=$dir/$ref
        # a/b/../c is a/c
        while [[ $target == *[!/.]/../* ]]; do target=$(sed -E 's#[^/]+/\.\./##' <<<"$target"); done
        target=${target#./}
        has "$target" || missing+=("$rel -> $ref")
    done < <(tr -d '\r' <"$f" | tr '\n' ' ' |
        grep -oiE '<(img|link|frame|iframe|script)[^>]*[[:space:]](src|href)="[^"]*"' |
        sed -E 's/.*(src|href|SRC|HREF)="([^"]*)"/\2/')
done < <(find "$root" -type f \( -iname '*.htm' -o -iname '*.html' \) -print0)

if [ ${#pages[@]} = 0 ]; then
    fail "help_pages: the file holds no page"
elif [ ${#missing[@]} = 0 ]; then
    pass "help_pictures: every picture and style sheet of the ${#pages[@]} pages is inside the file"
else
    fail "help_pictures: used but missing from the file: ${missing[*]}"
fi

# Every page can be found both ways.
declare -A in_contents=() in_index=()
while IFS= read -r p; do [ -z "$p" ] || in_contents[${p,,}]=1; done < <(locals "$hhc")
while IFS= read -r p; do [ -z "$p" ] || in_index[${p,,}]=1; done < <(locals "$hhk")
no_contents=()
no_index=()
for p in "${pages[@]}"; do
    [ -n "${in_contents[${p,,}]:-}" ] || no_contents+=("$p")
    [ -n "${in_index[${p,,}]:-}" ] || no_index+=("$p")
done
if [ ${#no_contents[@]} = 0 ]; then
    pass "help_every_page_in_contents: all ${#pages[@]} pages have a contents entry"
else
    fail "help_every_page_in_contents: pages without a contents entry: ${no_contents[*]}"
fi
if [ ${#no_index[@]} = 0 ]; then
    pass "help_every_page_in_index: all ${#pages[@]} pages have an index entry"
else
    fail "help_every_page_in_index: pages without an index entry: ${no_index[*]}"
fi

finish
