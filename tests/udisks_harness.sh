#!/bin/sh
# The machine a desktop gives an ordinary user, for the tests of card
# access through UDisks2 and polkit: udev, a system bus, polkit and the
# UDisks2 daemon, an allowed user (a polkit rule grants it the udisks2
# actions) and a denied one (no rule, not in the disk group), and loop
# devices standing for cards.
#
#   udisks_harness.sh run [--share FILE]... -- COMMAND [ARGS...]
#       Starts what is not running yet, makes the users and the rule, runs
#       the command with the environment below, then takes away all it made:
#       the loop devices, the users, the rule, and the daemons it started
#       (by their PIDs; daemons that were running before are left alone).
#       --share copies a file (a program of the build, a stream) to a folder
#       every user may read, since the build folder may be private.
#       Exits 77 with "SKIP: reason" when it cannot run (not root, no loop
#       devices, a daemon missing).
#   udisks_harness.sh attach IMAGE   prints the loop device made over IMAGE,
#       once udev has probed it and UDisks2 shows it
#   udisks_harness.sh detach NODE
#
# The command sees TSCARD_UDISKS_HARNESS (this script), TSCARD_UDISKS_WORK
# (a folder every user may read and the allowed user may write),
# TSCARD_UDISKS_SHARED (the shared copies), TSCARD_UDISKS_ALLOWED and
# TSCARD_UDISKS_DENIED (the users' names).
#
# One run at a time on the machine (a lock in /run): the daemons are shared.
set -eu

allowed=tscard-allowed
denied=tscard-denied
rule=/etc/polkit-1/rules.d/49-tscard-test.rules
udev_rule=/run/udev/rules.d/61-tscard-test.rules
udevd=/lib/systemd/systemd-udevd
polkitd=/usr/lib/polkit-1/polkitd
udisksd=/usr/libexec/udisks2/udisksd
lock=/run/tscard-udisks-harness.lock
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

say() { echo "udisks harness: $*" >&2; }
skip() {
    echo "SKIP: $*"
    exit 77
}

# Whether a name is owned on the system bus.
on_bus() {
    dbus-send --system --print-reply --reply-timeout=2000 --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q "boolean true"
}

bus_up() {
    dbus-send --system --print-reply --reply-timeout=2000 --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetId >/dev/null 2>&1
}

wait_for() {
    tries=0
    while ! "$@"; do
        tries=$((tries + 1))
        [ $tries -ge 100 ] && return 1
        sleep 0.1
    done
}

case "${1:-}" in
attach)
    [ $# -eq 2 ] || { say "usage: attach IMAGE"; exit 2; }
    node=$(losetup --find --show "$2")
    # udev probes a new device (and holds it for a moment); UDisks2 learns
    # of it from udev.
    udevadm settle --timeout=10 || true
    if ! wait_for udisksctl info -b "$node" >/dev/null 2>&1; then
        losetup --detach "$node"
        say "UDisks2 does not show $node"
        exit 1
    fi
    echo "$node"
    exit 0
    ;;
detach)
    [ $# -eq 2 ] || { say "usage: detach NODE"; exit 2; }
    losetup --detach "$2"
    udevadm settle --timeout=10 || true
    exit 0
    ;;
run) shift ;;
*)
    say "usage: $0 run [--share FILE]... -- COMMAND [ARGS...] | attach IMAGE | detach NODE"
    exit 2
    ;;
esac

shares=""
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    case "$1" in
    --share) shares="$shares $2"; shift 2 ;;
    *) say "unknown option $1"; exit 2 ;;
    esac
