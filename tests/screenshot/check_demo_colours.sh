#!/usr/bin/env bash
# Renders the demo effect's snippet as HTML in headless Chromium and checks that the picture shows
# the snippet's colours: background, plain text, keywords, strings, types and members, numbers
# and comments. The screenshot stays in build/screenshots/ for a person to look at.
set -euo pipefail
cd "$(dirname "$0")/../.."
program=${1:-build/tessary-code} out=build/screenshots
mkdir -p "$out"
if ! command -v chromium >/dev/null 2>&1; then
  ./scripts/install-deps.sh chromium >/dev/null 2>&1 && command -v chromium >/dev/null ||
    { echo "skipped: Chromium is not installed and could not be installed"; exit 0; }
fi

"$program" build --platform macos --format html --text-size 24 -o "$out/demo.html"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --hide-scrollbars --user-data-dir="$profile" --window-size=1400,2200 \
  --screenshot="$PWD/$out/demo.png" "file://$PWD/$out/demo.html" >/dev/null 2>&1
python3 tests/screenshot/png_colours.py "$out/demo.png" background=31,31,31 plain=255,255,255 \
  keyword=198,44,157 string=219,44,56 type=20,180,210 number=140,139,196 comment=85,202,89
echo "screenshot: $out/demo.png"
