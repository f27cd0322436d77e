#!/bin/sh
# Two accounts on one machine, each with its own running copy of the same installed program:
# neither copy takes the other's channel, a second start shows the starting user's own copy, and
# --quit ends only that user's. Makes the two accounts itself, so it runs only as root; elsewhere
# it says so and counts as skipped (exit code 77).
# Usage: two_accounts_test.sh PROGRAM
set -u
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: the two accounts can only be made by root"
    exit 77
fi
work=$(mktemp -d)
chmod 755 "$work"
cp "$1" "$work/kestaro-zelvan"
users="kestaro-test-a kestaro-test-b"
cleanup() {
    for user in $users; do pkill -KILL -u "$user"; done
    wait
    for user in $users; do userdel -r "$user" 2>/dev/null; done
    rm -rf /tmp/runtime-kestaro-test-a /tmp/runtime-kestaro-test-b
    rm -rf "$work"
}
trap cleanup EXIT
for user in $users; do
    id "$user" >/dev/null 2>&1 || useradd -m "$user" || exit 1
done

# The program as USER starts it, with no runtime folder set (the toolkit then makes
# /tmp/runtime-USER, the user's alone), for at most SECONDS.
start() {
    seconds=$1
    user=$2
    shift 2
    timeout "$seconds" runuser -u "$user" -- env -i HOME="/home/$user" PATH=/usr/bin:/bin \
        QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$work/kestaro-zelvan" "$@"
}
fail() {
    echo "FAILED: $*"
    exit 1
}
listening() {  # USER: waits until the user's copy has made its socket, wherever that is
    for _ in $(seq 100); do
        [ -n "$(find /tmp -maxdepth 2 -type s -user "$1" -name 'kestaro-zelvan-*')" ] && return 0
        sleep 0.1
    done
    return 1
}

start 120 kestaro-test-a 2>/dev/null &
first=$!
listening kestaro-test-a || fail "the first user's copy does not listen"
start 120 kestaro-test-b 2>/dev/null &
second=$!
listening kestaro-test-b || fail "the second user's copy does not listen"
kill -0 "$first" 2>/dev/null || fail "the first user's copy ended when the second started"

start 20 kestaro-test-b 2>/dev/null
code=$?
[ "$code" -eq 0 ] || fail "a second start by the second user did not end with 0 ($code)"
start 20 kestaro-test-b --quit 2>/dev/null
code=$?
[ "$code" -eq 3 ] || fail "--quit by the second user gave $code, not 3"
for _ in $(seq 50); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "the second user's copy still runs"
kill -0 "$first" 2>/dev/null || fail "the second user's --quit ended the first user's copy"
start 20 kestaro-test-a --quit 2>/dev/null
code=$?
[ "$code" -eq 3 ] || fail "--quit by the first user gave $code, not 3"
echo "ok: each user has a copy of his own; a second start and --quit reach only his"
