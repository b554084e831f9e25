#!/usr/bin/env bash
# The Debian package end to end: built by scripts/package.sh, unpacked into a
# scratch root, its files checked, its programs run from there, the desktop
# entry and the units validated, and a headless run under the service's own
# command killed with SIGKILL and brought back regulating.
#   package_test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2
rm -rf "$work"
mkdir -p "$work/run"
chmod 700 "$work/run"

pid=
cleanup() { if [ -n "$pid" ]; then kill -9 "$pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# --- the package -----------------------------------------------------------
# A fixed time: every file and archive member must carry it.
epoch=1700000000
deb=$src/$(SOURCE_DATE_EPOCH=$epoch "$src/scripts/package.sh" | tail -n 1)
[ -f "$deb" ] || fail "scripts/package.sh left no package"
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "vorta_${version}_amd64.deb" ] || fail "package name $(basename "$deb")"
dbgsym=$(dirname "$deb")/vorta-dbgsym_${version}_amd64.ddeb
[ -f "$dbgsym" ] || fail "no debug-symbol package beside the package"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6core6* ]] || fail "no library dependencies"
for p in "$deb" "$dbgsym"; do
  lintian "$p" >"$work/lintian.txt" 2>&1 || true
  cat "$work/lintian.txt"
  if grep -q '^[EW]:' "$work/lintian.txt"; then fail "lintian: $(basename "$p")"; fi
  times=$( (TZ=UTC ar tv "$p" | awk '{print $4, $5, $6, $7}'
    for part in --ctrl-tarfile --fsys-tarfile; do
      dpkg-deb "$part" "$p" | TZ=UTC tar tv --full-time | awk '{print $4, $5}'
    done) | sort -u | tr '\n' '|')
  expected=$( (date -u -d "@$epoch" '+%b %e %H:%M %Y' | tr -s ' '
    date -u -d "@$epoch" '+%F %T') | sort -u | tr '\n' '|')
  [ "$times" = "$expected" ] || fail "file times in $(basename "$p") are not SOURCE_DATE_EPOCH: $times"
done

# Installed without Recommends, the windows still open: every plugin they load
# without linking it comes with what the package depends on.
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
  --no-replaces --no-enhances $(sed 's/([^)]*)//g; s/,/ /g; s/|/ /g' <<<"$depends") |
  grep -v '^ ' | sort -u)
for plugin in platforms/libqxcb.so imageformats/libqjpeg.so; do
  owner=$(dpkg -S "*/qt6/plugins/$plugin" | head -n 1 | cut -d: -f1)
  grep -qx "$owner" <<<"$closure" || fail "$owner ($plugin) is only recommended, not depended on"
done

root=$work/root
dpkg -x "$deb" "$root"
for f in usr/bin/vorta usr/bin/vorta-sim usr/share/applications/vorta.desktop \
  usr/share/icons/hicolor/scalable/apps/vorta.svg lib/systemd/system/vorta@.service \
  usr/lib/systemd/user/vorta@.service lib/udev/rules.d/60-vorta-ftdi.rules \
  usr/share/man/man1/vorta.1.gz usr/share/man/man1/vorta-sim.1.gz \
  usr/share/doc/vorta/copyright usr/share/doc/vorta/changelog.gz \
  usr/share/bash-completion/completions/vorta; do
  [ -s "$root/$f" ] || fail "missing /$f"
done
bash -c 'source "$1" && complete -p vorta' _ "$root/usr/share/bash-completion/completions/vorta" \
  >/dev/null || fail "the bash completion does not load"
head -n 1 "$root/usr/share/doc/vorta/copyright" | grep -q '^Format: .*copyright-format/1.0/' ||
  fail "the copyright file is not machine-readable"
zcat "$root/usr/share/doc/vorta/changelog.gz" | grep -q "$(date -u -d "@$epoch" -R)" ||
  fail "the changelog is not dated SOURCE_DATE_EPOCH"

# A crash of the service can be read: each program's build id names its
# debugging information in the debug-symbol package; the programs are stripped.
dpkg -x "$dbgsym" "$work/dbgsym"
for prog in vorta vorta-sim; do
  id=$(readelf -n "$root/usr/bin/$prog" | sed -n 's/.*Build ID: //p')
  debug=$work/dbgsym/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug
  [ -f "$debug" ] || fail "no debugging information for $prog (build id $id)"
  readelf -S "$debug" | grep -q '\.debug_info' || fail "$debug has no .debug_info"
  if readelf -S "$root/usr/bin/$prog" | grep -q '\.debug_info'; then fail "$prog is not stripped"; fi
done
for size in 16 32 48 64 128 256; do
  kind=$(file "$root/usr/share/icons/hicolor/${size}x${size}/apps/vorta.png")
  [[ $kind == *"PNG image data, $size x $size,"* ]] || fail "no ${size}x${size} icon"
done
grep -q 'latency_timer}="1"' "$root/lib/udev/rules.d/60-vorta-ftdi.rules" ||
  fail "the udev rule does not set the latency timer"

# --- the programs from the scratch root ------------------------------------
vorta=$root/usr/bin/vorta
export XDG_RUNTIME_DIR=$work/run
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_DATA_HOME
[ "$("$vorta" --version)" = "vorta $version" ] || fail "vorta --version"
[ "$("$root/usr/bin/vorta-sim" --version)" = "vorta-sim $version" ] || fail "vorta-sim --version"
grep -aq 'Сборка Release' "$vorta" || fail "the version block is not a release build's"

