#!/usr/bin/env bash
# Whole-process times and peak memory of domecast-cli against ffmpeg's v360 filter, in
# paired runs one after the other on the same pictures (made with ffmpeg's test source),
# and their ratios. Memory is the peak resident size per output pixel.
# usage: bench/compare_ffmpeg.sh [BUILD_DIR] [RUNS]   (defaults: build, 3)
# Each figure is the fastest of RUNS; the machine's load is printed before and after, since
# other work on the machine changes wall times (CPU times much less).
set -euo pipefail
build=${1:-build}
runs=${2:-3}
cli=$(realpath "$build/bin/domecast-cli")
[[ -x $cli ]] || { echo "no $cli: build domecast-cli first" >&2; exit 1; }

missing=()
command -v ffmpeg > /dev/null || missing+=(ffmpeg)
[[ -x /usr/bin/time ]] || missing+=(time)
if ((${#missing[@]})); then
  sudo=()
  [[ $(id -u) == 0 ]] || sudo=(sudo)
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" > /dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=4096x2048 -frames:v 1 equirect.png
# ffmpeg's cube of six 1024-pixel faces in a row, and Domecast's sky box of the same faces.
ffmpeg -loglevel error -i equirect.png -vf v360=e:c6x1:w=6144:h=1024 -frames:v 1 cube.png
"$cli" convert equirect.png sky_ft.png --quiet

# Prints "wall cpu kilobytes": seconds of the fastest of the runs (by wall time), and the
# largest peak resident size of any run.
timed() {
  local best="" peak=0
  for ((i = 0; i < runs; i++)); do
    local wall user sys kb
    read -r wall user sys kb < <(/usr/bin/time -f "%e %U %S %M" "$@" 2>&1 > /dev/null | tail -n 1)
    ((kb > peak)) && peak=$kb
    local line
    line=$(awk -v w="$wall" -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f %.3f", w, u + s }')
    if [[ -z $best ]] || awk -v a="${line%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then best=$line; fi
  done
  echo "$best $peak"
}

printf 'load before: %s\n' "$(uptime)"
printf '%-34s %9s %9s %9s %9s %7s %7s %8s %8s\n' case "dc wall" "dc cpu" "ff wall" "ff cpu" "wall x" "cpu x" \
  "dc B/px" "ff B/px"
compare() {
  local name=$1 pixels=$2; shift 2
  local dc=() ff=()
  while [[ $1 != -- ]]; do dc+=("$1"); shift; done
  shift
  ff=("$@")
  local d f
  d=$(timed "${dc[@]}")
  f=$(timed "${ff[@]}")
  awk -v n="$name" -v d="$d" -v f="$f" -v p="$pixels" 'BEGIN {
    split(d, a, " "); split(f, b, " ");
    printf "%-34s %9.3f %9.3f %9.3f %9.3f %7.2f %7.2f %8.1f %8.1f\n", n, a[1], a[2], b[1], b[2], a[1] / b[1],
      a[2] / b[2], a[3] * 1024 / p, b[3] * 1024 / p }'
}
ff=(ffmpeg -loglevel error -y)
compare "equirect 4096x2048 -> faces" $((6 * 1024 * 1024)) "$cli" convert equirect.png out_ft.png --quiet -- \
  "${ff[@]}" -i equirect.png -vf v360=e:c6x1:w=6144:h=1024 -frames:v 1 out_cube.png
compare "faces -> equirect 4096x2048" $((4096 * 2048)) "$cli" convert sky_ft.png out.png --to 12 --quiet -- \
  "${ff[@]}" -i cube.png -vf v360=c6x1:e:w=4096:h=2048 -frames:v 1 out_e.png
compare "1920x1080 view from faces" $((1920 * 1080)) "$cli" view sky_ft.png view.bmp --heading 30 --pitch 10 --size 1920x1080 \
  --fov 90x58.72 --quiet -- \
  "${ff[@]}" -i cube.png -vf v360=c6x1:flat:w=1920:h=1080:h_fov=90:v_fov=58.72:yaw=30:pitch=10 -frames:v 1 view_ff.bmp
compare "1920x1080 view from equirect" $((1920 * 1080)) "$cli" view equirect.png view.bmp --heading 30 --pitch 10 --size 1920x1080 \
  --fov 90x58.72 --quiet -- \
  "${ff[@]}" -i equirect.png -vf v360=e:flat:w=1920:h=1080:h_fov=90:v_fov=58.72:yaw=30:pitch=10 -frames:v 1 view_ff.bmp
printf 'load after: %s\n' "$(uptime)"
