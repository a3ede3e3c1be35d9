#!/usr/bin/env bash
# The default session control and the file manager's ShowItems through GDBus,
# against python3-dbusmock on a private bus that this script starts: the logind
# template (plus the "session/auto" object by which logind names the caller's
# session) and a FileManager1 mock. Checks each call's object, method and
# arguments in the mocks' call logs; and that a bus socket where nothing
# listens, or a bus that never answers, fails in bounded time with a message.
# Usage: bash session_dbus.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
PROBE="$BUILD/tests/session_probe"
[ -x "$PROBE" ] || { echo "session_probe must be built"; exit 1; }

T=$(mktemp -d)
# Nothing here may reach the machine's buses: both names point at the private
# bus from the start.
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$T/bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$T/bus"
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$T"
}
trap cleanup EXIT
FAILS=0
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }

PY=""
for candidate in python3 /usr/bin/python3; do
    if "$candidate" -c 'import dbusmock' 2>/dev/null; then PY=$candidate; break; fi
done
if [ -z "$PY" ]; then
    echo "SKIP: python3-dbusmock is not installed (scripts/deps.sh installs it)"
    exit 77
fi
command -v dbus-daemon >/dev/null || { echo "dbus-daemon is not installed"; exit 1; }

# A bus of its own: no service files, so nothing real is ever started on it.
cat >"$T/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$T/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$T/bus.conf" --nofork --nopidfile --print-address=3 3>"$T/address" 2>"$T/bus.log" &
PIDS+=($!)
for _ in $(seq 100); do [ -s "$T/address" ] && break; sleep 0.1; done
[ -s "$T/address" ] || { echo "the private bus did not start"; exit 1; }

# The calls as they go over the bus, with their argument types (dbusmock's
# call logs hold the arguments converted to the methods' declared types).
command -v dbus-monitor >/dev/null || { echo "dbus-monitor is not installed"; exit 1; }
dbus-monitor --address "$DBUS_SYSTEM_BUS_ADDRESS" "type='method_call',interface='org.freedesktop.login1.Manager'" \
    "type='method_call',interface='org.freedesktop.login1.Session'" \
    "type='method_call',interface='org.freedesktop.FileManager1'" >"$T/monitor.log" 2>&1 &
PIDS+=($!)
# The bus takes the monitor's name away once it watches.
for _ in $(seq 100); do grep -q 'member=NameLost' "$T/monitor.log" && break; sleep 0.1; done
grep -q 'member=NameLost' "$T/monitor.log" || { echo "dbus-monitor did not start"; exit 1; }

"$PY" -m dbusmock --template logind >"$T/logind.log" 2>&1 &
PIDS+=($!)
"$PY" -m dbusmock --session org.freedesktop.FileManager1 /org/freedesktop/FileManager1 \
    org.freedesktop.FileManager1 >"$T/filemanager.log" 2>&1 &
PIDS+=($!)

cat >"$T/mocks.py" <<'PYTHON'
# setup: waits for the mocks, adds the objects and methods they lack, and
# clears the call logs.
# calls: prints the calls on every mock object ("PATH METHOD ARGS...") and
# clears the logs.
import os, sys, time
import dbus

MOCK = 'org.freedesktop.DBus.Mock'
LOGIN = 'org.freedesktop.login1'
FM = 'org.freedesktop.FileManager1'
BASE = '/org/freedesktop/login1'
UID = os.getuid()
OBJECTS = [(LOGIN, BASE), (LOGIN, BASE + '/session/auto'), (LOGIN, BASE + '/session/c1'),
           (LOGIN, f'{BASE}/user/{UID}'), (LOGIN, BASE + '/seat/seat0'), (FM, '/org/freedesktop/FileManager1')]
bus = dbus.bus.BusConnection(os.environ['DBUS_SYSTEM_BUS_ADDRESS'])


def mock(name, path):
    return dbus.Interface(bus.get_object(name, path), MOCK)


def text(value):
    if isinstance(value, dbus.Boolean):
        return 'true' if value else 'false'
    if isinstance(value, dbus.String):
        return repr(str(value))
    if isinstance(value, dbus.Array):
        return '[' + ' '.join(text(item) for item in value) + ']'
    return f'<{type(value).__name__} {value}>'