done
[ "${1:-}" = "--" ] && shift
[ $# -gt 0 ] || { say "no command"; exit 2; }

[ "$(id -u)" -eq 0 ] || skip "needs root (to start the daemons, make the test users and loop devices)"
[ -e /dev/loop-control ] || skip "no /dev/loop-control: loop devices cannot be made"
for program in "$udevd" "$polkitd" "$udisksd"; do
    [ -x "$program" ] || skip "$program missing (scripts/setup.sh installs it)"
done
for program in dbus-daemon dbus-send udevadm udisksctl losetup useradd userdel setpriv flock; do
    command -v "$program" >/dev/null 2>&1 || skip "$program missing"
done

exec 9>"$lock"
flock --wait 600 9 || { say "another run holds $lock"; exit 1; }

work=$(mktemp -d /tmp/tscard-udisks-XXXXXX)
started=""
made_users=""

cleanup() {
    status=$?
    set +e
    # Loop devices over the run's images, whoever attached them.
    losetup --list --noheadings --output NAME,BACK-FILE 2>/dev/null | while read -r node file; do
        case "$file" in "$work"/*) losetup --detach "$node" ;; esac
    done
    udevadm settle --timeout=10 >/dev/null 2>&1
    for user in $made_users; do userdel "$user" >/dev/null 2>&1; done
    rm -f "$rule" "$udev_rule"
    # The last started first: udisksd, polkitd, the bus, udevd.
    for pid in $started; do
        kill "$pid" 2>/dev/null
        n=0
        while kill -0 "$pid" 2>/dev/null && [ $n -lt 50 ]; do
            sleep 0.1
            n=$((n + 1))
        done
        kill -9 "$pid" 2>/dev/null
    done
    [ -n "$udev_reload" ] && udevadm control --reload >/dev/null 2>&1
    rm -rf "$work"
    exit $status
}
udev_reload=""
trap cleanup EXIT
trap 'exit 130' INT TERM

chmod 755 "$work"
mkdir "$work/shared" "$work/cards"
for file in $shares; do cp "$file" "$work/shared/"; done
chmod -R a+rX "$work/shared"

# The users first: the rule names one of them.
for user in $allowed $denied; do
    getent passwd "$user" >/dev/null && userdel "$user" >/dev/null 2>&1
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
    made_users="$made_users $user"
done
chown "$allowed" "$work/cards"
mkdir -p "$(dirname "$rule")"
cat >"$rule" <<EOF
// Made by the tscard tests; removed when they end.
polkit.addRule(function(action, subject) {
    if (action.id.indexOf("org.freedesktop.udisks2.") == 0 && subject.user == "$allowed")
        return polkit.Result.YES;
});
EOF

# The cards' loop devices look like an SD card in a USB reader, not like
# one of the system's disks.
mkdir -p "$(dirname "$udev_rule")"
cat >"$udev_rule" <<EOF
KERNEL=="loop*", ATTR{loop/backing_file}=="$work/cards/*", ENV{UDISKS_SYSTEM}="0"
EOF

if ! pgrep -x systemd-udevd >/dev/null; then
    "$udevd" --daemon >/dev/null 2>&1 || skip "systemd-udevd does not start"
    pid=$(pgrep -x -n systemd-udevd) || skip "systemd-udevd does not stay up"
    started="$pid $started"
fi
udevadm control --reload >/dev/null 2>&1
udev_reload=1

if ! bus_up; then
    mkdir -p /run/dbus
    # A pid file left by a bus that is gone keeps a new one from starting.
    if [ -f /run/dbus/pid ] && ! kill -0 "$(cat /run/dbus/pid)" 2>/dev/null; then rm -f /run/dbus/pid; fi
    pid=$(dbus-daemon --system --fork --print-pid) || skip "the system bus does not start"
    started="$pid $started"
    wait_for bus_up || skip "the system bus does not answer"
fi

if ! on_bus org.freedesktop.PolicyKit1; then
    "$polkitd" --no-debug >"$work/polkitd.log" 2>&1 &
    started="$! $started"
    wait_for on_bus org.freedesktop.PolicyKit1 || skip "polkitd does not come up on the bus: $(cat "$work/polkitd.log")"
else
    # A running polkitd reads the new rule on its own; give it a moment.
    sleep 1
fi

if ! on_bus org.freedesktop.UDisks2; then
    "$udisksd" --no-debug >"$work/udisksd.log" 2>&1 &
    started="$! $started"
    wait_for on_bus org.freedesktop.UDisks2 || skip "udisksd does not come up on the bus: $(cat "$work/udisksd.log")"
fi

export TSCARD_UDISKS_HARNESS="$self"
export TSCARD_UDISKS_WORK="$work/cards"
export TSCARD_UDISKS_SHARED="$work/shared"
export TSCARD_UDISKS_ALLOWED="$allowed"
export TSCARD_UDISKS_DENIED="$denied"
set +e
"$@"
status=$?
set -e
exit $status
