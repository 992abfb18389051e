#!/usr/bin/env bash
# check_package.sh DEB: checks a Kestrun package as a Debian user meets it. The
# desktop entry, the AppStream record and the package pass their validators
# without errors; unpacked into a scratch root, the programs print their version
# without a display and replay an installed sample with the installed settings.
set -euo pipefail
deb=$(realpath "${1:?usage: check_package.sh DEB}")
version=$(dpkg-deb -f "$deb" Version)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
dpkg-deb -x "$deb" "$root"

echo "== desktop-file-validate =="
desktop-file-validate "$root"/usr/share/applications/*.desktop
echo "== appstreamcli validate =="
# No network: the screenshot and home page addresses are not fetched.
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
echo "== lintian =="
lintian --fail-on error --info "$deb"

echo "== the installed files =="
for file in usr/bin/kestrun usr/bin/kestrun-cli usr/bin/kestrun-sysinfo \
    usr/share/icons/hicolor/scalable/apps/kestrun.svg usr/share/icons/hicolor/48x48/apps/kestrun.png \
    usr/share/icons/hicolor/128x128/apps/kestrun.png usr/share/mime/packages/kestrun.xml \
    usr/share/man/man1/kestrun.1.gz usr/share/man/man1/kestrun-cli.1.gz \
    usr/share/kestrun/demo_dynamic.scs usr/share/kestrun/demo_dynamic.bin \
    usr/lib/x86_64-linux-gnu/wireshark/extcap/kestrun; do
    [ -f "$root/$file" ] || { echo "missing from the package: /$file" >&2; exit 1; }
done
echo "all there"

echo "== Wireshark =="
# tshark is offered, never required; the extcap entry reaches the packaged kestrun-cli.
dpkg-deb -f "$deb" Suggests | grep -qw tshark && ! dpkg-deb -f "$deb" Depends | grep -qw tshark ||
    { echo "the package must suggest tshark and not depend on it" >&2; exit 1; }
XDG_DATA_HOME="$scratch/data" "$root"/usr/lib/x86_64-linux-gnu/wireshark/extcap/kestrun --extcap-interfaces |
    grep -q "^extcap {version=" || { echo "the extcap entry does not answer" >&2; exit 1; }
echo "tshark suggested; the extcap entry answers"

echo "== the settings file type =="
# The shared MIME database made from the package's type alone maps ".scs" to it, and
# the desktop entry offers Kestrun for that type.
mkdir -p "$scratch/mime/packages"
cp "$root"/usr/share/mime/packages/kestrun.xml "$scratch/mime/packages/"
update-mime-database "$scratch/mime" 2>/dev/null
grep -qxF "50:application/x-kestrun-settings:*.scs" "$scratch/mime/globs2" &&
    grep -qxF "MimeType=application/x-kestrun-settings;" "$root"/usr/share/applications/*.desktop ||
    { echo "\".scs\" is not application/x-kestrun-settings, or Kestrun is not offered for it" >&2; exit 1; }
echo ".scs: application/x-kestrun-settings, opened by Kestrun"

echo "== the unpacked programs =="
# Run as a user would: no display, no build tree, the files in a home of their own.
export XDG_DATA_HOME="$scratch/data"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM KESTRUN_HOME
bin="$root/usr/bin"
expect() {  # expect TEXT COMMAND...: the command succeeds and prints exactly TEXT
    local got
    got=$("${@:2}")
    [ "$got" = "$1" ] || { printf 'expected "%s" from %s, got "%s"\n' "$1" "${*:2}" >&2; exit 1; }
    echo "$got"
}
expect "kestrun-cli $version" "$bin/kestrun-cli" --version
expect "kestrun $version" "$bin/kestrun" --version
samples="$root/usr/share/kestrun"
"$bin/kestrun-cli" replay --settings "$samples/demo_dynamic.scs" --input "$samples/demo_dynamic.bin" \
    --out "$scratch/logs" --json >"$scratch/replay.json"
cat "$scratch/replay.json"
grep -Eq '"start_triggers": ?100,' "$scratch/replay.json" || { echo "the replay did not find 100 frames" >&2; exit 1; }
# The simulator names the installed settings that fit its frames.
"$bin/kestrun-cli" simulate --port 97 --duration 0.2 >"$scratch/simulate.txt"
cat "$scratch/simulate.txt"
grep -qxF "Fitting settings: $samples/demo_dynamic.scs" "$scratch/simulate.txt" ||
    { echo "the simulator does not point at the installed samples" >&2; exit 1; }
echo "package checks passed"
