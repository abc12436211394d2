#!/bin/sh
# check-package.sh BUILD_DIR
# Builds the Debian package from the build folder and checks it as a user would meet it:
# its files and control fields, lintian, the desktop entries and the Perl association,
# and the installed kestrel started by an ordinary user with a fresh home under an X
# server of its own: the first start creates ~/.config/Kestrel/Kestrel.cfg, Options > OK
# rewrites it owner-only, the functions window lists the installed catalogue, and
# nothing is written beside the executable.
# The package is unpacked into a temporary root (dpkg -x), never installed into this
# machine, unless KESTREL_PACKAGE_DPKG_INSTALL=1 asks for dpkg -i as well (a throwaway
# machine run as root).
set -u
BUILD=$(cd "$1" && pwd)
# lintian keeps a little in the home folder, which the test harness gives empty.
[ -n "${HOME:-}" ] && mkdir -p "$HOME"
failures=0
fail() { printf "FAIL: %s\n" "$*"; failures=$((failures + 1)); }
pass() { printf "ok: %s\n" "$*"; }
need() { command -v "$1" >/dev/null 2>&1 || { echo "FAIL: $1 is missing (package $2)"; exit 1; }; }
need cpack cmake; need dpkg-deb dpkg; need lintian lintian; need desktop-file-validate desktop-file-utils
need update-desktop-database desktop-file-utils; need xdg-mime xdg-utils; need Xvfb xvfb
need openbox openbox; need xdotool xdotool; need readelf binutils; need dpkg-shlibdeps dpkg-dev; need file file
need setpriv util-linux

TMP=$(mktemp -d /tmp/kestrel-package.XXXXXX)
chmod 755 "$TMP"
PIDS=""
cleanup() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null; done
    chmod -R u+w "$TMP" 2>/dev/null
    rm -rf "$TMP"
}
trap cleanup EXIT INT TERM

# --- the package ------------------------------------------------------------------------
( cd "$BUILD" && cpack -G DEB -B "$TMP/out" ) >"$TMP/cpack.log" 2>&1 || { cat "$TMP/cpack.log"; fail "cpack"; exit 1; }
DEB=$(ls "$TMP"/out/kestrel_*.deb 2>/dev/null | head -n 1)
[ -n "$DEB" ] || { cat "$TMP/cpack.log"; fail "no package was made"; exit 1; }
pass "built $(basename "$DEB")"

dpkg-deb -c "$DEB" | awk '{print $6}' | sed 's|^\./|/|' >"$TMP/files"
for f in /usr/bin/kestrel /usr/bin/runhold /usr/bin/bytelens /usr/lib/kestrel/libkestrel_web.so \
         /usr/share/kestrel/Kestrel.cfg /usr/share/kestrel/KESTREL.FNL \
         /usr/share/applications/kestrel.desktop /usr/share/applications/bytelens.desktop \
         /usr/share/icons/hicolor/scalable/apps/kestrel.svg \
         /usr/share/man/man1/kestrel.1.gz /usr/share/man/man1/runhold.1.gz /usr/share/man/man1/bytelens.1.gz \
         /usr/share/doc/kestrel/copyright /usr/share/doc/kestrel/changelog.gz; do
    grep -qx "$f" "$TMP/files" || fail "package lacks $f"
done
for size in 16 22 24 32 48 64 128; do
    for icon in kestrel bytelens; do
        grep -qx "/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" "$TMP/files" \
            || fail "package lacks the ${size}x${size} $icon icon"
    done
done
grep -qx /usr/share/icons/hicolor/256x256/apps/kestrel.png "$TMP/files" || fail "package lacks the 256x256 kestrel icon"
# Nothing of the build or the tests: only what a user runs and reads.
unexpected=$(grep -v -e '^/usr/bin/\(kestrel\|runhold\|bytelens\)$' -e '^/usr/lib/kestrel/' -e '^/usr/share/' \
                 -e '/$' "$TMP/files")
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"
pass "file list"

field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = kestrel ] || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Version)" ] || fail "no Version"
[ "$(field Section)" = devel ] || fail "Section is '$(field Section)'"
depends=$(field Depends)
for d in perl libqt6widgets6 libqscintilla2-qt6 libcurl4 libc6; do
    echo "$depends" | grep -q "\(^\|, \)$d" || fail "Depends lacks $d: $depends"
done
recommends=$(field Recommends)
for r in default-jdk-headless perl-doc perltidy x-terminal-emulator; do
    echo "$recommends" | grep -q "$r" || fail "Recommends lacks $r: $recommends"
