#!/usr/bin/env bash
# Fails when a source file includes a header of a layer it may not use.
#
#     scripts/check_layering.sh SOURCE_ROOT READER...   # READER: files/ names below mesh (cr2_tree ...)
#     scripts/check_layering.sh --self-test             # shows that each kind of violation is caught
#
# Layers are the source folders, except that files/ is split: the readers named on the command line
# sit below mesh, the rest of files/ (project file, CR2 import and export) above mesh and paint.
# Our headers are included as "folder/name.h": a bare or relative name resolves beside the including
# file first and would hide which layer it reaches, so both are refused, as is <folder/...>.
set -euo pipefail

folders=(core files mesh paint tools widgets app)
# What each layer may include besides itself.
declare -A allowed=(
    [core]=""
    [files]="core"
    [mesh]="core files"
    [paint]="core files mesh tools"
    [tools]="core files mesh"
    [widgets]="core"
    [files_scene]="core files mesh paint"
    [app]="core files mesh paint tools widgets files_scene"
)

self_test() {
    local tree script status=0
    script="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")"
    tree="$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-layering-XXXXXX")"
    trap 'rm -rf "$tree"' RETURN
    mkdir -p "$tree/core" "$tree/files" "$tree/mesh" "$tree/app"
    printf '#include "core/list.h"\n#include <vector>\n' >"$tree/core/list.h"
    printf '#include "core/list.h"\n' >"$tree/files/settings.cpp"
    printf '#include "files/settings.h"\n#include "mesh/poly_mesh.h"\n' >"$tree/files/project_file.cpp"
    printf '#include "files/settings.h"\n' >"$tree/mesh/poly_mesh.cpp"
    printf '#include "files/project_file.h"\n' >"$tree/app/window.cpp"
    if ! bash "$script" "$tree" settings >/dev/null; then
        echo "self-test: a tree that keeps the layering was refused" >&2
        status=1
    fi
    local -a bad=(
        'core/a.cpp:#include "mesh/poly_mesh.h"'
        'core/a.cpp:#include "../mesh/poly_mesh.h"'
        'core/a.cpp:#include <mesh/poly_mesh.h>'
        'core/a.cpp:  #  include "files/settings.h"'
        'files/settings.cpp:#include "project_file.h"'
        'files/settings.cpp:#include "files/project_file.h"'
        'mesh/a.cpp:#include "files/project_file.h"'
        'mesh/a.cpp:#include "core/../app/window.h"'
        'mesh/a.cpp:#include MESH_HEADER'
    )
    local case file line
    for case in "${bad[@]}"; do
        file="${case%%:*}"
        line="${case#*:}"
        cp "$tree/$file" "$tree/$file.kept" 2>/dev/null || : >"$tree/$file.kept"
        printf '%s\n' "$line" >>"$tree/$file"
        if bash "$script" "$tree" settings >/dev/null 2>&1; then
            echo "self-test: not caught in $file: $line" >&2
            status=1
        fi
        mv "$tree/$file.kept" "$tree/$file"
        [ -s "$tree/$file" ] || rm -f "$tree/$file"
    done
    return $status
}

if [ "${1:-}" = --self-test ]; then
    self_test
    exit
fi
if [ $# -lt 1 ]; then
    echo "usage: $0 SOURCE_ROOT READER... | --self-test" >&2
    exit 2
fi
root="$1"
shift
readers=" $* "

is_folder() {
    [[ " ${folders[*]} " == *" $1 "* ]]
}

# The layer of a path relative to the root, e.g. files/settings.h -> files.
layer_of() {
    local folder="${1%%/*}" name="${1#*/}"
    if [ "$folder" = files ]; then
        name="${name%.*}"
        if [[ "$readers" == *" $name "* ]]; then echo files; else echo files_scene; fi
    else
        echo "$folder"
    fi
}

quoted_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)"'
angle_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*<([^>]*)>'
violations=0
report() {
    echo "$1: $2" >&2
    violations=$((violations + 1))
}

for folder in "${folders[@]}"; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r -d '' path; do
        file="${path#"$root"/}"
        from="$(layer_of "$file")"
        while IFS= read -r match; do
            number="${match%%:*}"
            text="${match#*:}"
            where="$file:$number"
            if [[ "$text" =~ $quoted_include ]]; then
                target="${BASH_REMATCH[1]}"
            elif [[ "$text" =~ $angle_include ]]; then
                target="${BASH_REMATCH[1]}"
                if ! is_folder "${target%%/*}" && [[ "$target" != *..* ]]; then
                    continue
                fi
                report "$where" "our header <$target> is included as \"folder/name.h\""
                continue
            else
                report "$where" "cannot tell what '$text' includes"
                continue
            fi
            if [[ "/$target/" == */../* || "/$target/" == */./* ]] || [[ "$target" != */* ]] ||
                ! is_folder "${target%%/*}"; then
                report "$where" "\"$target\" is not of the form \"folder/name.h\" with a source folder"
                continue
            fi
            to="$(layer_of "$target")"
            if [ "$to" != "$from" ] && [[ " ${allowed[$from]} " != *" $to "* ]]; then
                report "$where" "$from may not include $to (\"$target\"); $from may include: ${allowed[$from]:-nothing of ours}"
            fi
        done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include' "$path" || true)
    done < <(find "$root/$folder" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.inl' \) -print0 | sort -z)
done

if [ "$violations" -gt 0 ]; then
    echo "$violations include(s) against the layering" >&2
    exit 1
fi
