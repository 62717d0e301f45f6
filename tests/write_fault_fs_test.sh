#!/usr/bin/env bash
# Whole-or-nothing writing on real file systems that say no: a disk that fills up halfway (a
# 40 KiB tmpfs) and a read-only folder (a tmpfs mounted read-only). The existing target must stay
# as it was, no temporary file may be left, and the message must name the file and the reason.
# The mounts live in a private mount namespace of this script alone; where mounting is not
# allowed (no root), the test says so and skips.
# Usage: write_fault_fs_test.sh PATH/TO/vramoria-convert SAMPLES-FOLDER
set -u
tool=$1
samples=$2
if [ -z "${VRAMORIA_IN_NAMESPACE:-}" ]; then
  if ! unshare -m true 2>/dev/null; then
    echo "write faults on file systems: skipped (no mount namespace without root)"
    exit 0
  fi
  exec env VRAMORIA_IN_NAMESPACE=1 unshare -m --propagation private "$0" "$@"
fi
source "$(dirname "$0")/cli_lib.sh"

# A 40 KiB disk holding a 30 KiB file: a 64 KiB SCREEN 7 save over it cannot fit.
mkdir "$work/full"
mount -t tmpfs -o size=40k tmpfs "$work/full" || { echo "skipped: tmpfs cannot be mounted"; exit 0; }
cp "$samples/testcard.sc5" "$work/full/pic.sc7"
err=$("$tool" "$samples/testcard.sc7" -o "$work/full/pic.sc7" 2>&1); rc=$?
check "full disk: status" 1 "$rc"
check "full disk: message" "vramoria-convert: $work/full/pic.sc7: cannot write the file: No space left on device" "$err"
check "full disk: old file kept" 0 "$(cmp -s "$samples/testcard.sc5" "$work/full/pic.sc7"; echo $?)"
check "full disk: no temporary file" "pic.sc7" "$(ls -A "$work/full")"
err=$("$tool" "$samples/testcard.scc" -o "$work/full/pic.bmp" 2>&1); rc=$?
check "full disk, bitmap: status" 1 "$rc"
check "full disk, bitmap: nothing new" "pic.sc7" "$(ls -A "$work/full")"
umount "$work/full"

# A folder that takes no new file.
mkdir "$work/ro"
mount -t tmpfs -o size=1m tmpfs "$work/ro"
cp "$samples/testcard.sc5" "$work/ro/pic.sc5"
mount -o remount,ro "$work/ro"
err=$("$tool" "$samples/testcard.sr5" -o "$work/ro/pic.sc5" 2>&1); rc=$?
check "read-only: status" 1 "$rc"
check "read-only: message" "vramoria-convert: $work/ro/pic.sc5: cannot write the file: Read-only file system" "$err"
check "read-only: old file kept" 0 "$(cmp -s "$samples/testcard.sc5" "$work/ro/pic.sc5"; echo $?)"
check "read-only: nothing new" "pic.sc5" "$(ls -A "$work/ro")"
umount "$work/ro"

cli_summary "write faults on file systems"
