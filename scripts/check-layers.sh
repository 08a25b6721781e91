#!/usr/bin/env bash
# Checks the layering by hand (not part of ctest): the layer list is the one the root
# CMakeLists.txt adds its folders in, lowest first. It reports
#   - an include of a header from a higher layer, in a layer's own sources or in its tests
#     (tests/<layer>/ may include its layer, the ones below and their tests/<layer>/ helpers;
#     tests/fakes, tests/support and tests/integration serve every layer and are not checked);
#   - a kestrel:: target of a higher layer in a layer's CMakeLists.txt;
#   - a folder that defines more than one library.
# Prints every finding and exits 1 if there is any. Usage: bash scripts/check-layers.sh
set -uo pipefail
cd "$(dirname "$0")/.."

mapfile -t layers < <(sed -n 's/^foreach(dir \(.*\))$/\1/p' CMakeLists.txt | tr ' ' '\n')
if [ "${#layers[@]}" -eq 0 ]; then
    echo "check-layers: no layer list found in CMakeLists.txt" >&2
    exit 2
fi
declare -A level
for i in "${!layers[@]}"; do level[${layers[$i]}]=$i; done

findings=0
report() {
    echo "$1"
    findings=$((findings + 1))
}

# Sources of a layer (or its tests) against the layer they belong to.
check_includes() {
    local own=$1 dir=$2 file line target
    while IFS= read -r file; do
        while IFS= read -r line; do
            target=${line#*#include \"}
            # A test's helpers in tests/<layer>/ count as that layer.
            [ "${target%%/*}" = tests ] && target=${target#tests/}
            target=${target%%/*}
            [ -n "${level[$target]+x}" ] || continue
            if [ "${level[$target]}" -gt "${level[$own]}" ]; then
                report "$file: $own includes $target: ${line#*#include }"
            fi
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include "[a-z_]+/' "$file")
    done < <(git ls-files -- "$dir/*.cpp" "$dir/*.h")
}

for own in "${layers[@]}"; do
    [ -d "$own" ] && check_includes "$own" "$own"
    [ -d "tests/$own" ] && check_includes "$own" "tests/$own"

    cmake=$own/CMakeLists.txt
    [ -f "$cmake" ] || continue
    libs=$(grep -cE '^[[:space:]]*add_library\([a-z_]+ (STATIC|SHARED|OBJECT|INTERFACE)' "$cmake")
    [ "$libs" -le 1 ] || report "$cmake: $libs libraries in one folder"
    while IFS= read -r target; do
        [ -n "${level[$target]+x}" ] || continue
        if [ "${level[$target]}" -gt "${level[$own]}" ]; then
            report "$cmake: $own links kestrel::$target"
        fi
    done < <(grep -v '^[[:space:]]*#' "$cmake" | grep -oE 'kestrel::[a-z_]+' | sed 's/kestrel:://' | sort -u)
done

if [ "$findings" -gt 0 ]; then
    echo "check-layers: $findings finding(s)"
    exit 1
fi
echo "check-layers: ${#layers[@]} layers, no include or link runs upward"
