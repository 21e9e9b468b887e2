#!/usr/bin/env bash
# Checks an installed Tarnwick: the files a desktop needs to find, start and describe it, the
# program's data, and that the installed program runs.
#
#     scripts/check_install.sh PREFIX
set -euo pipefail
prefix="${1:?usage: check_install.sh PREFIX}"
failed=0
fail() {
    echo "check_install: $*" >&2
    failed=1
}

for file in bin/tarnwick \
    share/tarnwick/Data/Language_v2.txt share/tarnwick/Data/Graphics.dat \
    share/tarnwick/Data/OpenGL_Database.csv share/tarnwick/Data/Default.Tarnwick \
    share/tarnwick/Data/Environment.OBJ share/tarnwick/Data/EnvironmentMap.BMP \
    share/tarnwick/Data/EnvironmentMap_Grey.BMP share/tarnwick/Data/Brushes/Default_Selection_Brush.bmp \
    share/applications/tarnwick.desktop share/mime/packages/tarnwick.xml \
    share/man/man1/tarnwick.1.gz; do
    [ -s "$prefix/$file" ] || fail "$prefix/$file is missing or empty"
done

# The desktop entry names the program, the icon and the file type that the other files install.
desktop="$prefix/share/applications/tarnwick.desktop"
if [ -f "$desktop" ]; then
    program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
    [ -n "$program" ] && [ -x "$prefix/bin/$program" ] || fail "Exec= names no installed program ('$program')"
    icon="$(sed -n 's/^Icon=//p' "$desktop")"
    [ -n "$icon" ] && [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
        fail "Icon= names no installed icon ('$icon')"
    mime_type="$(sed -n 's/^MimeType=\(.*\);$/\1/p' "$desktop")"
    [ -n "$mime_type" ] && grep -q "type=\"$mime_type\"" "$prefix/share/mime/packages/tarnwick.xml" ||
        fail "MimeType= names no type of the installed MIME description ('$mime_type')"
fi

version="$("$prefix/bin/tarnwick" --version 2>&1)" || fail "the installed program's --version failed: $version"
case "$version" in
"Tarnwick "[0-9]*) ;;
*) fail "the installed program's --version printed '$version'" ;;
esac

# The installed program starts as a new user would, finds its data under share/tarnwick and shows
# the default figure.
if [ -n "${DISPLAY:-}" ]; then
    home="$(mktemp -d)"
    capture="$home/start.png"
    HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" XDG_DATA_HOME="$home/data" \
        "$prefix/bin/tarnwick" --exit-after-frames 3 --capture "$capture" 2>"$home/errors.txt" ||
        fail "the installed program did not start and quit: $(cat "$home/errors.txt")"
    grep -qx 'current_object Head' "$capture.txt" 2>/dev/null ||
        fail "the installed program did not show the default figure"
    rm -rf "$home"
else
    fail "no display to start the installed program on (run the tests under xvfb-run -a)"
fi

exit "$failed"
