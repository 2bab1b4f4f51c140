#!/bin/sh
# Sets up and takes down the small volumes the EPS output tests write to:
#   volumes.sh mount FOLDER PREFIX    FOLDER/full: a 320 KB tmpfs, also Wine's
#                                     drive V: in PREFIX; FOLDER/readonly: a
#                                     tmpfs mounted read-only, holding
#                                     existing.eps
#   volumes.sh unmount FOLDER PREFIX
# Mounting needs root and a kernel that lets this process mount; where it
# cannot, FOLDER/unavailable says why, and the tests that need the volumes
# skip themselves.
set -u
action=$1
folder=$2
prefix=$3
full_size=320k

unmount_all() {
  for volume in "$folder/full" "$folder/readonly"; do
    ! mountpoint -q "$volume" || umount "$volume"
  done
  rm -f "$prefix/dosdevices/v:"
}

unavailable() {
  echo "$*" >"$folder/unavailable"
  echo "volumes: $*"
  unmount_all
  exit 0
}

case $action in
  mount)
    unmount_all
    mkdir -p "$folder/full" "$folder/readonly" "$prefix/dosdevices"
    rm -f "$folder/unavailable"
    mount -t tmpfs -o "size=$full_size" vellumark-full "$folder/full" 2>/dev/null ||
      unavailable "cannot mount a tmpfs at $folder/full (not root, or mounting is not allowed here)"
    mount -t tmpfs -o size=64k vellumark-readonly "$folder/readonly" 2>/dev/null ||
      unavailable "cannot mount a tmpfs at $folder/readonly"
    printf 'previous EPS\r\n' >"$folder/readonly/existing.eps"
    mount -o remount,ro "$folder/readonly" 2>/dev/null ||
      unavailable "cannot remount $folder/readonly read-only"
    ln -sfn "$folder/full" "$prefix/dosdevices/v:"
    echo "volumes: $folder/full (V:, $full_size) and $folder/readonly (read-only)"
    ;;
  unmount)
    unmount_all
    ;;
  *)
    echo "usage: volumes.sh mount|unmount FOLDER PREFIX" >&2
    exit 2
    ;;
esac
