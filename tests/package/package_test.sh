#!/usr/bin/env bash
# The Debian package made from this build, looked at as apt and a user see it: its files, its
# dependencies (every library the program needs, found or loaded), lintian's verdict; then, as
# root, installed with apt, the installed engine making reports of a copy of the demo from
# another folder without a display, and removed again.
# Usage: package_test.sh BUILD_FOLDER SOURCE_FOLDER VARNEL INIT_DATABASE
set -euo pipefail
build=$1 source=$2 program=$3 init_database=$4

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/varnel-package.XXXXXX")
installed_here=""
cleanup() {
    if [ -n "$installed_here" ] && dpkg-query -W -f='${Status}' varnel 2>/dev/null | grep -qv 'not-installed'; then
        apt-get purge -y -q -o DPkg::Lock::Timeout=300 varnel >"$work/purge.log" 2>&1 \
            || { cat "$work/purge.log" >&2; echo "FAIL: the package could not be removed" >&2; }
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# cpack packs what the build folder installs; the build itself is not repeated.
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not make the package"
fi
version=$("$program" --version | awk '{print $2}')
arch=$(dpkg --print-architecture)
deb="$work/out/varnel_${version}_${arch}.deb"
[ -f "$deb" ] || { ls "$work/out" >&2; fail "no package named $(basename "$deb")"; }

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = varnel ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version $(field Version), but varnel --version says $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is $(field Architecture)"
depends=$(field Depends)
echo "Depends: $depends"
# One package name a line, versions and alternatives taken apart.
depends_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g' | sed '/^$/d')

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for path in ./usr/bin/varnel ./usr/share/applications/varnel.desktop \
            ./usr/share/icons/hicolor/scalable/apps/varnel.svg ./usr/share/man/man1/varnel.1.gz \
            ./usr/share/doc/varnel/copyright ./usr/share/doc/varnel/changelog.gz; do
    grep -qx -- "$path" <<<"$contents" || fail "the package lacks $path"
done
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/varnel.desktop >"$work/varnel.desktop"
grep -qx 'Exec=varnel --choose-project' "$work/varnel.desktop" || fail "the menu entry does not start varnel --choose-project"

# Depends must name the package of every library the program is linked with ...
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
needed_packages() {
    local library
    for library in $(objdump -p "$program" | awk '/NEEDED/ {print $2}'); do
        # libzint is installed outside the multiarch folder, in /usr/lib.
        { dpkg -S "*/$multiarch/$library" 2>/dev/null || dpkg -S "/usr/lib/$library" 2>/dev/null; } | head -n1 | cut -d: -f1
    done | sort -u
}
# ... and of every file it only loads while it runs: the TIFF image plugin, Qt's Russian texts,
# xdg-open and the DejaVu fonts.
runtime_packages() {
    local file
    for file in '*/qt6/plugins/imageformats/libqtiff.so' '*/qt6/translations/qtbase_ru.qm' \
                '/usr/bin/xdg-open' '*/DejaVuSans.ttf'; do
        dpkg -S "$file" 2>/dev/null | head -n1 | cut -d: -f1 || true
    done
}
wanted=$( { needed_packages; runtime_packages; } | sort -u)
[ -n "$wanted" ] || fail "no package found for the program's libraries"
for package in $wanted; do
    grep -Fxq "$package" <<<"$depends_names" || fail "Depends lacks $package"
done
for package in qt6-image-formats-plugins qt6-translations-l10n xdg-utils fonts-dejavu-core libpq5; do
    grep -Fxq "$package" <<<"$wanted" || fail "$package is not among the packages the program needs: $wanted"
done

command -v lintian >/dev/null || fail "lintian is not installed (tools/setup.sh installs it)"
lintian --fail-on error --allow-root "$deb" >"$work/lintian.log" 2>&1 || lintian_failed=1
echo "lintian:"; sed 's/^/  /' "$work/lintian.log"
[ -z "${lintian_failed:-}" ] || fail "lintian reports errors"

if [ "$(id -u)" -ne 0 ]; then
    skip "the package was made and checked; installing it needs root"
fi

# One package test at a time on this machine, whichever build folder it runs from.
lock_folder=/run/lock
[ -d "$lock_folder" ] || lock_folder=/tmp
exec 9>"$lock_folder/varnel-package-test.lock"
flock -w 900 9 || fail "another package test holds the lock"
if dpkg-query -W -f='${Status}' varnel 2>/dev/null | grep -q 'ok installed'; then
    skip "a varnel package is already installed here; the test leaves it alone (apt-get purge varnel to let it run)"
fi

# apt reads the package as its own user.
chmod 755 "$work" "$work/out"
# Nothing but the package itself may come onto the machine: its dependencies are already here
# (tools/setup.sh installs them), or the test stops before installing anything.
apt-get install -s -q --no-install-recommends "$deb" >"$work/simulate.log" 2>&1 \
    || { cat "$work/simulate.log" >&2; fail "apt-get cannot install the package"; }
others=$(awk '$1 == "Inst" && $2 != "varnel" {print $2}' "$work/simulate.log")
[ -z "$others" ] || fail "installing the package would also install: $others"
installed_here=yes
if ! apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=300 \
        "$deb" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    fail "apt-get could not install the package"
fi
[ -x /usr/bin/varnel ] || fail "/usr/bin/varnel is not there after the install"
[ "$(/usr/bin/varnel --version)" = "varnel $version" ] || fail "the installed varnel says $(/usr/bin/varnel --version)"

demo="$work/demo"
mkdir -p "$demo" "$work/elsewhere"
cp -r "$source/examples/demo/forms.xml" "$source/examples/demo/tables.ini" \
      "$source/examples/demo/graphics.dll" "$source/examples/demo/Report" "$demo/"
"$init_database" "$demo/tables.ini" "$demo/sqlite.db" "$source/examples/demo/sample_data.sql" >/dev/null

without_display() {
    (cd "$work/elsewhere" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@")
}
without_display /usr/bin/varnel --project ../demo --report customers.xml --format pdf \
    --output customers.pdf 2>"$work/report.err" || { cat "$work/report.err" >&2; fail "the installed varnel made no PDF"; }
head -c 5 "$work/elsewhere/customers.pdf" | grep -q '%PDF-' || fail "customers.pdf is not a PDF"
if command -v pdftotext >/dev/null; then
    pdftotext "$work/elsewhere/customers.pdf" - | grep -q 'Lindqvist, Ingrid' \
        || fail "customers.pdf does not list the demo's customers"
fi
# The customer card carries the photo from the database; TIFF needs the image plugin package.
without_display /usr/bin/varnel --project "$demo" --report card.xml --id 1 --format tiff \
    --output card.tiff 2>"$work/card.err" || { cat "$work/card.err" >&2; fail "the installed varnel made no TIFF"; }
tiff=$(ls "$work"/elsewhere/card*.tif* 2>/dev/null | head -n1)
[ -n "$tiff" ] || fail "no TIFF page was written"
head -c 4 "$tiff" | od -An -tx1 | grep -Eq '49 49 2a 00|4d 4d 00 2a' || fail "$tiff is not a TIFF picture"

if without_display /usr/bin/varnel --project "$work/elsewhere" --check-sql 2>"$work/refused.err"; then
    fail "a folder without forms.xml was taken as a project"
fi
grep -q 'holds no forms.xml' "$work/refused.err" || fail "the refusal says: $(cat "$work/refused.err")"

if ! apt-get purge -y -q -o DPkg::Lock::Timeout=300 varnel >"$work/purge.log" 2>&1; then
    cat "$work/purge.log" >&2
    fail "apt-get could not remove the package"
fi
installed_here=""
[ ! -e /usr/bin/varnel ] || fail "/usr/bin/varnel is still there after the removal"
! dpkg-query -W -f='${Status}' varnel 2>/dev/null | grep -q 'ok installed' || fail "varnel is still installed"
echo "PASS: package $(basename "$deb") made, checked, installed, run and removed"
