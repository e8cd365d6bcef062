#!/bin/sh
# Runs the unit test cases that need file modes enforced (read-only files and folders, files
# that may not be read) as an unprivileged user: as root neither Linux nor Wine enforces them,
# so those cases skip themselves there. ctest fails this test when any of them still skips.
#   fault_unprivileged.sh FILTER TEST-EXE                       native
#   fault_unprivileged.sh FILTER TEST-EXE WINE-RUN HOME-DIR     the Windows build under Wine
# Wine refuses a prefix its user does not own, so under Wine the unprivileged user gets a prefix
# of its own in HOME-DIR, made on first use (about 20 s) and kept.
set -u
filter=$1 exe=$2 winerun=${3:-} home=${4:-}
user=65534  # nobody

if [ "$(id -u)" != 0 ]; then  # already unprivileged
    exec ${winerun:+"$winerun"} "$exe" --gtest_filter="$filter"
fi
if ! command -v setpriv >/dev/null 2>&1; then
    echo "setpriv (util-linux) is missing: cannot run the cases as an unprivileged user"
    exit 77
fi
as_user() {
    setpriv --reuid=$user --regid=$user --clear-groups env -u DISPLAY -u XAUTHORITY TMPDIR=/tmp "$@"
}

if ! as_user test -x "$exe" || { [ -n "$winerun" ] && ! as_user test -x "$winerun"; }; then
    echo "the unprivileged user (uid $user) cannot run $exe: a folder above it is closed to others"
    exit 77
fi

if [ -z "$winerun" ]; then
    as_user "$exe" --gtest_filter="$filter"
    exit
fi

mkdir -p "$home" && chown $user:$user "$home" || exit 1
export HOME="$home" WINEPREFIX="$home/wine" WINEDEBUG=-all
if [ ! -e "$WINEPREFIX/system.reg" ]; then
    echo "making the Wine prefix of the unprivileged user in $WINEPREFIX"
    as_user /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
    as_user WINELOADER=/usr/lib/wine/wine64 wineserver -w
fi
as_user "$winerun" "$exe" --gtest_filter="$filter"
