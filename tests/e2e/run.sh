#!/usr/bin/env bash
# Browser tests of the playground: installs Debian's Chromium and playwright-core when they are
# missing, then runs the tests against PROGRAM (the tessary-code binary). Screenshots go to
# SCREENSHOTS. Where the browser or the package cannot be had, says so and skips (exit 0). With
# --bench, runs the browser benchmark instead, on effects GENERATOR makes.
# Usage: tests/e2e/run.sh PROGRAM SCREENSHOTS [--bench GENERATOR]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
install="$here/../../scripts/install-deps.sh"
program="$(realpath "$1")" screenshots="$(realpath -m "$2")" generator="${4:+$(realpath "$4")}"
skip() { echo "skipped: $*"; exit 0; }

[ -x /usr/bin/chromium ] || "$install" chromium >/dev/null 2>&1 || skip "Debian's chromium cannot be installed here"
{ command -v node && command -v npm; } >/dev/null || "$install" nodejs npm >/dev/null 2>&1 ||
  skip "node and npm cannot be installed here"
[ "$(node -p 'process.versions.node.split(".")[0]')" -ge 20 ] ||
  skip "the tests need node 20 or later (found $(node --version))"
[ -d "$here/node_modules/playwright-core" ] || (cd "$here" && npm ci --no-audit --no-fund >/dev/null 2>&1) ||
  skip "playwright-core cannot be installed from npm"

cd "$here"
[ "${3:-}" = --bench ] && exec node bench.mjs "$program" "$generator"
TESSARY_CODE="$program" TESSARY_E2E_SCREENSHOTS="$screenshots" node --test playground.test.mjs
