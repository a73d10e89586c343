#!/usr/bin/env bash
# Tests for the Python build tools: the Windows 2000 import check (against
# real MinGW-built programs), the ati.pci generator, the icon generator and
# the layer check, which also runs over the repository itself.
# Needs i686-w64-mingw32-g++-win32 and dlltool (scripts/setup.sh installs them).
set -u

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TOOLS="$ROOT/tools"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1

CXX=i686-w64-mingw32-g++-win32
CC=i686-w64-mingw32-gcc-win32
DLLTOOL=i686-w64-mingw32-dlltool
# The same link flags as the product, so the header check sees what it will see.
LDFLAGS=(-O2 -static -static-libgcc -static-libstdc++
         -Wl,--major-subsystem-version,5,--minor-subsystem-version,0
         -Wl,--major-os-version,5,--minor-os-version,0)

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1"; [ -n "${2-}" ] && sed 's/^/    /' "$2"; }

# expect_check NAME EXE STATUS [PATTERN...]: check_imports must exit with
# STATUS and its output must contain every PATTERN.
expect_check() {
  local name=$1 exe=$2 want=$3; shift 3
  python3 "$TOOLS/check_imports.py" "$exe" >"$name.out" 2>&1
  local got=$?
  if [ "$got" -ne "$want" ]; then fail "$name: exit $got, expected $want" "$name.out"; return; fi
  local p
  for p in "$@"; do
    grep -qF -- "$p" "$name.out" || { fail "$name: output lacks '$p'" "$name.out"; return; }
  done
  pass "$name"
}

for tool in "$CXX" "$CC" "$DLLTOOL"; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool not installed"; echo "0 passed, 1 failed"; exit 1; }
done

# --- A program using what Kelvane uses must pass -------------------------------
cat >gui.cpp <<'EOF'
#define _WIN32_WINNT 0x0500
#define WINVER 0x0500
#define _WIN32_IE 0x0500
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_TIMER) { KillTimer(w, 1); PostQuitMessage(0); return 0; }
  return DefWindowProcW(w, m, wp, lp);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmd, int show) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  std::map<std::string, std::vector<int>> seen;
  seen[cmd].push_back(show);
  std::ostringstream log;
  log << GetVersion() << ' ' << 1.5;
  try {
    for (auto& e : std::filesystem::directory_iterator(std::filesystem::current_path()))
      log << e.path().string();
    std::filesystem::create_directories("a/b");
    std::filesystem::remove_all("a");
    std::ifstream in("settings.ini");
    std::string line;
    if (!std::getline(in, line)) throw std::runtime_error("no settings");
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
  }
  WNDCLASSEXW wc = {sizeof wc};
  wc.lpfnWndProc = Proc;
  wc.hInstance = inst;
  wc.lpszClassName = L"T";
  RegisterClassExW(&wc);
  HWND w = CreateWindowExW(0, L"T", L"T", WS_OVERLAPPEDWINDOW, 0, 0, 9, 9, 0, 0, inst, 0);
  SetTimer(w, 1, 10, 0);
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
  DISPLAY_DEVICEA dd = {sizeof dd};
  EnumDisplayDevicesA(0, 0, &dd, 0);
  DEVMODEA dm = {};
  dm.dmSize = sizeof dm;
  EnumDisplaySettingsExA(0, ENUM_CURRENT_SETTINGS, &dm, 0);
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW(L"*", &fd);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  if (seen.size() > 5) {  // never true; only the imports matter
    ChangeDisplaySettingsA(&dm, CDS_TEST);
    SHELLEXECUTEINFOW sei = {sizeof sei};
    ShellExecuteExW(&sei);
    HANDLE token;
    LUID luid;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token);
    LookupPrivilegeValueW(0, L"SeShutdownPrivilege", &luid);
    TOKEN_PRIVILEGES tp = {1, {{luid, SE_PRIVILEGE_ENABLED}}};
    AdjustTokenPrivileges(token, FALSE, &tp, 0, 0, 0);
    ExitWindowsEx(EWX_REBOOT, 0);
  }
  MSG msg;
  while (GetMessageW(&msg, 0, 0, 0) > 0) { TranslateMessage(&msg); DispatchMessageW(&msg); }
  MessageBoxW(0, L"done", L"T", MB_OK);
  return 0;
}
EOF
if $CXX -std=c++20 -mwindows gui.cpp -o gui.exe "${LDFLAGS[@]}" -lcomctl32 >build.log 2>&1; then
  expect_check "typical GUI program passes" gui.exe 0 "all present"
  python3 "$TOOLS/check_imports.py" --list gui.exe >list.out 2>&1
  if grep -qx "USER32.dll!EnumDisplaySettingsExA" list.out && grep -qx "COMCTL32.DLL!InitCommonControlsEx" list.out \
     && grep -qx "msvcrt.dll!_wstat64" list.out; then
    pass "--list prints DLL!Function"
  else
    fail "--list prints DLL!Function" list.out
  fi
