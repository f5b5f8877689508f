#!/usr/bin/env bash
# The main job: sets up the machine, builds, makes a sample application build
# and launches it under Wine with the stand-in host on a virtual display.
# Prints the hand-over as the add-in saw it and saves screenshots of the
# splash and of the host window in build/demo/. Then launches a variant with a
# password and a licence, answers both dialogs itself and saves screenshots of
# them too. Ends every process it starts. On a machine that runs no 32-bit
# program, it launches the launcher's 64-bit twin instead, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

bash scripts/setup.sh

# Where 32-bit programs run, the shipping launcher is launched in the win32
# tree's prefix. Where they cannot, its 64-bit twin, with the same payload,
# against the 64-bit stand-in host in the win64 tree's prefix.
source scripts/machine.sh
if brisk_runs_i386; then
  tree=win32
else
  tree=win64
  echo "== the demo runs the launcher's 64-bit twin against the 64-bit stand-in host: $(brisk_no_i386_reason)"
fi

echo "== building"
cmake --preset native >/dev/null
# The native launcher-tool makes the application builds: no Wine for that.
cmake --build build/native -j "$jobs" --target addin-check launcher-tool
# The shipping launcher, which every application build of the win32 tree
# starts from.
cmake --preset win32-release >/dev/null
cmake --build --preset win32-release -j "$jobs"
# Both add-ins travel in the sample; the tree that launches also brings the
# launcher it launches (beside its launcher-tool) and its stand-in host.
cmake --preset win32 >/dev/null
cmake --preset win64 >/dev/null
cmake --build build/win32 -j "$jobs" --target standin_addin
cmake --build build/win64 -j "$jobs" --target standin_addin
cmake --build "build/$tree" -j "$jobs" --target launcher_beside_tool standin_host

demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp samples/demo/* "$demo/"

# Paths as the Windows side sees them.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
wine_run=$root/build/$tree/wine-run
launcher_tool=$root/build/native/tools/launcher_tool/launcher-tool
launcher=$root/build/$tree/tools/launcher_tool/launcher.exe
standin_host=$root/build/$tree/tools/standin_host/standin_host.exe
export WINEPREFIX=$root/build/$tree/wineprefix WINEDEBUG=-all

xvfb_pid=
cleanup() {
  "$wine_run" "$standin_host" /unregserver >/dev/null 2>&1 || true
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
source scripts/xvfb.sh
start_xvfb

echo "== making the sample application builds"
# The stand-in add-in finds its configuration through a path carried in its image.
printf '{"log": "%s"}\n' "$(winpath "$demo/addin.jsonl" | sed 's/\\/\\\\/g')" > "$demo/addin.json"
addin_check=$root/build/native/tools/addin_protocol/addin-check
# The sample's manifests name the stand-in add-ins, each of its bitness,
# beside them.
"$addin_check" embed-config build/win32/tools/standin_addin/briskstub.dll "$demo/briskstub32.dll" "$(winpath "$demo/addin.json")"
"$addin_check" embed-config build/win64/tools/standin_addin/briskstub.dll "$demo/briskstub64.dll" "$(winpath "$demo/addin.json")"
# Without a licence the first launch needs no answer from a person.
sed -i '/^licence/d' "$demo/manifest.txt"
build_sample() {
  local manifest=$1 exe=$2
  (cd "$demo" && "$launcher_tool" build "$manifest" "$exe" --launcher "$launcher")
  # What a maker checks before shipping: the summary, and exit 1 on damage.
  "$launcher_tool" show "$demo/$exe"
  "$launcher_tool" show --json "$demo/$exe" > "$demo/show.json"
}
build_sample manifest.txt SamplePlanner.exe
build_sample manifest-protected.txt SamplePlannerProtected.exe

echo "== registering the stand-in host"
cat > "$demo/host.cfg" <<EOF
log=$(winpath "$demo/host.jsonl")
version=16.0
caption=Book1 - Stand-in Host
EOF
# The 64-bit stand-in host says it is a 64-bit host, as a real one does: the
# launcher then gives it the 64-bit add-in.
"$wine_run" "$standin_host" /regserver -config "$(winpath "$demo/host.cfg")"
wineserver -w

echo "== launching SamplePlanner.exe"
"$wine_run" "$demo/SamplePlanner.exe" &
launcher_pid=$!
# The splash is the launcher's first window (Wine names its X windows'
# class after the executable) and stays up for at least 5 s: wait for it
# (however long Wine takes to start), then catch it once it has painted.
for n in $(seq 120); do
  xdotool search --onlyvisible --classname '^sampleplanner\.exe$' >/dev/null 2>&1 && break
  kill -0 "$launcher_pid" 2>/dev/null || break
  sleep 0.5
done
sleep 1
import -window root "$demo/splash.png"
if ! timeout 60 tail --pid="$launcher_pid" -f /dev/null; then
  echo "the launcher did not finish within 60 s"
  kill "$launcher_pid" 2>/dev/null || true
fi
wait "$launcher_pid" && echo "launcher exit code: 0" || echo "launcher exit code: $?"

host_window=$(xdotool search --name "Brisk Application" 2>/dev/null | head -n 1 || true)
if [ -n "$host_window" ]; then
  import -window "$host_window" "$demo/host-window.png"
else
  import -window root "$demo/host-window.png"
fi

echo "== the hand-over as the add-in saw it"
python3 - "$demo/addin.jsonl" <<'EOF'
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    r = json.loads(line)
    if r.get("kind") == "message":
        print(f'  {r["order"]:2}  message {r["msg"]}  wParam={r["wParam"]}  lParam={r["lParam"]}'
              f'  {r["delivery"]:5}  host visible={str(r["visible"]).lower()}')
    elif r.get("kind") in ("attach", "events", "signal", "cmdfile"):
        detail = {k: v for k, v in r.items() if k not in ("seq", "kind")}
        print(f'      {r["kind"]}: {json.dumps(detail)}')
EOF
"$addin_check" check "$demo/addin.jsonl" --completed yes && echo "hand-over conforms to the protocol"

echo "== launching SamplePlannerProtected.exe: password prompt and licence, answered here"
# The id of the visible window with exactly this title, once the launcher
# shows it; fails when the launcher ends or 60 s pass first.
wait_for_window() {
  local title=$1 id n
  for n in $(seq 120); do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    kill -0 "$launcher_pid" 2>/dev/null || return 1
    sleep 0.5
  done
  return 1
}
# Saves a screenshot of the window, then answers it as a user would: types
# the text, if one is given, and presses the keys (default: Enter).
answer_window() {
  local title=$1 shot=$2 text=${3:-} keys=${4:-Return} id
  if ! id=$(wait_for_window "$title"); then
    echo "no window \"$title\" appeared"
    return 1
  fi
  sleep 1  # let it paint
  import -window "$id" "$demo/$shot"
  xdotool windowfocus --sync "$id"
  [ -n "$text" ] && xdotool type --delay 50 "$text"
  xdotool key $keys
  echo "answered \"$title\" (screenshot build/demo/$shot)"
}
: > "$demo/addin.jsonl"
"$wine_run" "$demo/SamplePlannerProtected.exe" &
launcher_pid=$!
answered=yes
answer_window "Brisk Application Sample Planner" password.png planner || answered=no
if [ "$answered" = yes ]; then
  # The focus starts on "Decline": Tab moves it to "I Agree".
  answer_window "Sample Planner - License Agreement" licence.png "" "Tab Return" || answered=no
fi
if ! timeout 60 tail --pid="$launcher_pid" -f /dev/null; then
  echo "the launcher did not finish within 60 s"
  kill "$launcher_pid" 2>/dev/null || true
fi
wait "$launcher_pid" && echo "launcher exit code: 0" || echo "launcher exit code: $?"
if [ "$answered" = yes ] && "$addin_check" check "$demo/addin.jsonl" --completed yes; then
  echo "after the password and the licence, the hand-over conforms to the protocol"
else
  echo "the protected sample did not hand over"
  exit 1
fi

echo "== screenshots: build/demo/splash.png, build/demo/host-window.png, build/demo/password.png, build/demo/licence.png"
