#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 into build-fuzz/ and runs each
# fuzz_* target briefly. Exits non-zero when a target finds something.
# Skipped (exit 0) where clang++-14 is not installed.
#   FUZZ_TOTAL_SECONDS  time shared by all targets (default 60, at least 10 each)
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++-14 >/dev/null 2>&1; then
  echo "fuzz: clang++-14 not installed, skipped"
  exit 0
fi

dir=${FUZZ_BUILD_DIR:-build-fuzz}
mkdir -p "$dir"
if [ ! -f "$dir/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORTA_FUZZ=ON -DVORTA_TESTS=OFF -DVORTA_BENCH=OFF >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log"; exit 1; }
fi
if ! cmake --build "$dir" -j2 --target vorta_fuzzers >"$dir/build.log" 2>&1; then
  tail -n 40 "$dir/build.log"
  exit 1
fi

mapfile -t targets < <(find "$dir/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets built"
  exit 1
fi

total=${FUZZ_TOTAL_SECONDS:-60}
each=$(( total / ${#targets[@]} ))
[ "$each" -ge 10 ] || each=10

status=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  corpus="$dir/corpus/$name"
  artifacts="$dir/artifacts/$name/"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
  log="$dir/$name.log"
  if "$target" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$artifacts" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -n 1 || true)
    echo "fuzz: $name clean (${runs:-no summary}, ${each} s)"
  else
    echo "fuzz: $name FOUND A PROBLEM (inputs in $artifacts)"
    tail -n 60 "$log"
    status=1
  fi
done
exit $status
