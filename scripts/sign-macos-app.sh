#!/usr/bin/env bash
# Ad-hoc signature for a Kestrine.app built on this Mac, for local use: macOS
# runs it without a developer certificate, and a copy carried to another Mac
# is still stopped by Gatekeeper (docs/macos.md, "Signing").
#
#   scripts/sign-macos-app.sh [APP]    default: build/release/src/platform/macos/Kestrine.app
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
app="${1:-$root/build/release/src/platform/macos/Kestrine.app}"

die() {
  echo "sign-macos-app: $*" >&2
  exit 2
}

[ "$(uname -s)" = Darwin ] || die "codesign exists only on macOS"
command -v codesign >/dev/null 2>&1 || die "codesign not found (xcode-select --install)"
[ -d "$app/Contents/MacOS" ] || die "no application bundle at $app (build it first: make sign)"

# "-" is the ad-hoc identity; --force replaces the linker's own ad-hoc signature.
codesign --force --deep --sign - "$app"
codesign --verify --deep --strict --verbose=2 "$app"