else
  fail "build typical GUI program" build.log
fi

# --- Vista-only call must fail --------------------------------------------------
cat >vista.c <<'EOF'
#define _WIN32_WINNT 0x0600
#include <windows.h>
int main(void) { return (int)GetTickCount64(); }
EOF
if $CC vista.c -o vista.exe "${LDFLAGS[@]}" >build.log 2>&1; then
  expect_check "GetTickCount64 is rejected" vista.exe 1 "KERNEL32.dll!GetTickCount64"
else
  fail "build GetTickCount64 program" build.log
fi

# --- What the C++ runtime drags in for thread_local objects with destructors
# (GetModuleHandleExW) and over-aligned new (_aligned_malloc) is XP-only ------
cat >xp.cpp <<'EOF'
#include <cstdio>
#include <string>
struct alignas(64) Line { char c[64]; };
thread_local std::string last = "x";
int main() { Line* l = new Line; last += "y"; std::printf("%p%s", (void*)l, last.c_str()); delete l; }
EOF
if $CXX -std=c++20 xp.cpp -o xp.exe "${LDFLAGS[@]}" >build.log 2>&1; then
  expect_check "XP-only runtime imports are rejected" xp.exe 1 \
    "KERNEL32.dll!GetModuleHandleExW" "msvcrt.dll!_aligned_malloc"
else
  fail "build thread_local program" build.log
fi

# --- Imports by ordinal: listed ones pass, others are named as #N --------------
cat >ord.def <<'EOF'
LIBRARY COMCTL32.dll
EXPORTS
InitCommonControls@0 @17 NONAME
Unlisted@0 @345 NONAME
EOF
cat >ord.c <<'EOF'
void __stdcall InitCommonControls(void);
void __stdcall Unlisted(void);
int main(void) { InitCommonControls(); Unlisted(); return 0; }
EOF
if $DLLTOOL -d ord.def -l libord.a -k >build.log 2>&1 && $CC ord.c libord.a -o ord.exe "${LDFLAGS[@]}" >>build.log 2>&1; then
  expect_check "ordinal imports" ord.exe 1 "COMCTL32.dll!#345"
  grep -qF "#17" ordinal\ imports.out && fail "allowed ordinal #17 reported" "ordinal imports.out"
else
  fail "build ordinal program" build.log
fi

# --- A header asking for a newer Windows must fail -------------------------------
if $CC vista.c -o sub6.exe -O2 -Wl,--major-subsystem-version,6 >build.log 2>&1; then
  expect_check "subsystem version above 5.0 is rejected" sub6.exe 1 "subsystem version 6.0"
else
  fail "build subsystem 6.0 program" build.log
fi

# --- make_ati_pci.py -------------------------------------------------------------
# Covers: vendors listed before and after 1002 as board makers, an unknown board
# maker, lower-case ids, non-ASCII names, another vendor's devices and
# subsystems, and comments.
printf '%s\n' \
  '# pci.ids snippet' \
  '0e11  Compaq Computer Corporation' \
  '	ae10  Smart-2/P RAID Controller' \
  '		0e11 4030  Smart-2/P Array Controller' \
  '1002  Advanced Micro Devices, Inc. [AMD/ATI]' \
  '# Radeon 9800 family' \
  '	4e48  R350 [Radeon 9800 Series]' \
  '		1002 0002  R9800 Pro primary' \
  '		174b 7c10  Radeon 9800 Pro 128MB' \
  '		dead beef  Mystery board' \
  '	5960  RV280 [Radeon 9200 PRO]' \
  '	7149  M52 [Mobility Radeon X1300]' \
  '		0e11 0a14  Presario X1300 Gr'$'\xc3\xa4''fik' \
  '		1787 2020  X1300 IceQ X'$'\xc2\xb2' \
  '1014  IBM' \
  '	002e  SCSI RAID Adapter' \
  '174b  PC Partner Limited / Sapphire Technology' \
  '1787  Hightech Information System Ltd.' >pci.ids
