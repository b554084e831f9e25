#!/usr/bin/env bash
# The operator's texts in translations/*.ts, kept in step with the sources.
#   scripts/translations.sh update   rewrite the .ts files from the sources
#   scripts/translations.sh check    fail when an English text is missing, a
#                                    text no source uses is kept, or the
#                                    sources have changed since the last update
# (ctest runs the check; a build never rewrites the .ts files.)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
LUPDATE=${LUPDATE:-$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)}
dirs=(app can charts commands devices journal platform process telemetry windows)
options=(-locations none -source-language ru_RU -extensions cpp,h -silent -I "$root")

# English takes every text; Russian, the source language, only the plural forms.
run_lupdate() {  # folder with the .ts files to update, extra options...
  local out=$1
  shift
  (cd "$root" && "$LUPDATE" "${dirs[@]/#/$root/}" "${options[@]}" "$@" -ts "$out/vorta_en.ts" \
    >/dev/null && "$LUPDATE" "${dirs[@]/#/$root/}" "${options[@]}" "$@" -pluralonly \
    -ts "$out/vorta_ru.ts" >/dev/null)
}

case "${1:-}" in
  update)
    run_lupdate "$root/translations" -no-obsolete
    ;;
  check)
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    cp "$root"/translations/vorta_{en,ru}.ts "$tmp/"
    run_lupdate "$tmp"
    status=0
    for ts in vorta_en.ts vorta_ru.ts; do
      if grep -n 'type="unfinished"' "$tmp/$ts" >/dev/null; then
        echo "translations/$ts: no translation for:" >&2
        grep -B3 'type="unfinished"' "$tmp/$ts" | grep '<source>' >&2
        status=1
      fi
    done
    for ts in vorta_en.ts vorta_ru.ts; do
      if grep -E 'type="(vanished|obsolete)"' "$tmp/$ts" >/dev/null; then
        echo "translations/$ts: kept for texts no source uses any more:" >&2
        grep -B3 -E 'type="(vanished|obsolete)"' "$tmp/$ts" | grep '<source>' >&2
        status=1
      fi
      if ! cmp -s "$tmp/$ts" "$root/translations/$ts"; then
        echo "translations/$ts is older than the sources; run scripts/translations.sh update:" >&2
        diff -u "$root/translations/$ts" "$tmp/$ts" | head -40 >&2 || true
        status=1
      fi
    done
    exit $status
    ;;
  *)
    echo "usage: $0 update|check" >&2
    exit 2
    ;;
esac
