#!/usr/bin/env bash
# The browser view's two libraries, vendored as released files in web/vendor/.
#
#   scripts/web-vendor.sh          check the files against web/vendor/SHA256SUMS
#   scripts/web-vendor.sh --fetch  fetch them again with `npm pack` (the npm
#                                  registry), check each package's integrity
#                                  against the one recorded here, unpack the
#                                  files, then check them as above
set -euo pipefail
cd "$(dirname "$0")/../web/vendor"

# package@version, its published integrity, the folder, the files it gives.
packages=(
  "mqtt@5.16.0|sha512-G0VsEtuJz5sJUgZJaaADMVfW7SIFPzkIuHR+d6rk+tBeSwdCfd9BaIRycRfd2AbyFDEmLlFM+SDQeti/+IbOnw==|mqtt-5.16.0|dist/mqtt.min.js LICENSE.md"
  "uplot@1.6.32|sha512-KIMVnG68zvu5XXUbC4LQEPnhwOxBuLyW1AHtpm6IKTXImkbLgkMy+jabjLgSLMasNuGGzQm/ep3tOkyTxpiQIw==|uplot-1.6.32|dist/uPlot.iife.min.js dist/uPlot.min.css LICENSE"
)

if [ "${1:-}" = "--fetch" ]; then
  command -v npm >/dev/null || { echo "web-vendor: npm is needed to fetch (apt-get install npm)" >&2; exit 1; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  for entry in "${packages[@]}"; do
    IFS='|' read -r package integrity folder files <<<"$entry"
    tarball=$(cd "$work" && npm pack --silent "$package")
    got="sha512-$(openssl dgst -sha512 -binary "$work/$tarball" | base64 -w0)"
    if [ "$got" != "$integrity" ]; then
      echo "web-vendor: $package does not match its published integrity" >&2
      exit 1
    fi
    mkdir -p "$work/${folder}" "$folder"
    tar -xzf "$work/$tarball" -C "$work/$folder"
    for f in $files; do cp "$work/$folder/package/$f" "$folder/"; done
    echo "web-vendor: $package -> web/vendor/$folder"
  done
fi

sha256sum --quiet -c SHA256SUMS
echo "web-vendor: every vendored file matches SHA256SUMS"
