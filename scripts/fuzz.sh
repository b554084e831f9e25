#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 into build-fuzz/ and runs each
# fuzz_* target briefly. Exits non-zero when a target finds something.
# Skipped (exit 0) where clang++-14 is not installed.
#   --long              run each target for FUZZ_LONG_RUNS runs instead
#   FUZZ_TOTAL_SECONDS  time shared by all targets (default 60, at least 10 each)
#   FUZZ_LONG_RUNS      runs per target with --long (default 10000000)
#   FUZZ_BUILD_DIR      build folder (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

long=0
case "${1-}" in
  "") ;;
  --long) long=1 ;;
  *) echo "usage: $0 [--long]" >&2; exit 2 ;;
esac

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

if [ "$long" -eq 1 ]; then
  # A long run is meant to be niced on a busy machine, where one input may
  # wait for a processor far longer than it takes: only a real hang times out.
  bound=(-runs="${FUZZ_LONG_RUNS:-10000000}" -timeout=120)
else
  total=${FUZZ_TOTAL_SECONDS:-60}
  each=$(( total / ${#targets[@]} ))
  [ "$each" -ge 10 ] || each=10
  bound=(-max_total_time="$each" -timeout=10)
fi

status=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  corpus="$dir/corpus/$name"
  artifacts="$dir/artifacts/$name/"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
  log="$dir/$name.log"
  if "$target" "${bound[@]}" -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    done_line=$(grep -E '^Done [0-9]+ runs' "$log" | tail -n 1 || true)
    rss=$(grep -o 'peak_rss_mb: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n 1 || true)
    echo "fuzz: $name clean (${done_line:-no summary}; peak rss ${rss:-?} MB)"
  else
    echo "fuzz: $name FOUND A PROBLEM (inputs in $artifacts)"
    tail -n 60 "$log"
    status=1
  fi
done
exit $status
