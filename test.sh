#!/usr/bin/env bash
# Builds everything and runs every test suite: formatting and lint, module
# tests, host tests, the path-resolver fuzzer, the Debian package, browser
# tests of the built application and end-to-end tests of the real executable
# (the packaged one included).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

step() { printf '\n== %s\n' "$*"; }

step "Formatting and lint"
npx prettier --check .
npx eslint .
npx tsc -p tsconfig.json --noEmit
git ls-files -z -- 'host/*.h' 'host/*.cpp' | xargs -0 clang-format --dry-run --Werror

step "Module tests"
npx vitest run

step "Build"
scripts/build.sh

export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"

step "Host tests"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure)
scripts/unprivileged-tests.sh

step "Path resolver fuzzing"
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

step "Debian package"
scripts/check-package.sh

step "Browser and end-to-end tests"
xvfb-run -a -s '-screen 0 1400x900x24' npx vitest run -c vitest.e2e.config.ts

printf '\nAll test suites passed.\n'
