#!/usr/bin/env bash
# The package installed for real by dpkg: the install and a reinstall print
# nothing but dpkg's own lines, the service's folder belongs to the user vorta
# and is closed to others, and a purge disables the service's instances but
# keeps the labs' folders. It changes the machine, so it runs only as root
# where neither the package nor its user are there yet (a CI machine), and
# takes away what it made.
#   install_test.sh DEB WORK_DIR
set -euo pipefail
deb=$1
work=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
skip() {
  echo "install: skipped, $*"
  exit 0
}
[ "$(id -u)" -eq 0 ] || skip "not root"
! dpkg-query -W vorta >/dev/null 2>&1 || skip "vorta is installed"
! getent passwd vorta >/dev/null || skip "the user vorta exists"
[ ! -e /var/lib/vorta ] || skip "/var/lib/vorta exists"

link=/etc/systemd/system/multi-user.target.wants/vorta@lab1.service
cleanup() {
  dpkg --purge vorta >/dev/null 2>&1 || true
  rm -f "$link"
  deluser --system vorta >/dev/null 2>&1 || true
  delgroup --system vorta >/dev/null 2>&1 || true
  rm -rf /var/lib/vorta
}
trap cleanup EXIT
mkdir -p "$work"

# Whatever is not one of dpkg's own lines came from the package's scripts.
run_quietly() {
  local what=$1
  shift
  "$@" >"$work/$what.out" 2>&1 || fail "$what: $(cat "$work/$what.out")"
  local extra
  extra=$(grep -vE '^(Selecting previously unselected package vorta\.|\(Reading database \.\.\. |Preparing to unpack |Unpacking vorta |Setting up vorta |Removing vorta |Purging configuration files for vorta |Processing triggers for )' \
    "$work/$what.out" || true)
  [ -z "$extra" ] || fail "the $what printed: $extra"
}

run_quietly install dpkg -i "$deb"
run_quietly reinstall dpkg -i "$deb"
[ "$(stat -c '%U %G %a' /var/lib/vorta)" = "vorta vorta 711" ] ||
  fail "/var/lib/vorta is $(stat -c '%U %G %a' /var/lib/vorta)"
# Where bash-completion finds it when `vorta` is first completed.
[ -s /usr/share/bash-completion/completions/vorta ] || fail "no bash completion for vorta"
if getent group dialout >/dev/null; then
  id -nG vorta | grep -qw dialout || fail "vorta is not in dialout"
fi

# A lab's folder and an enabled instance: the purge takes the instance's link only.
install -d -o vorta -g vorta /var/lib/vorta/lab1
printf '[Processes]\r\n' >/var/lib/vorta/lab1/Vorta.ini
systemctl enable vorta@lab1.service >/dev/null 2>&1 || fail "systemctl enable vorta@lab1"
[ -L "$link" ] || fail "systemctl enable made no $link"
run_quietly purge dpkg --purge vorta
if [ -L "$link" ]; then fail "the purge left vorta@lab1 enabled"; fi
[ -f /var/lib/vorta/lab1/Vorta.ini ] || fail "the purge took the lab's folder"
echo "install: quiet, folders kept"