# Every option --help lists is in the manual page.
for prog in vorta vorta-sim; do
  page=$(zcat "$root/usr/share/man/man1/$prog.1.gz" | sed 's/\\-/-/g')
  for opt in $("$root/usr/bin/$prog" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$opt" <<<"$page" || fail "$prog(1) does not describe $opt"
  done
done

"$vorta" --demo --folder "$work/trial" --fast-forward 2 >"$work/trial.out" 2>&1 ||
  fail "fast-forward on the demo: $(tail -n 5 "$work/trial.out")"
[ "$(wc -l <"$work/trial/Protocol1.txt")" -ge 3 ] || fail "fast-forward left no data log"

# Started as from the menu: no --folder, the user's data folder gets the demo.
HOME=$work/home "$vorta" --fast-forward 0.05 >"$work/menu.out" 2>&1 ||
  fail "first start without --folder: $(tail -n 5 "$work/menu.out")"
grep -q "prepared the demo in $work/home/.local/share/vorta" "$work/menu.out" ||
  fail "first start does not say where the files are: $(head -n 3 "$work/menu.out")"
[ -f "$work/home/.local/share/vorta/Vorta.ini" ] || fail "no demo in the user's data folder"

# --- desktop entry and units -----------------------------------------------
desktop=$root/usr/share/applications/vorta.desktop
msg=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$msg" ] || fail "desktop entry: $msg"
[ -x "$root/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")" ] || fail "Exec is not installed"
[ -f "$root/usr/share/icons/hicolor/48x48/apps/$(sed -n 's/^Icon=//p' "$desktop").png" ] ||
  fail "Icon is not installed"

# The system unit in the scratch root, beside the host's own units it refers to.
cp -n -a /lib/systemd/system/. "$root/lib/systemd/system/" 2>/dev/null || true
msg=$(systemd-analyze --root="$root" --man=no verify vorta@lab1.service 2>&1) && [ -z "$msg" ] ||
  fail "system unit: $msg"
# The confinement as systemd rates it (0 best, 10 worst): 2.0 at most.
systemd-analyze security --offline=true --threshold=20 "$root/lib/systemd/system/vorta@.service" \
  >"$work/security.txt" 2>&1 || fail "system unit: $(tail -n 1 "$work/security.txt")"
# The user unit: --root is for system units only, so a copy names the unpacked program.
mkdir -p "$work/user-unit"
sed "s|/usr/bin/vorta|$vorta|" "$root/usr/lib/systemd/user/vorta@.service" \
  >"$work/user-unit/vorta@lab1.service"
msg=$(systemd-analyze --user --man=no verify "$work/user-unit/vorta@lab1.service" 2>&1) &&
  [ -z "$msg" ] || fail "user unit: $msg"

# --- a killed service comes back regulating ---------------------------------
# The unit's ExecStart for instance lab1, with /var/lib/vorta and /usr/bin in the scratch dirs.
exec_start=$(sed -n 's/^ExecStart=//p' "$root/lib/systemd/system/vorta@.service")
exec_start=${exec_start//%i/lab1}
exec_start=${exec_start//\/var\/lib\/vorta/$work\/var\/lib\/vorta}
exec_start=${exec_start/\/usr\/bin\/vorta/$vorta}
read -r -a service <<<"$exec_start"
folder=$work/var/lib/vorta/lab1

# The operator's first run puts the demo vessels into batch mode; each data log
# gets its first row at the next minute.
"$vorta" --demo --headless --folder "$folder" >"$work/first.out" 2>&1 &
pid=$!
for _ in $(seq 1 150); do
  rows=$( (cat "$folder"/Protocol*.txt 2>/dev/null || true) | wc -l)
  [ "$rows" -ge 8 ] && break
  sleep 1
done
[ "$rows" -ge 8 ] || fail "no data log rows after 150 s: $(tail -n 3 "$work/first.out")"
kill -9 "$pid"
wait "$pid" 2>/dev/null || true

# Two crashes in a row: each restart must find every vessel in batch mode, measuring.
for round in 1 2; do
  out=$work/service$round.out
  "${service[@]}" >"$out" 2>"$work/service$round.err" &
  pid=$!
  ok=0
  for _ in $(seq 1 60); do
    sleep 1
    last=$(tail -n 4 "$out")
    if [ "$(grep -c '| Batch | Net OK' <<<"$last")" -eq 4 ] && ! grep -q 'pH 0.00/' <<<"$last"; then
      ok=1
      break
    fi
  done
  [ "$ok" -eq 1 ] || fail "restart $round after SIGKILL is not regulating: $(tail -n 4 "$out")"
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
done

# systemctl stop sends SIGTERM: an orderly end that keeps every vessel's mode.
"${service[@]}" >"$work/stop.out" 2>&1 &
pid=$!
sleep 3
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "SIGTERM ended the service with status $status"
[ "$(grep -c '^KeptMode=[0-3]' "$folder"/Process*.ini | awk -F: '{s+=$2} END {print s}')" -eq 4 ] ||
  fail "SIGTERM did not keep every vessel's mode"
tail -n 1 "$folder/VortaJournal.txt" | grep -q 'Завершение программы' ||
  fail "SIGTERM did not end the run in order"

# Run from /usr/bin, as root even, the programs write nothing beside themselves.
left=$(ls "$root/usr/bin" | tr '\n' ' ')
[ "$left" = "vorta vorta-sim " ] || fail "usr/bin holds $left"

"$src/tests/packaging/install_test.sh" "$deb" "$work/install"

echo "package: $(basename "$deb") checked"
