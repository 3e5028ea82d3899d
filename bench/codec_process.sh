#!/usr/bin/env bash
# The codec tool as a whole process beside the peers' programs on the same
# 64 MB of message files (the corpus bench's files, repeated): CPU time (the
# task clock, user and system, best of RUNS) to compress and to decompress,
# each program writing its output to a file beside its input.
#   zlib:       pigz -p 1 -H (zlib's deflate, Huffman codes only, one thread)
#   libdeflate: libdeflate-gunzip on that Huffman-only gzip file
# Needs the release build, perf and the Debian packages pigz and
# libdeflate-tools.
#   bench/codec_process.sh [BUILD_DIR] [RUNS]
# QX_CODEC_TOOL names another build of the tool, e.g. an earlier one.
set -euo pipefail
build=${1:-build/release}
runs=${2:-5}
tool=$(realpath "${QX_CODEC_TOOL:-$build/tools/quendrilax-codec}")
corpus_bench=$build/bench/codec_corpus_bench
for program in perf pigz libdeflate-gunzip; do
  command -v $program >/dev/null || { echo "needs $program (apt-get install linux-perf pigz libdeflate-tools)" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
"$corpus_bench" --write-corpus="$work/corpus"
while [ "$(stat -c %s "$work/input" 2>/dev/null || echo 0)" -lt $((64 << 20)) ]; do
  cat "$work"/corpus/*.msg >>"$work/input"
done
truncate -s $((64 << 20)) "$work/input"

# Best CPU seconds of the command over the runs.
cpu() {
  local best=""
  for _ in $(seq "$runs"); do
    local t
    t=$(perf stat -x, -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1 / 1000 }')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

cd "$work"
qc=$(cpu "$tool" compress input input.qx)
zc=$(cpu pigz -p 1 -H -k -f input)
qd=$(cpu "$tool" decompress input.qx output)
ld=$(cpu libdeflate-gunzip -k -f input.gz)
cmp -s input output || { echo "round trip differs" >&2; exit 1; }
printf '64 MB of message files, CPU seconds, best of %s\n' "$runs"
printf 'compress:   quendrilax-codec %6.3f  zlib (pigz -p 1 -H) %6.3f  zlib/qx %5.2f\n' \
  "$qc" "$zc" "$(awk -v a="$zc" -v b="$qc" 'BEGIN { print a / b }')"
printf 'decompress: quendrilax-codec %6.3f  libdeflate-gunzip   %6.3f  libdeflate/qx %5.2f\n' \
  "$qd" "$ld" "$(awk -v a="$ld" -v b="$qd" 'BEGIN { print a / b }')"
printf 'sizes: input %s, quendrilax %s, zlib Huffman-only gzip %s\n' \
  "$(stat -c %s input)" "$(stat -c %s input.qx)" "$(stat -c %s input.gz)"
