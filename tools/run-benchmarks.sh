#!/usr/bin/env bash
# Builds an optimised copy of the engine in build-release/ and runs every side-by-side
# benchmark: the grid fill, the form builder, dictionaries and record load/save, start-up, and
# the report to PDF with each export. Every benchmark prints, besides its own output, lines
#   RATIO|<what>|<floor>|<measured ms or MB>|<floor ms or MB>|<ratio>|<target>
# and one table is made of those lines alone, every row over its target marked, so that a
# change that slows something down shows in one command. The full output of each benchmark
# is kept in build-release/benchmarks.log.
#
# Usage: tools/run-benchmarks.sh [--no-build] [BENCHMARK...]
#   BENCHMARK: grid, forms, actions, startup, report (default: all of them)
# The grid's database of a million rows is made once, in build-release/bench-data/.
set -euo pipefail
cd "$(dirname "$0")/.."

build=1
if [ "${1:-}" = "--no-build" ]; then
    build=0
    shift
fi
selected=("$@")
if [ ${#selected[@]} -eq 0 ]; then
    selected=(grid forms actions startup report)
fi

# Google Benchmark and Qt's form loader are what the side-by-side runs need beyond the
# engine's own build; tools/setup.sh installs both, a bare machine gets them here.
if ! command -v cmake >/dev/null || ! dpkg -s libbenchmark-dev qt6-tools-dev >/dev/null 2>&1; then
    tools/apt-install.sh cmake make g++ pkg-config libbenchmark-dev qt6-tools-dev
fi

dir=build-release
if [ "$build" = 1 ]; then
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
        -DVARNEL_BUILD_TESTS=OFF -DVARNEL_BUILD_BENCH=ON >/dev/null
    # One benchmark at a time: one that does not build leaves the others to run, and an old
    # copy of it is removed rather than measured.
    for name in "${selected[@]}"; do
        if ! cmake --build "$dir" -j"$(nproc)" --target "${name}_bench"; then
            echo "${name}_bench did not build; the other benchmarks still run" >&2
            rm -f "$dir/bench/${name}_bench"
        fi
    done
fi

export QT_QPA_PLATFORM=offscreen
log="$dir/benchmarks.log"
: >"$log"
: >"$dir/benchmarks.stderr"
mkdir -p "$dir/bench-data"

run() {
    local name=$1
    shift
    echo "== $name" | tee -a "$log"
    if [ ! -x "$dir/bench/${name}_bench" ]; then
        echo "$dir/bench/${name}_bench was not built" | tee -a "$log"
        return
    fi
    # Built without the benchmark library or the form loader, a benchmark is simply missing;
    # one that fails still leaves the others to run.
    # What the toolkit says on the error stream goes to the log only.
    (cd "$dir/bench" && "./${name}_bench" "$@" 2>>"../benchmarks.stderr") | tee -a "$log" \
        || echo "${name}_bench failed (see $dir/benchmarks.stderr)" | tee -a "$log"
}

for name in "${selected[@]}"; do
    case "$name" in
    grid) run grid --no-server "$PWD/$dir/bench-data" ;;
    forms) run forms --ratios ;;
    actions) run actions --ratios ;;
    startup) run startup --ratios ;;
    report) run report ;;
    *) echo "unknown benchmark: $name (grid, forms, actions, startup, report)" >&2 ;;
    esac
done

echo
grep '^RATIO|' "$log" | awk -F'|' '
    function over(ratio, target) { return target ~ /^[0-9.]+$/ && ratio + 0 > target + 0 }
    {
        rows++
        what[rows] = $2; floor[rows] = $3; measured[rows] = $4; floorValue[rows] = $5
        ratio[rows] = $6; target[rows] = $7
        if (length($2) > wWhat) wWhat = length($2)
        if (length($3) > wFloor) wFloor = length($3)
    }
    END {
        if (rows == 0) { print "no benchmark printed a ratio"; exit 1 }
        if (wWhat < 4) wWhat = 4
        if (wFloor < 5) wFloor = 5
        format = "%-" wWhat "s  %-" wFloor "s  %10s  %10s  %6s  %7s  %s\n"
        printf format, "what", "floor", "measured", "floor", "ratio", "target", ""
        failed = 0
        for (i = 1; i <= rows; i++) {
            mark = ""
            if (over(ratio[i], target[i])) { mark = "<< OVER TARGET"; failed++ }
            printf format, what[i], floor[i], measured[i], floorValue[i], ratio[i], \
                (target[i] ~ /^[0-9.]+$/ ? "<= " target[i] : target[i]), mark
        }
        printf "\n%d of %d rows over their target (measured and floor in ms, or MB for memory)\n", failed, rows
    }'
