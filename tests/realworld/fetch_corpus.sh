#!/usr/bin/env bash
# Fetches the real-world media corpus into a cache folder and derives the kinds that no
# Debian package ships.
#
#   tests/realworld/fetch_corpus.sh [CACHE_FOLDER]
#
# CACHE_FOLDER defaults to $REELSMITH_CORPUS_DIR, else ~/.cache/reelsmith-corpus. The
# real files come from the Debian packages named in tests/realworld/corpus.list: each
# package is downloaded with `apt-get download` (nothing is installed), unpacked with
# `dpkg-deb -x` into a scratch folder, and only the listed files are kept, under their
# cache names, after their SHA-256 sums are checked. Derived files (raw elementary
# streams, MPEG-TS, rotated, multi-track MKV with subtitles, truncated and index-less
# copies) are made from the real ones with the ffmpeg tool into CACHE_FOLDER/derived.
# A second run finds everything in place and only checks the sums.
#
# Exit status: 0 when every file is in place; 1 when a package cannot be fetched or a
# sum does not match (the files that did match stay usable); 2 when apt-get or
# dpkg-deb is missing. The last line of the output says how many files are ready.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
list="$here/corpus.list"
cache=${1:-${REELSMITH_CORPUS_DIR:-$HOME/.cache/reelsmith-corpus}}
mkdir -p "$cache/files" "$cache/derived"

for tool in apt-get dpkg-deb sha256sum ffmpeg; do
  command -v "$tool" >/dev/null || { echo "fetch_corpus: $tool is not available" >&2; exit 2; }
done

status=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"  # apt-get download writes as its own unprivileged user when it can

entries() { grep -v '^#' "$list" | grep -v '^$'; }

sum_ok() {  # file, expected sum
  [ -f "$1" ] && [ "$(sha256sum "$1" | cut -d' ' -f1)" = "$2" ]
}

# Packages with at least one listed file missing or changed.
missing_packages() {
  entries | while IFS='|' read -r name package _ sum _; do
    sum_ok "$cache/files/$name" "$sum" || echo "$package"
  done | sort -u
}

fetch_package() {  # package
  local package=$1 deb
  (cd "$scratch" && apt-get download -q "$package" >/dev/null 2>"$scratch/apt.err") || {
    echo "fetch_corpus: cannot download $package: $(tail -n 1 "$scratch/apt.err")" >&2
    return 1
  }
  deb=$(ls "$scratch"/"${package}"_*.deb 2>/dev/null | head -n 1)
  mkdir -p "$scratch/unpacked/$package"
  dpkg-deb -x "$deb" "$scratch/unpacked/$package" && rm -f "$deb"
}

for package in $(missing_packages); do
  fetch_package "$package" || { status=1; continue; }
  entries | while IFS='|' read -r name pkg path sum _; do
    [ "$pkg" = "$package" ] || continue
    if sum_ok "$scratch/unpacked/$package$path" "$sum"; then
      cp "$scratch/unpacked/$package$path" "$cache/files/$name"
    else
      echo "fetch_corpus: $package$path is missing or its SHA-256 sum differs" >&2
    fi
  done
  rm -rf "$scratch/unpacked/$package"
done

ready=0
while IFS='|' read -r name _ _ sum _; do
  if sum_ok "$cache/files/$name" "$sum"; then
    ready=$((ready + 1))
  else
    rm -f "$cache/files/$name"
    status=1
  fi
done < <(entries)

# Derived kinds. Each is made once, only from a real file that is in place; a file
# appears under its name only when complete.
derive() {  # output name, source name, ffmpeg arguments between input and output
  local out=$1 src=$2; shift 2
  [ -s "$cache/derived/$out" ] && return 0
  [ -f "$cache/files/$src" ] || return 0
  local tmp="$scratch/$out"
  if ffmpeg -nostdin -y -v error -i "$cache/files/$src" "$@" -fflags +bitexact "$tmp" </dev/null; then
    mv "$tmp" "$cache/derived/$out"
  else
    echo "fetch_corpus: cannot derive $out from $src" >&2
    status=1
  fi
}

cut_file() {  # output name, source name, percent of the bytes kept
  local out=$1 src=$2 percent=$3 size
  [ -s "$cache/derived/$out" ] && return 0
  [ -f "$cache/files/$src" ] || return 0
  size=$(stat -c %s "$cache/files/$src")
  head -c $((size * percent / 100)) "$cache/files/$src" >"$scratch/$out" && mv "$scratch/$out" "$cache/derived/$out"
}

derive raw_h264_es.h264 hello_h264_aac.mp4 -map 0:v -c copy -f h264
derive raw_mpeg2_es.m2v hello_mpeg2_mp2.mpeg -map 0:v -c copy -f mpeg2video
derive broadcast_mpeg2_mp2.ts hello_mpeg2_mp2.mpeg -map 0 -c copy -f mpegts
derive rotated_h264_aac.mp4 phone_vfr_h264_aac.mp4 -map 0 -c copy -metadata:s:v:0 rotate=90
derive camera_u8_11k.wav camera_mjpeg_u8.avi -map 0:a -c copy
if [ ! -s "$cache/derived/multitrack_subs.mkv" ] && [ -f "$cache/files/small_h264_aac.mp4" ] &&
   [ -f "$cache/files/small_vp8_vorbis.webm" ]; then
  printf '1\n00:00:00,500 --> 00:00:01,800\nFirst line\n\n2\n00:00:02,000 --> 00:00:04,000\nSecond line\n' \
    >"$scratch/en.srt"
  printf '1\n00:00:01,000 --> 00:00:03,000\nPremiere ligne\n' >"$scratch/fr.srt"
  if ffmpeg -nostdin -y -v error -i "$cache/files/small_h264_aac.mp4" -i "$cache/files/small_vp8_vorbis.webm" \
      -i "$scratch/en.srt" -i "$scratch/fr.srt" -map 0:v -map 0:a -map 1:a -map 2 -map 3 -c copy -c:s srt \
      -metadata:s:a:0 language=eng -metadata:s:a:1 language=fre -metadata:s:s:0 language=eng \
      -metadata:s:s:1 language=fre -fflags +bitexact "$scratch/multitrack_subs.mkv" </dev/null; then
    mv "$scratch/multitrack_subs.mkv" "$cache/derived/multitrack_subs.mkv"
  else
    status=1
  fi
fi
cut_file truncated_h264_aac.mp4 hello_h264_aac.mp4 40
cut_file truncated_noindex_h264.avi hello_h264_aac.avi 60
cut_file truncated_mpeg2_mp2.mpeg hello_mpeg2_mp2.mpeg 50
cut_file truncated_nocues_aac51.mkv surround_mpeg4_aac51.mkv 70

derived=$(find "$cache/derived" -type f | wc -l)
echo "fetch_corpus: $ready real and $derived derived files ready in $cache"
exit $status
