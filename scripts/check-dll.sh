#!/usr/bin/env bash
# Checks that the DLL imports system DLLs only, that its export table is the
# module-definition file with one entry point per body ("Alias = Body" shares
# the body's), and that the module-definition file lists exactly the Zirvo_
# functions the core defines (aliases are defined there at their body's address).
# Usage: scripts/check-dll.sh <cross build directory>
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: check-dll.sh <cross build directory>}
def=src/api/ZirvoSdk_USB3_7730QX.def
dll=$build/src/ZirvoSdk_USB3_7730QX.dll
core=$build/src/libzirvo_core.a
tools=i686-w64-mingw32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# .def entries: "Name" or "Name = Body"; the body is what the core must define.
awk '/^EXPORTS/ {on=1; next} on && $1 !~ /^;/ && NF {print $1}' "$def" | sort >"$work/def-names"
awk '/^EXPORTS/ {on=1; next} on && $1 !~ /^;/ && NF {print ($2 == "=" ? $3 : $1)}' "$def" \
  | sort -u >"$work/def-bodies"

# Names in the DLL's export directory.
"$tools-objdump" -p "$dll" \
  | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^\t\[/ {print $NF; next} on && !/^\t\[/ {on=0}' \
  | sort >"$work/dll-names"

entry_points=$("$tools-objdump" -p "$dll" \
  | awk '/Export Address Table -- Ordinal Base/ {on=1; next} on && /Export RVA/ {print $(NF-2); next} on {on=0}' \
  | sort -u | wc -l)

# cdecl functions carry one leading underscore on i686.
"$tools-nm" --defined-only -g "$core" 2>/dev/null \
  | awk '$2 == "T" && $3 ~ /^_Zirvo_/ {print substr($3, 2)}' | sort -u >"$work/core-defined"

status=0
report() {  # report <message> <file>
  if [[ -s $2 ]]; then
    echo "check-dll: $1:" >&2
    sed 's/^/  /' "$2" >&2
    status=1
  fi
}
comm -13 "$work/def-names" "$work/dll-names" >"$work/extra"
report "exported but not in $def" "$work/extra"
comm -23 "$work/def-names" "$work/dll-names" >"$work/missing"
report "in $def but not exported" "$work/missing"
comm -13 "$work/def-names" "$work/core-defined" >"$work/unlisted"
report "defined in the core but not in $def" "$work/unlisted"
cat "$work/def-names" "$work/def-bodies" | sort -u | comm -23 - "$work/core-defined" >"$work/undefined"
report "in $def but not defined in the core" "$work/undefined"
bodies=$(wc -l <"$work/def-bodies")
if [[ $entry_points -ne $bodies ]]; then
  echo "check-dll: $entry_points entry points for $bodies bodies in $def" >&2
  status=1
fi

# A static runtime leaves no lib*.dll (libstdc++, libgcc, winpthread) to ship.
"$tools-objdump" -p "$dll" | awk '/DLL Name:/ {print $3}' | grep -i '^lib' >"$work/runtime" || true
report "imports a runtime DLL" "$work/runtime"

if [[ $status -eq 0 ]]; then
  echo "check-dll: $(wc -l <"$work/dll-names") names behind $entry_points entry points, as listed"
fi
exit $status
