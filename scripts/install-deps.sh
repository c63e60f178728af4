#!/bin/sh
# Installs the packages of the named sections of scripts/packages.txt that are missing; does
# nothing when all are there.
#   sh scripts/install-deps.sh SECTION...     (sections: run test fuzz bench package windows, or all)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
list="$here/packages.txt"
if [ $# -eq 0 ]; then
  echo "usage: sh scripts/install-deps.sh SECTION... (or all)" >&2
  exit 2
fi
known=$(sed -n 's/^\[\([a-z]*\)\][[:space:]]*$/\1/p' "$list")
for section in "$@"; do
  [ "$section" = all ] && continue
  case " $(echo $known) " in
    *" $section "*) ;;
    *) echo "install-deps: no section '$section' in $list (sections: $(echo $known))" >&2; exit 2 ;;
  esac
done
# The packages of the sections asked for, comments and blank lines dropped.
packages=$(awk -v wanted=" $* " '
  /^[[:space:]]*(#|$)/ { next }
  /^\[[a-z]+\][[:space:]]*$/ { name = substr($1, 2, length($1) - 2); on = (wanted ~ " all ") || index(wanted, " " name " ") > 0; next }
  on { print $1 }' "$list")
missing=""
for pkg in $packages; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  case "$status" in
    *" installed") ;;
    *) missing="$missing $pkg" ;;
  esac
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages:$missing (run as root to install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing
