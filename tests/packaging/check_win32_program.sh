#!/bin/sh
# Fails unless the program is an i386 GUI program that imports system DLLs only and embeds
# the administrator manifest with the five supported-OS ids.
set -u
exe="$1"
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$exe" ] || fail "$exe does not exist (build the win32 preset first)"
dump=$(i686-w64-mingw32-objdump -p "$exe") || fail "objdump cannot read $exe"
echo "$dump" | grep -q "file format pei-i386" || fail "not an i386 PE image"
echo "$dump" | grep -Eq "^Subsystem[[:space:]]+0+2[[:space:]]" || fail "not a GUI-subsystem program"
dlls=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || fail "no imports found"
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|advapi32.dll|shell32.dll|msvcrt.dll) ;;
    *) fail "imports a non-system DLL: $dll" ;;
  esac
done
grep -aq 'level="requireAdministrator"' "$exe" || fail "manifest lacks requireAdministrator"
grep -aq 'uiAccess="false"' "$exe" || fail "manifest lacks uiAccess=false"
for id in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
          4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
          8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
  grep -aq "{$id}" "$exe" || fail "manifest lacks supportedOS $id"
done
echo "imports: $(echo $dlls)"
