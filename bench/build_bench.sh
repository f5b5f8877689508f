#!/bin/sh
# The time of one application build with a 64 MiB workbook, made by the
# native launcher-tool and by the Windows one under Wine, in one run, from
# the same launcher and inputs (figures only). The two builds must be the
# same bytes; the line says whether they are.
#
#   build_bench.sh NATIVE_TOOL WINDOWS_TOOL WINE_RUN LAUNCHER.exe ADDIN.dll
set -u
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
native_tool=$(absolute "$1") windows_tool=$(absolute "$2") wine_run=$(absolute "$3")
launcher=$(absolute "$4") addin=$(absolute "$5")
if [ ! -x "$native_tool" ]; then
  echo "build: no native launcher-tool at $native_tool (build the native tree): native figure left out"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/brisk-build-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Workbook-like: text that packs to about three quarters of its size. (Not
# aux.bin: AUX is a device name on Windows.)
head -c 50331648 /dev/urandom | base64 -w 76 | head -c 67108864 >"$work/workbook.bin"
printf 'AUX' >"$work/auxiliary.bin"
cp "$addin" "$work/addin.dll"
cp "$launcher" "$work/launcher.exe"
printf 'name = Bench\nversion = 1.0.0\nworkbook = workbook.bin\naux-workbook = auxiliary.bin\naddin32 = addin.dll\n' \
  >"$work/bench.manifest"
mkdir "$work/native" "$work/windows"

now() { date +%s%N; }
milliseconds() { echo $(( ($2 - $1) / 1000000 )); }

# Wine's services are started before the clock runs.
"$wine_run" "$windows_tool" >/dev/null 2>&1 </dev/null
start=$(now)
(cd "$work" && "$wine_run" "$windows_tool" build bench.manifest windows/App.exe --launcher launcher.exe) </dev/null
windows_status=$?
windows_ms=$(milliseconds "$start" "$(now)")
native_ms=-
native_status=1
if [ -x "$native_tool" ]; then
  start=$(now)
  (cd "$work" && "$native_tool" build bench.manifest native/App.exe --launcher launcher.exe)
  native_status=$?
  native_ms=$(milliseconds "$start" "$(now)")
fi
same=no
[ $windows_status -eq 0 ] && [ $native_status -eq 0 ] && cmp -s "$work/native/App.exe" "$work/windows/App.exe" && same=yes
size=$( [ -f "$work/windows/App.exe" ] && wc -c <"$work/windows/App.exe" || echo 0)
echo "build of a 64 MiB workbook ($(basename "$launcher"), $size bytes): native ${native_ms} ms (exit $native_status)," \
     "Windows tool under Wine ${windows_ms} ms (exit $windows_status), same bytes: $same"