printf '%s\r\n' \
  'D 4E48 R350 [Radeon 9800 Series]' \
  'S 0002 R9800 Pro primary' \
  'O 1002 R9800 Pro primary, Advanced Micro Devices, Inc. [AMD/ATI]' \
  'S 7C10 Radeon 9800 Pro 128MB' \
  'O 174B Radeon 9800 Pro 128MB, PC Partner Limited / Sapphire Technology' \
  'S BEEF Mystery board' \
  'O DEAD Mystery board, DEAD' \
  'D 5960 RV280 [Radeon 9200 PRO]' \
  'D 7149 M52 [Mobility Radeon X1300]' \
  'S 0A14 Presario X1300 Grafik' \
  'O 0E11 Presario X1300 Grafik, Compaq Computer Corporation' \
  'S 2020 X1300 IceQ X2' \
  'O 1787 X1300 IceQ X2, Hightech Information System Ltd.' >expected.pci
if python3 "$TOOLS/make_ati_pci.py" pci.ids ati.pci >build.log 2>&1 && cmp -s ati.pci expected.pci; then
  pass "make_ati_pci.py output"
else
  { cat build.log; diff <(cat -A expected.pci) <(cat -A ati.pci 2>/dev/null); } >diff.out
  fail "make_ati_pci.py output" diff.out
fi

# The real database must yield the entry the program is known to look up,
# in plain ASCII; and since the card type is the last line that matched, every
# O line must name its board (the S line before it), not only the maker.
if [ -r /usr/share/misc/pci.ids ]; then
  if python3 "$TOOLS/make_ati_pci.py" /usr/share/misc/pci.ids real.pci >build.log 2>&1 \
     && grep -q $'^D 4E48 R350 \\[Radeon 9800 Series\\]\r$' real.pci \
     && ! LC_ALL=C grep -q $'[^\t\r -~]' real.pci; then
    pass "make_ati_pci.py on the system database"
  else
    fail "make_ati_pci.py on the system database" build.log
  fi
  tr -d '\r' <real.pci | awk '
    /^S / { board = substr($0, 8); next }
    /^O / { if (board == "" || index(substr($0, 8), board) == 0) { print NR ": " $0; bad++ } }
    END { exit bad > 0 }' >unnamed.out
  if [ -s real.pci ] && [ ! -s unnamed.out ]; then
    pass "every O line of ati.pci names the board of its S line"
  else
    fail "every O line of ati.pci names the board of its S line" unnamed.out
  fi
fi

# --- make_icon.py: the committed icon is what the script draws ------------------
if python3 "$TOOLS/make_icon.py" icon.ico >build.log 2>&1 && cmp -s icon.ico "$ROOT/res/Kelvane.ico"; then
  pass "res/Kelvane.ico matches tools/make_icon.py"
else
  fail "res/Kelvane.ico matches tools/make_icon.py (rerun the script)" build.log
fi

# --- check_layers.py ---------------------------------------------------------------
# layer_tree DIR FILE INCLUDE: a tree with one source file that includes one header.
layer_tree() {
  rm -rf "$1"; mkdir -p "$(dirname "$1/$2")"
  printf '#include <vector>\n#include "%s"\n#include "TestMachine.h"\n' "$3" >"$1/$2"
}
expect_layers() {
  local name=$1 want=$2 pattern=${3-}
  python3 "$TOOLS/check_layers.py" "$WORK/layers" >layers.out 2>&1
  local got=$?
  if [ "$got" -ne "$want" ] || { [ -n "$pattern" ] && ! grep -qF -- "$pattern" layers.out; }; then
    fail "check_layers: $name (exit $got, expected $want)" layers.out
  else
    pass "check_layers: $name"
  fi
}
layer_tree layers modes/Apply.cpp app/KVMAIN.h
expect_layers "a lower folder including the main window fails" 1 'modes/Apply.cpp:2: modes/ includes "app/KVMAIN.h" from the higher layer app/'
layer_tree layers platform/win32/Win32Platform.cpp ui/Form.h
expect_layers "a win32 sub-folder keeps its folder's layer" 1 'from the higher layer ui/'
layer_tree layers maintenance/Snapshots.cpp modes/ModeRecords.h
expect_layers "snapshots lie below the modes" 1 'from the higher layer modes/'
layer_tree layers app/KVMAIN.cpp maintenance/Snapshots.h
expect_layers "an include going down passes" 0
layer_tree layers lang/Lang.cpp core/Texts.h
expect_layers "a folder that is not a layer fails" 1 'which is not a layer'
layer_tree layers platform/SimAdapter.cpp tests/sim/SimMachine.h
expect_layers "the program never reaches the tests' simulated machine" 1 'includes "tests/sim/SimMachine.h" from tests/, which is not a layer'
python3 "$TOOLS/check_layers.py" "$ROOT" >layers.out 2>&1 && pass "check_layers: the repository keeps its layers" ||
  fail "check_layers: the repository keeps its layers" layers.out

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
