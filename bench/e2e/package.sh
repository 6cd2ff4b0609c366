#!/usr/bin/env bash
# The package as a user gets it: a clean Debian 12 root (debootstrap
# minbase, from Debian's mirror), `apt-get install ./quillory_*.deb` in it,
# then its desktop entry's command run there with a fresh home on a virtual
# display of the host: the first-run window must show, the programs it
# starts must be the installed ones, and nothing may come from a build tree.
# Needs root (chroot, mounts). The root is kept for the next run.
# Usage: bench/e2e/package.sh [quillory_*.deb] [root folder]   (display :67)
set -u
deb=$(realpath "${1:-$(ls quillory_*_amd64.deb | head -1)}")
root=${2:-/var/tmp/quillory-debian12}
out=${OUT:-/tmp/e2e-package}; rm -rf "$out"; mkdir -p "$out"
[ "$(id -u)" = 0 ] || { echo "package: needs root (chroot)"; exit 2; }
[ -f "$deb" ] || { echo "package: no .deb (make package)"; exit 2; }

if [ ! -x "$root/usr/bin/apt-get" ]; then
  command -v debootstrap >/dev/null \
    || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian > "$out/debootstrap.log" 2>&1 \
    || { echo "package: debootstrap failed (see $out/debootstrap.log)"; exit 1; }
fi
mounted=()
mount_in() { # source target-inside-root [bind]
  mkdir -p "$root$2"
  if [ "${3:-}" = bind ]; then mount --bind "$1" "$root$2"; else mount -t "$1" "$1" "$root$2"; fi \
    && mounted=("$root$2" "${mounted[@]}")
}
pids=()
cleanup() {
  [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null
  # Whatever still runs from inside the root, by process id.
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill "${p#/proc/}" 2>/dev/null
  done
  sleep 1
  for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null; done
}
trap cleanup EXIT
mount_in proc /proc
mount_in /dev /dev bind
mount_in /tmp/.X11-unix /tmp/.X11-unix bind
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
fails=0
if chroot "$root" bash -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y --reinstall ./tmp/$(basename "$deb")" \
  > "$out/apt.log" 2>&1; then
  echo "apt-get install ./$(basename "$deb"): installed ($(grep -c '^Unpacking' "$out/apt.log") packages unpacked)"
else
  echo "apt-get install failed (see $out/apt.log)"; exit 1
fi

command=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/quillory.desktop" | head -1)
echo "desktop entry's command: $command"
export DISPLAY=:67
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp -noreset > /dev/null 2>&1 &
pids+=($!)
sleep 1
rm -rf "$root/tmp/home"; mkdir -p "$root/tmp/home"
# shellcheck disable=SC2086 # the entry's command is split as a launcher would
chroot "$root" env -i PATH=/usr/bin:/bin HOME=/tmp/home DISPLAY="$DISPLAY" $command \
  > "$out/run.log" 2>&1 &
pids+=($!)
shown=""
for _ in $(seq 60); do
  shown=$(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | head -1)
  [ -n "$shown" ] && break
  sleep 0.5
done
import -window root "$out/first-window.png" 2>/dev/null
if [ -n "$shown" ]; then echo "first window: \"$shown\" ($out/first-window.png)"
else echo "no window within 30 s (see $out/run.log)"; fails=$((fails + 1)); fi
sleep 5
if grep -q 'started "/usr/libexec/quillory/agent-setup"' "$out/run.log"; then
  echo "the first run started the installed setup program"
else
  echo "the installed setup program was not started (see $out/run.log)"; fails=$((fails + 1))
fi
if grep -a -q "/work/\|/build/" "$out/run.log"; then
  echo "a build-tree path was used:"; grep -a "/work/\|/build/" "$out/run.log" | head -3
  fails=$((fails + 1))
fi
if [ "$fails" = 0 ]; then echo "package: passed"; else echo "package: $fails failed"; exit 1; fi
