#!/usr/bin/env bash
# Host cases that root cannot exercise: root reads a file whatever its
# permissions, so the unreadable-file case runs again as an unprivileged user.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ] || ! id nobody >/dev/null 2>&1; then
  echo "not root: the host tests above already ran these cases"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp build/host/tests/tst_externalcontenthandler "$work/"
mkdir "$work/home" && chown nobody "$work/home"
out=$(cd "$work" && runuser -u nobody -- env HOME="$work/home" XDG_RUNTIME_DIR="$work/home" \
  QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
  QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-}" \
  ./tst_externalcontenthandler refusesUnreadableFile 2>&1) || { echo "$out"; exit 1; }
if ! grep -q '^PASS   : TestExternalContentHandler::refusesUnreadableFile()' <<<"$out"; then
  echo "$out"
  echo "the unreadable-file case did not pass as an unprivileged user" >&2
  exit 1
fi
echo "unreadable file refused as an unprivileged user"
