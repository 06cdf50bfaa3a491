# Sourced by bench/run.sh and bench/profile.sh: installs what is missing,
# builds the benchmark with optimisation in build-bench/, and starts an Xvfb
# display of its own, ended on exit. Extra Debian packages may be listed in
# bench_packages before sourcing.
cd "$(dirname "${BASH_SOURCE[0]}")/.."

tools/install-deps.sh pkg-config libxcb1-dev xvfb "${bench_packages[@]}"
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVEX_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target kalvex-bench rs232-kalvex kalvex-sim >/dev/null

work=$(mktemp -d)
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$work
