#!/usr/bin/env bash
# Installs whatever Debian packages from deps/debian-packages.txt are missing.
# Installing needs root: run as root, or have sudo (you will be asked for
# your password).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

mapfile -t wanted < <(sed -e 's/#.*//' "$root/deps/debian-packages.txt" | tr -s ' \t' '\n' | sed '/^$/d')
missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  elif [ ${#missing[@]} -gt 0 ]; then
    echo "setup: these packages are missing and installing them needs root (or sudo):" >&2
    echo "  ${missing[*]}" >&2
    exit 1
  fi
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  [ ${#as_root[@]} -gt 0 ] && echo "setup: installing needs root; using sudo"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi

# The number-format tests switch to a locale that writes a decimal comma.
if ! locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; then
  "${as_root[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 2>/dev/null ||
    echo "setup: could not generate de_DE.UTF-8; the decimal-comma tests will be skipped" >&2
fi
