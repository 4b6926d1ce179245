#!/usr/bin/env bash
# disk_faults.sh full-disk|read-only PROGRAM BUILD_DIR
#
# Makes the file system a disk fault test of PROGRAM (disk_fault_tests.exe,
# run under Wine) needs, runs that test, and takes the file system down again.
#   full-disk  a 256 KiB tmpfs that the test fills up; where this machine
#              allows no mount, a file size limit of 16 KiB on the test
#              program instead (no file it writes can grow past it).
#   read-only  a terminal directory with a store and block files, mounted
#              read-only (as root) or without write permission (otherwise),
#              its log directory left writable.
# Exits 77 (skipped) with the reason when neither way is possible here.
set -u
fault=$1 exe=$2 build=$3
base=$build/testrun/disk-faults-$fault-$$
mkdir -p "$base"
mounts=()
cleanup() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null
    done
    chmod -R u+w "$base" 2>/dev/null
}
trap cleanup EXIT
skip() {
    echo "skipped: $*"
    exit 77
}
windows_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

limit=""
case $fault in
full-disk)
    dir=$base/full
    mkdir -p "$dir"
    if mount -t tmpfs -o size=256k pintle-full-disk "$dir" 2>/dev/null; then
        mounts+=("$dir")
        export PINTLE_FULL_DISK_MODE=tmpfs
    elif (ulimit -f 16) 2>/dev/null; then
        echo "note: no tmpfs can be mounted here; a file size limit of 16 KiB plays the full disk"
        export PINTLE_FULL_DISK_MODE=file-size-limit
        limit=16
    else
        skip "this machine allows neither mounting a small file system nor limiting the file size"
    fi
    export PINTLE_FULL_DISK_DIR=$(windows_path "$dir")
    filter='DiskFaults.AFullDisk*'
    ;;
read-only)
    dir=$base/terminal
    mkdir -p "$dir/TradeSelfData" "$dir/USERDATA/block" "$dir/T0002/blocknew" "$dir/助手日志" "$base/log"
    # data.db {4, 1} with 600000 = 1.5 in slot 100; a DZH block holding
    # SH600000; a TDX block of two lines.
    printf '%b' '\x04\x00\x00\x00\x01\x00\x00\x00\x36\x30\x30\x30\x30\x30\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
        '\x64\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xf8\x3f\x00\x00\x00\x00\x00\x00\x00\x00' \
        >"$dir/TradeSelfData/data.db"
    printf '\xa5\x00\x00\x00SH600000\x00\x00\x00\x00' >"$dir/USERDATA/block/自选股3.BLK"
    printf '1600000\r\n0000001' >"$dir/T0002/blocknew/ZXG3.blk"
    if [ "$(id -u)" -eq 0 ]; then
        # Permissions do not stop root: a read-only bind mount does.
        mount --bind "$dir" "$dir" 2>/dev/null && mounts+=("$dir") &&
            mount --bind "$base/log" "$dir/助手日志" && mounts+=("$dir/助手日志") &&
            mount -o remount,bind,ro "$dir" ||
            skip "running as root, but this machine allows no read-only bind mount (a container without CAP_SYS_ADMIN?)"
    else
        chmod a-w "$dir/TradeSelfData/data.db" "$dir/USERDATA/block/自选股3.BLK" "$dir/T0002/blocknew/ZXG3.blk" \
            "$dir/TradeSelfData" "$dir/USERDATA/block" "$dir/USERDATA" "$dir/T0002/blocknew" "$dir/T0002" "$dir"
    fi
    export PINTLE_READONLY_DIR=$(windows_path "$dir")
    filter='DiskFaults.AReadOnly*'
    ;;
*)
    echo "usage: disk_faults.sh full-disk|read-only PROGRAM BUILD_DIR" >&2
    exit 2
    ;;
esac

if [ -n "$limit" ]; then
    # A write past the limit fails (EFBIG) instead of ending the program.
    (trap '' XFSZ; ulimit -f "$limit"; exec wine "$exe" --gtest_filter="$filter")
else
    wine "$exe" --gtest_filter="$filter"
fi
status=$?
exit $status
