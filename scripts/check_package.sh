#!/usr/bin/env bash
# Makes the Debian package from a build folder into a temporary folder and checks what it holds
# and what it depends on.
#
#     scripts/check_package.sh BUILD_DIR      # CPACK may name the cpack to use
set -euo pipefail
build_dir="$(cd "${1:?usage: check_package.sh BUILD_DIR}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "check_package: $*" >&2
    failed=1
}

if ! "${CPACK:-cpack}" -G DEB -B "$work" --config "$build_dir/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    exit 1
fi
package="$(echo "$work"/tarnwick_*.deb)"
[ -f "$package" ] || { fail "cpack made no tarnwick_*.deb"; exit 1; }

contents="$(dpkg-deb -c "$package" | awk '{ print $NF }')"
for file in usr/bin/tarnwick \
    usr/share/tarnwick/Data/Language_v2.txt usr/share/tarnwick/Data/Graphics.dat \
    usr/share/tarnwick/Data/Default.Tarnwick usr/share/tarnwick/Data/Environment.OBJ \
    usr/share/tarnwick/Data/EnvironmentMap.BMP usr/share/tarnwick/Data/EnvironmentMap_Grey.BMP \
    usr/share/tarnwick/Data/Brushes/Default_Selection_Brush.bmp \
    usr/share/applications/tarnwick.desktop usr/share/icons/hicolor/scalable/apps/tarnwick.svg \
    usr/share/mime/packages/tarnwick.xml usr/share/man/man1/tarnwick.1.gz; do
    grep -qx "\./$file" <<<"$contents" || fail "the package lacks /$file"
done

# Each library the program loads must come with the package that holds it, and so must Mesa's
# drivers, which the program loads only at run time.
depends="$(dpkg-deb -f "$package" Depends)"
names=" $(sed 's/([^)]*)//g; s/[,|]/ /g' <<<"$depends") "
[[ "$names" == *" libgl1-mesa-dri "* ]] || fail "Depends lacks libgl1-mesa-dri: $depends"
dpkg-deb -x "$package" "$work/root"
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -dumpmachine)"
for library in $(objdump -p "$work/root/usr/bin/tarnwick" | awk '$1 == "NEEDED" { print $2 }'); do
    holders="$(dpkg -S "*/$multiarch/$library" 2>/dev/null | sed 's/[:,].*//' | sort -u)"
    found=0
    for holder in $holders; do
        [[ "$names" == *" $holder "* ]] && found=1
    done
    [ "$found" = 1 ] || fail "Depends names none of the packages holding $library ($holders): $depends"
done

exit "$failed"
