#!/usr/bin/env bash
# Builds the Debian package and checks it as a user's machine meets it: valid
# desktop entry and AppStream metadata, exactly the expected files, and
# dependencies computed from the executable's libraries. The end-to-end test
# e2e/host/package.e2e.ts then starts the executable unpacked from it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target package
deb=$(ls build/corvane-ui_*_amd64.deb)

desktop-file-validate packaging/corvane-ui.desktop
appstreamcli validate --no-net packaging/corvane-ui.metainfo.xml

expected='./usr/bin/corvane-ui
./usr/share/applications/corvane-ui.desktop
./usr/share/icons/hicolor/scalable/apps/corvane-ui.svg
./usr/share/metainfo/io.github.corvane.corvane_ui.metainfo.xml'
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
if [ "$actual" != "$expected" ]; then
  printf 'unexpected package contents:\n%s\n' "$actual" >&2
  exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6webenginecore6 libqt6webenginecore6-bin libqt6webenginewidgets6 libqt6widgets6 \
  libpaho-mqtt1.3 libprotobuf32 libqt6multimedia6 libsodium23; do
  grep -q "\b$library\b" <<<"$depends" || { echo "missing dependency $library: $depends" >&2; exit 1; }
done

# The installed files validate in place as well.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/corvane-ui.desktop"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.xml
# Read whole before matching: grep -q stops early, which would end the program with SIGPIPE.
version=$("$root/usr/bin/corvane-ui" --version)
grep -qx "corvane-ui $(dpkg-deb -f "$deb" Version)" <<<"$version"
help=$("$root/usr/bin/corvane-ui" --help)
grep -q -- "--version" <<<"$help"
echo "package $deb checked"
