# Shared by the benchmark scripts: sourced, not run. Set bench_name before sourcing.

bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

bench_fail() {
  echo "${bench_name:-bench}: $*" >&2
  exit 1
}

# The build folder: BUILD_DIR, default "build", a relative name taken from the repository root.
bench_build_dir() {
  local dir=${BUILD_DIR:-build}
  case $dir in
    /*) echo "$dir" ;;
    *) echo "$bench_root/$dir" ;;
  esac
}

bench_require_gnu_time() {
  /usr/bin/time --version 2>&1 | grep -q "GNU" ||
    bench_fail "GNU time (/usr/bin/time) is missing; install the Debian package: apt-get install time"
}

# Sets work to WORK_DIR (made when missing, kept afterwards) or to a temporary folder that is
# removed when the script ends.
bench_work_dir() {
  if [ -n "${WORK_DIR:-}" ]; then
    work=$WORK_DIR
    mkdir -p "$work"
  else
    work=$(mktemp -d "${TMPDIR:-/tmp}/quillo-bench-XXXXXX")
    trap 'rm -rf "$work"' EXIT
  fi
}

# Runs a program under GNU time with its output in $2; appends "wall cpu rss" (s, s, KiB) to
# the figures file $1.
bench_measure() {
  local figures=$1 log=$2
  shift 2
  local timing
  timing=$(mktemp)
  if ! /usr/bin/time -f "%e %U %S %M" -o "$timing" "$@" >"$log" 2>&1; then
    tail -n 5 "$log" >&2
    rm -f "$timing"
    bench_fail "this run failed: $*"
  fi
  awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }' "$timing" >>"$figures"
  rm -f "$timing"
}

# The median of column $2 of the figures file $1.
bench_median() {
  awk -v column="$2" '{ print $column }' "$1" | sort -g | awk '{ value[NR] = $1 }
    END { print value[int((NR + 1) / 2)] }'
}