if sys.argv[1] == 'setup':
    end = time.time() + 30
    while not (bus.name_has_owner(LOGIN) and bus.name_has_owner(FM)):
        if time.time() > end:
            sys.exit('the mocks did not appear on the private bus')
        time.sleep(0.1)
    login = mock(LOGIN, BASE)
    # logind resolves "auto" from the caller's credentials; the mock has a
    # plain object under that name, and another session that must stay alone.
    login.AddObject(BASE + '/session/auto', 'org.freedesktop.login1.Session',
                    dbus.Dictionary({}, signature='sv'), [('Terminate', '', '', '')])
    login.AddSession('c1', 'seat0', dbus.UInt32(UID), 'someone', True)
    mock(FM, '/org/freedesktop/FileManager1').AddMethod(FM, 'ShowItems', 'ass', '', '')
    for name, path in OBJECTS:
        mock(name, path).ClearCalls()
else:
    for name, path in OBJECTS:
        log = mock(name, path)
        for _, method, args in log.GetCalls():
            print(path, method, *(text(arg) for arg in args))
        log.ClearCalls()
PYTHON
"$PY" "$T/mocks.py" setup || { cat "$T/logind.log" "$T/filemanager.log"; exit 1; }

# expect_calls WHAT WANT PROBE-ARGS...: the probe answers "ok" and the mocks
# saw exactly WANT.
expect_calls() {
    local what=$1 want=$2 out got
    shift 2
    out=$(timeout 30 "$@" 2>&1) || fail "$what: $out"
    got=$("$PY" "$T/mocks.py" calls)
    [ "$got" = "$want" ] || fail "$what: the mocks saw [$got], expected [$want]"
}
expect_calls "log off" "/org/freedesktop/login1/session/auto Terminate" "$PROBE" logoff
expect_calls "reboot" "/org/freedesktop/login1 Reboot false" "$PROBE" reboot
expect_calls "power off" "/org/freedesktop/login1 PowerOff false" "$PROBE" poweroff

# ShowItems: an array of one file URI and an empty startup ID. Without PATH
# the fallback (opening the folder) cannot start, so "ok" means the call.
mkdir -p "$T/a folder"
FILE="$T/a folder/it's, é.txt"
: >"$FILE"
URI=$("$PY" -c 'import pathlib, sys; print(pathlib.Path(sys.argv[1]).as_uri())' "$FILE")
expect_calls "show in the file manager" "/org/freedesktop/FileManager1 ShowItems ['$URI'] ''" \
    env PATH=/nonexistent "$PROBE" show "$FILE"

WIRE=$(awk '/^[^ ]/ { keep = ($1 == "method" && $2 == "call") }
    keep && /^[^ ]/ { sub(/.* path=/, ""); sub(/; interface=/, " "); sub(/; member=/, ".") }
    keep' "$T/monitor.log")
WANT_WIRE="/org/freedesktop/login1/session/auto org.freedesktop.login1.Session.Terminate
/org/freedesktop/login1 org.freedesktop.login1.Manager.Reboot
   boolean false
/org/freedesktop/login1 org.freedesktop.login1.Manager.PowerOff
   boolean false
/org/freedesktop/FileManager1 org.freedesktop.FileManager1.ShowItems
   array [
      string \"$URI\"
   ]
   string \"\""
[ "$WIRE" = "$WANT_WIRE" ] || fail "the calls on the bus were
$WIRE
expected
$WANT_WIRE"

# expect_failure WHAT ADDRESS LIMIT-MS: with the system bus at ADDRESS the
# probe fails with a message within LIMIT-MS.
expect_failure() {
    local what=$1 address=$2 limit=$3 out rc=0 start elapsed
    start=$(date +%s%N)
    out=$(DBUS_SYSTEM_BUS_ADDRESS=$address timeout 30 "$PROBE" reboot 2>&1) || rc=$?
    elapsed=$((($(date +%s%N) - start) / 1000000))
    [ "$rc" -eq 1 ] || fail "$what: exit code $rc ($out)"
    [ -n "$out" ] || fail "$what: no message"
    [ "$elapsed" -le "$limit" ] || fail "$what: took $elapsed ms"
    echo "$what: \"$out\" after $elapsed ms"
}
# A socket file that was bound but never listened on: connections are refused.
"$PY" -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$T/refusing"
expect_failure "a bus socket where nothing listens" "unix:path=$T/refusing" 3000
# A socket that accepts and then never says a word: the call's own deadline.
"$PY" -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(); time.sleep(120)' "$T/silent" &
PIDS+=($!)
for _ in $(seq 100); do [ -S "$T/silent" ] && break; sleep 0.1; done
expect_failure "a bus that never answers" "unix:path=$T/silent" 10000
[ -z "$("$PY" "$T/mocks.py" calls)" ] || fail "the mocks saw calls from the failed attempts"

[ "$FAILS" -eq 0 ] && echo "PASS" || { echo "$FAILS failure(s)"; exit 1; }
