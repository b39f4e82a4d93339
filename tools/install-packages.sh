#!/bin/sh
# Installs the Debian packages that building, running and testing the tool
# set need, when any is missing: with apt-get as root, through sudo
# otherwise; without either it names what is missing and fails. chromium
# renders the web site in its test; gnuplot-nox draws the plots; nginx-light
# fronts two respdb serve instances in their test, and wrk loads them in
# bench/respdb_serve.py; help2man makes the manual pages of the programs
# built on CLI11.
set -eu
packages="cmake g++ make dpkg-dev python3 sqlite3 libsqlite3-dev libsoci-dev libboost-dev libpq-dev
  postgresql googletest libgtest-dev libcli11-dev libxml2-dev libxml2-utils gnuplot-nox
  chromium nginx-light wrk help2man"
missing=""
for p in $packages; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" = 0 ]; then
  as_root=""
elif command -v sudo >/dev/null 2>&1; then
  as_root="sudo"
else
  echo "install-packages: missing Debian packages:$missing; run as root to install them" >&2
  exit 1
fi
echo "install-packages: installing$missing"
$as_root apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing >/dev/null
