#!/bin/sh
# The native launcher-tool and the Windows one (under Wine) make the same
# bytes: for a table of manifests, with SOURCE_DATE_EPOCH set and without,
# each launcher given is built from by both tools and the builds compared.
#
#   same_bytes.sh NATIVE_TOOL WINDOWS_TOOL WINE_RUN SOURCE_DIR LAUNCHER.exe...
#
# Exit 77 (skipped) when the native tool or every launcher is missing.
set -u
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
native_tool=$(absolute "$1") windows_tool=$(absolute "$2") wine_run=$(absolute "$3") source_dir=$(absolute "$4")
shift 4
[ -x "$native_tool" ] || { echo "SKIPPED: no native launcher-tool at $native_tool"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/brisk-same-bytes.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$source_dir"/samples/demo/workbook.bin "$source_dir"/samples/demo/auxiliary.xls.bin \
   "$source_dir"/samples/demo/licence.txt "$source_dir"/samples/demo/splash.jpg "$work"/
cp "$source_dir"/core/launcher.ico "$work"/app.ico
# Add-ins the builder takes: a DLL of each bitness.
python3 "$source_dir"/tests/builder/make_test_dll.py i386 3000 "$work"/stub32.dll
python3 "$source_dir"/tests/builder/make_test_dll.py x86-64 5000 "$work"/stub64.dll
# The sample as it lies in the repository, with the add-ins it names.
mkdir "$work"/demo
cp "$source_dir"/samples/demo/* "$work"/demo/
cp "$work"/stub32.dll "$work"/demo/briskstub32.dll
cp "$work"/stub64.dll "$work"/demo/briskstub64.dll
printf '[content]\nWARNING_TITLE=Achtung\n# a line the launcher ignores\n' >"$work"/de.lng

base='name = Sample Planner
version = 1.2.3
info = A compiled workbook started by the launcher
format = 4
workbook = workbook.bin
aux-workbook = auxiliary.xls.bin
addin32 = stub32.dll'
manifest() { printf '%s\n%s\n' "$base" "$2" >"$work/$1.manifest"; }
manifest sample 'licence = licence.txt
splash = splash.jpg'
manifest icon 'icon = app.ico
company = Example Ltd
copyright = (c) Example Ltd'
manifest language 'language = de.lng'
manifest addin64 'addin64 = stub64.dll'
manifest storage 'flags = external-storage | single-instance'
manifest everything 'licence = licence.txt
splash = splash.jpg
language = de.lng
addin64 = stub64.dll
icon = app.ico
password = secret
flags = host-invisible | splash-forced'

failures=0 compared=0 launchers=0
for launcher in "$@"; do
  [ -f "$launcher" ] || { echo "no launcher at $launcher: left out"; continue; }
  launchers=$((launchers + 1))
  cp "$launcher" "$work/launcher.exe"
  rm -f "$work/native-sample.exe"
  for epoch in "" 1700000000; do
    # An earlier build as the launcher: the sample's build of this round.
    # The sample itself, built from its own folder's copy (Wine finds the
    # Unix path on drive Z:).
    for name in demo sample icon language addin64 storage everything earlier; do
      manifest_name=$name more=""
      if [ "$name" = earlier ]; then manifest_name=language more="--launcher native-sample.exe"; fi
      [ -n "$more" ] || more="--launcher launcher.exe"
      rm -rf "$work/native" "$work/windows"
      mkdir "$work/native" "$work/windows"
      manifest_file=$manifest_name.manifest
      [ "$name" = demo ] && manifest_file=$work/demo/manifest.txt
      (cd "$work" && SOURCE_DATE_EPOCH=$epoch "$native_tool" build "$manifest_file" native/App.exe $more) \
        >"$work/native.log" 2>&1
      native_status=$?
      (cd "$work" && SOURCE_DATE_EPOCH=$epoch timeout -s KILL 300 "$wine_run" "$windows_tool" build \
        "$manifest_file" windows/App.exe $more) >"$work/windows.log" 2>&1 </dev/null
      windows_status=$?
      what="$launcher: $name, SOURCE_DATE_EPOCH=${epoch:-unset}"
      compared=$((compared + 1))
      if [ $native_status -ne 0 ] || [ $windows_status -ne 0 ]; then
        echo "FAILED $what: native exit $native_status, Windows exit $windows_status"
        cat "$work/native.log" "$work/windows.log"
        failures=$((failures + 1))
      elif ! cmp "$work/native/App.exe" "$work/windows/App.exe"; then
        echo "FAILED $what: the builds differ"
        failures=$((failures + 1))
      else
        echo "same bytes: $what ($(wc -c <"$work/native/App.exe") bytes)"
      fi
      if [ "$name" = sample ] && [ -f "$work/native/App.exe" ]; then cp "$work/native/App.exe" "$work/native-sample.exe"; fi
    done
  done
done
[ $launchers -gt 0 ] || { echo "SKIPPED: none of the launchers exists"; exit 77; }
echo "$compared pairs compared, $failures differ or failed"
[ $failures -eq 0 ]
