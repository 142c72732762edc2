#!/bin/sh
# Fails unless the program is an i386 GUI program that imports system DLLs only (setupapi reads
# the package's INFs), carries a header checksum that matches its bytes, names no folder of the
# source tree, embeds one administrator manifest with the five supported-OS ids, and carries its
# event message file: an i386 DLL with no entry point, no imports and no resource but its message
# table. With VERSION it also fails unless the version resource (fixed and string parts) and the
# manifest's assemblyIdentity all give VERSION.
#
#   check_win32_program.sh EXE [VERSION]
set -u
exe="$1"
version="${2:-}"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
inspect="$root/tools/pe_inspect"
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$exe" ] || fail "$exe does not exist (build the win32 preset first)"
dump=$(i686-w64-mingw32-objdump -p "$exe") || fail "objdump cannot read $exe"
echo "$dump" | grep -q "file format pei-i386" || fail "not an i386 PE image"
echo "$dump" | grep -Eq "^Subsystem[[:space:]]+0+2[[:space:]]" || fail "not a GUI-subsystem program"
dlls=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || fail "no imports found"
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|advapi32.dll|shell32.dll|setupapi.dll|msvcrt.dll) ;;
    *) fail "imports a non-system DLL: $dll" ;;
  esac
done

sums=$(python3 "$inspect/pe_checksum.py" "$exe") || fail "header checksum is wrong: $sums"
# A build folder in the file would make every build folder give different bytes.
if strings -a "$exe" | grep -qF "$root/"; then
  fail "names the source tree: $(strings -a "$exe" | grep -F "$root/" | head -1)"
fi

manifest=$(python3 "$inspect/pe_resources.py" --manifest "$exe") || fail "the program needs exactly one manifest"
echo "$manifest" | grep -q 'level="requireAdministrator"' || fail "manifest lacks requireAdministrator"
echo "$manifest" | grep -q 'uiAccess="false"' || fail "manifest lacks uiAccess=false"
for id in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
          4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
          8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
  echo "$manifest" | grep -q "{$id}" || fail "manifest lacks supportedOS $id"
done

messages=$(mktemp)
trap 'rm -f "$messages"' EXIT
python3 "$inspect/pe_resources.py" --rcdata "$messages" "$exe" || fail "the program carries no one message file"
mdump=$(i686-w64-mingw32-objdump -p "$messages") || fail "the carried message file is no PE image"
echo "$mdump" | grep -q "file format pei-i386" || fail "the message file is not an i386 image"
echo "$mdump" | grep -Eq "^[[:space:]]+DLL$" || fail "the message file is not a DLL"
echo "$mdump" | grep -Eq "^AddressOfEntryPoint[[:space:]]+0+$" || fail "the message file has an entry point"
if echo "$mdump" | grep -q "DLL Name:"; then
  fail "the message file imports: $(echo "$mdump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"
fi
mtypes=$(python3 "$inspect/pe_resources.py" --types "$messages" | sort -u | tr '\n' ' ')
[ "$mtypes" = "11 " ] || fail "the message file's resource types are '$mtypes', not the message table (11) alone"

if [ -n "$version" ]; then
  info=$(python3 "$inspect/pe_resources.py" "$exe") || fail "cannot read the resources"
  for key in fixed_file_version fixed_product_version string_FileVersion string_ProductVersion manifest_version; do
    found=$(echo "$info" | sed -n "s/^$key=//p")
    [ "$found" = "$version" ] || fail "$key is '${found}', the release is $version"
  done
  echo "version: $version"
fi
echo "checksum: $sums"
echo "imports: $(echo $dlls)"
echo "message file: $(wc -c < "$messages") bytes, no entry point, no imports, message table only"
