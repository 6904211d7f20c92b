#!/usr/bin/env bash
# The installed program as a user gets it: `cmake --install` into a prefix
# that is then moved (the tree must be relocatable), the demo song made from
# it, the program started on an X server, the desktop files validated, and
# the Debian package installed into an empty root and used from there.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/melodrift-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
export MELODRIFT_HOME=$work/home
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== install tree"
cmake --install "$build" --prefix "$work/staging" --strip >/dev/null
mv "$work/staging" "$work/moved"
prefix=$work/moved
for f in bin/melodrift bin/melodrift-cli bin/melodrift-service lib/melodrift/libSonobox.so \
         share/melodrift/styles/pop-8beat.mds "share/melodrift/Fonts/Pop default.sf2" \
         share/melodrift/samples/sample-take.wav share/melodrift/Help/MelodriftManual.html \
         share/applications/org.melodrift.Melodrift.desktop share/icons/hicolor/48x48/apps/org.melodrift.Melodrift.png \
         share/metainfo/org.melodrift.Melodrift.metainfo.xml share/man/man1/melodrift-cli.1 \
         share/man/man1/melodrift-service.1 lib/systemd/system/melodrift-service.service; do
  [[ -s "$prefix/$f" ]] || fail "$f missing from the install tree"
done
[[ ! -e "$prefix/share/melodrift/styles/pop-ballad.mds" ]] || fail "a test style was installed"

check_demo() { # bin-dir out-dir
  "$1/melodrift-cli" demo -o "$2" >/dev/null 2>"$work/demo.err" || { cat "$work/demo.err" >&2; fail "demo from $1"; }
  for ext in mid wav mp3 cpj; do [[ -s "$2/sample-song.$ext" ]] || fail "demo wrote no $ext"; done
  local seconds
  seconds=$(soxi -D "$2/sample-song.mp3")
  awk -v s="$seconds" 'BEGIN { exit !(s > 30 && s < 120) }' || fail "demo song lasts $seconds s"
}
echo "== demo from the moved tree"
check_demo "$prefix/bin" "$work/demo1"
"$prefix/bin/melodrift-cli" styles | grep -q "2001" || fail "installed styles not listed"

echo "== desktop files"
appstreamcli validate --no-net "$prefix/share/metainfo/org.melodrift.Melodrift.metainfo.xml" >/dev/null \
  || fail "metainfo does not validate"
for page in "$prefix"/share/man/man1/*.1; do
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
  [[ -z "$warnings" ]] || fail "$page: $warnings"
done

echo "== the program starts on an X server"
start_program() { # program
  # Xvfb picks a free display itself and writes its number when it is ready.
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  local xvfb=$!
  for _ in $(seq 1 200); do
    [[ -s "$work/display" ]] && break
    sleep 0.05
  done
  [[ -s "$work/display" ]] || { kill "$xvfb" 2>/dev/null; fail "Xvfb did not start"; }
  local display=:$(tr -dc 0-9 < "$work/display")
  local started
  started=$(date +%s%N)
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$1" >/dev/null 2>"$work/program.err" &
  local program=$!
  local shown=""
  for _ in $(seq 1 200); do
    # The main window, not the splash: visible and of the window's full size.
    for id in $(DISPLAY=$display xdotool search --onlyvisible --name '^Melodrift' 2>/dev/null); do
      if DISPLAY=$display xdotool getwindowgeometry "$id" 2>/dev/null | grep -q 'Geometry: 810x590'; then shown=yes; fi
    done
    [[ -n "$shown" ]] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  local ms=$(( ($(date +%s%N) - started) / 1000000 ))
  local rss
  rss=$(awk '/VmRSS/ { print $2 }' "/proc/$program/status" 2>/dev/null || echo "?")
  kill -TERM "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  [[ -n "$shown" ]] || { cat "$work/program.err" >&2; fail "$1 showed no window"; }
  echo "main window shown after $ms ms, resident memory ${rss} kB"
}
start_program "$prefix/bin/melodrift"

echo "== Debian package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$work"/package/melodrift_*.deb)
echo "package $(basename "$deb"): $(( $(stat -c %s "$deb") / 1024 )) kB"
depends=$(dpkg-deb -f "$deb" Depends)
for need in qt6-qpa-plugins libfluidsynth3 libportaudio2 libsndfile1 fonts-wqy-microhei; do
  [[ "$depends" == *"$need"* ]] || fail "package does not depend on $need"
done
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# An empty root has none of the dependencies; the host provides them.
dpkg --root="$root" --force-not-root --force-depends --force-script-chrootless --log=/dev/null -i "$deb" \
  >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i"; }
dpkg --root="$root" -s melodrift | grep -q "Status: install ok installed" || fail "dpkg did not install the package"
check_demo "$root/usr/bin" "$work/demo2"
start_program "$root/usr/bin/melodrift"
echo "install tree and package: ok"