done
pass "control fields (Depends: $depends)"

lintian "$DEB" >"$TMP/lintian.log" 2>&1
cat "$TMP/lintian.log"
if grep -q '^E:' "$TMP/lintian.log"; then fail "lintian reports errors"; else pass "lintian: no error"; fi

# --- unpacked ----------------------------------------------------------------------------
ROOT="$TMP/root"
dpkg -x "$DEB" "$ROOT" || { fail "dpkg -x"; exit 1; }
chmod 755 "$ROOT"
for elf in "$ROOT"/usr/bin/* "$ROOT"/usr/lib/kestrel/*; do
    if readelf -d "$elf" | grep -q -e RPATH -e RUNPATH; then fail "$elf carries a library search path"; fi
done
pass "no RPATH or RUNPATH"

for entry in kestrel bytelens; do
    desktop-file-validate "$ROOT/usr/share/applications/$entry.desktop" || fail "desktop-file-validate $entry.desktop"
done
grep -q '^MimeType=.*application/x-perl;' "$ROOT/usr/share/applications/kestrel.desktop" || fail "no application/x-perl"
grep -q '^MimeType=.*text/x-java;' "$ROOT/usr/share/applications/kestrel.desktop" || fail "no text/x-java"

XDGDATA="$TMP/xdg-data"
mkdir -p "$XDGDATA/applications" "$TMP/xdg-config"
cp "$ROOT"/usr/share/applications/*.desktop "$XDGDATA/applications/"
update-desktop-database "$XDGDATA/applications" || fail "update-desktop-database"
for mime in text/x-perl application/x-perl text/x-java; do
    default=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION XDG_DATA_HOME="$XDGDATA" XDG_CONFIG_HOME="$TMP/xdg-config" \
              xdg-mime query default "$mime")
    [ "$default" = kestrel.desktop ] || fail "xdg-mime query default $mime gives '$default'"
done
pass "desktop entries and the Perl and Java associations"

for program in kestrel bytelens; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$ROOT/usr/bin/$program" --version 2>&1)
    [ "$out" = "$program $(field Version)" ] || fail "$program --version says '$out'"
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$ROOT/usr/bin/$program" --help 2>&1 | grep -q "^Usage: $program" \
        || fail "$program --help"
done
out=$(echo | "$ROOT/usr/bin/runhold")
status=$?
[ "$out" = "Please press a key to continue" ] && [ "$status" = 1 ] \
    || fail "runhold without arguments says '$out' and ends with $status"

if [ "${KESTREL_PACKAGE_DPKG_INSTALL:-0}" = 1 ] && [ "$(id -u)" = 0 ]; then
    dpkg -i "$DEB" && pass "dpkg -i" || fail "dpkg -i"
fi

# --- the installed kestrel, started by an ordinary user --------------------------------
if [ "$(id -u)" = 0 ]; then
    RUN_UID=$(id -u nobody) RUN_GID=$(id -g nobody)
    as_user() { setpriv --reuid="$RUN_UID" --regid="$RUN_GID" --clear-groups -- "$@"; }
else
    RUN_UID=$(id -u) RUN_GID=$(id -g)
    as_user() { "$@"; }
fi
USERHOME="$TMP/home"
mkdir -p "$USERHOME"
printf '# a script\n' >"$USERHOME/t.pl"
chown -R "$RUN_UID:$RUN_GID" "$USERHOME"
chmod a-w "$ROOT/usr/bin"
ls -la "$ROOT/usr/bin" >"$TMP/bin-before"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$TMP/display" >"$TMP/xvfb.log" 2>&1 &
PIDS="$PIDS $!"
for i in $(seq 100); do [ -s "$TMP/display" ] && break; sleep 0.2; done
[ -s "$TMP/display" ] || { cat "$TMP/xvfb.log"; fail "Xvfb named no display"; exit 1; }
DISPLAY=:$(cat "$TMP/display")
export DISPLAY
openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml >"$TMP/openbox.log" 2>&1 &
PIDS="$PIDS $!"
sleep 1

as_user env -i HOME="$USERHOME" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" LANG=C.UTF-8 \
    "$ROOT/usr/bin/kestrel" "$USERHOME/t.pl" >"$TMP/kestrel.log" 2>&1 &
KESTREL_PID=$!
PIDS="$KESTREL_PID $PIDS"
window() { timeout "${2:-30}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
no_window() {
    for i in $(seq 100); do
        [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
        sleep 0.2
    done
    return 1
}
keys() { xdotool key --delay 60 "$@"; }
main=$(window '^t\.pl - Kestrel$' 60)
[ -n "$main" ] || { cat "$TMP/kestrel.log"; fail "the installed kestrel showed no window"; exit 1; }
pass "the installed kestrel started as uid $RUN_UID"

CFG="$USERHOME/.config/Kestrel/Kestrel.cfg"
[ -f "$CFG" ] || { fail "the first start made no $CFG"; exit 1; }
[ "$(wc -l <"$CFG")" = 30 ] || fail "$CFG has $(wc -l <"$CFG") lines"
grep -qx "LOCAL_PERL_EXE=$(PATH=/usr/bin:/bin command -v perl)" "$CFG" || fail "$CFG names no perl: $(grep LOCAL_PERL_EXE "$CFG")"
grep -qx 'TAB_SIZE=4' "$CFG" || fail "$CFG lacks the installed default's TAB_SIZE"
[ "$(stat -c %a "$CFG")" = 600 ] || fail "$CFG has mode $(stat -c %a "$CFG") after the first start"
[ "$(stat -c %U "$CFG")" = "$(id -un "$RUN_UID")" ] || fail "$CFG belongs to $(stat -c %U "$CFG")"
pass "the first start made $CFG"

# Loosened by hand, so that owner-only after Options shows that Options wrote it.
chmod 644 "$CFG"
inode=$(stat -c %i "$CFG")
xdotool windowactivate --sync "$main" 2>/dev/null; sleep 0.3
keys alt+t; sleep 0.3; keys o
sheet=$(window '^Options')
if [ -z "$sheet" ]; then
    fail "Tools > Options opened no window"
else
    xdotool windowactivate --sync "$sheet" 2>/dev/null; sleep 0.3
    keys Return
    no_window '^Options' || fail "Options did not close on OK"
    for i in $(seq 50); do [ "$(stat -c %i "$CFG")" != "$inode" ] && break; sleep 0.2; done
    [ "$(stat -c %i "$CFG")" != "$inode" ] || fail "Options > OK did not rewrite $CFG"
    [ "$(stat -c %a "$CFG")" = 600 ] || fail "$CFG has mode $(stat -c %a "$CFG") after Options > OK"
    [ "$(wc -l <"$CFG")" = 30 ] || fail "$CFG has $(wc -l <"$CFG") lines after Options > OK"
    pass "Options > OK wrote $CFG with mode 600"
fi

# View > Functions, the first row, Enter: its template goes into the script, which is saved.
template=$(head -n 1 "$ROOT/usr/share/kestrel/KESTREL.FNL" | cut -d, -f3-)
xdotool windowactivate --sync "$main" 2>/dev/null; sleep 0.3
keys ctrl+End
keys alt+v; sleep 0.3; keys f
functions=$(window '^Perl functions$')
if [ -z "$functions" ]; then
    fail "View > Functions opened no window"
else
    [ -z "$(xdotool search --onlyvisible --name '^Kestrel$' 2>/dev/null)" ] || fail "a message box came up: no catalogue?"
    xdotool windowactivate --sync "$functions" 2>/dev/null; sleep 0.3
    keys Home Return
    no_window '^Perl functions$' || fail "the functions window stayed"
    xdotool windowactivate --sync "$main" 2>/dev/null; sleep 0.3
    keys ctrl+s
    for i in $(seq 50); do grep -qF -- "$template" "$USERHOME/t.pl" && break; sleep 0.2; done
    grep -qF -- "$template" "$USERHOME/t.pl" && pass "the functions window lists the installed catalogue" \
        || fail "the script did not get the first catalogue row's template '$template': $(cat "$USERHOME/t.pl")"
fi

ls -la "$ROOT/usr/bin" >"$TMP/bin-after"
diff "$TMP/bin-before" "$TMP/bin-after" >/dev/null || fail "something was written beside the executable: $(diff "$TMP/bin-before" "$TMP/bin-after")"
[ -z "$(ls "$ROOT/usr/share/kestrel" | grep -v -e '^Kestrel.cfg$' -e '^KESTREL.FNL$')" ] || fail "something was written in share/kestrel"
pass "nothing written beside the executable"

kill "$KESTREL_PID" 2>/dev/null
if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    [ -s "$TMP/kestrel.log" ] && { echo "--- kestrel's output"; cat "$TMP/kestrel.log"; }
    exit 1
fi
echo "all package checks passed"
