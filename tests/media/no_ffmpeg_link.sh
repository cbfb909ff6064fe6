#!/bin/sh
# Fails when any executable of the build tree links an FFmpeg library: they are opened at
# run time by the loader only. Usage: no_ffmpeg_link.sh BUILD_DIR
set -u
build=${1:?build folder}
checked=0
bad=0
for file in $(find "$build" -path "$build/CMakeFiles" -prune -o -type f -perm -u+x -print); do
    # ELF executables only: scripts and shared libraries are skipped.
    [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
    case "$file" in *.so | *.so.*) continue ;; esac
    checked=$((checked + 1))
    linked=$(ldd "$file" 2>/dev/null | grep -E 'lib(avutil|avcodec|avformat|avfilter|avdevice|swscale|swresample|postproc)\.so')
    if [ -n "$linked" ]; then
        echo "$file links FFmpeg:"
        echo "$linked"
        bad=$((bad + 1))
    fi
done
echo "$checked executables checked"
[ "$checked" -gt 0 ] || { echo "no executables found under $build"; exit 1; }
[ "$bad" -eq 0 ]
