#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/debian-packages.txt that are
# missing. Non-interactive and idempotent: with everything present it only checks.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "Not a Debian system: install the packages named in docs/macos.md (Homebrew) or your distribution's equivalents of $here/debian-packages.txt."
  exit 0
fi
# A line "name --no-install-recommends" is installed without its
# recommendations (the desktops' shells would pull in whole sessions).
missing=()
lean=()
while read -r pkg option; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    if [ "$option" = --no-install-recommends ]; then lean+=("$pkg"); else missing+=("$pkg"); fi
  fi
done < <(grep -v -E '^\s*(#|$)' "$here/debian-packages.txt")
if [ $((${#missing[@]} + ${#lean[@]})) -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]} ${lean[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# Wait for another apt or an unattended upgrade to finish rather than failing.
apt=(apt-get -o DPkg::Lock::Timeout=600)
"${as_root[@]}" "${apt[@]}" update -qq
[ ${#missing[@]} -eq 0 ] || "${as_root[@]}" "${apt[@]}" install -y -qq "${missing[@]}"
[ ${#lean[@]} -eq 0 ] || "${as_root[@]}" "${apt[@]}" install -y -qq --no-install-recommends "${lean[@]}"
