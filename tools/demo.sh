#!/usr/bin/env bash
# A short formula session against two stand-in assistants, run by
# `./pintle demo` (which builds what it runs and sets up Wine first).
set -euo pipefail
BUILD=$1
DEMO=$BUILD/demo
rm -rf "$DEMO"
mkdir -p "$DEMO/terminal" "$DEMO/assistant0" "$DEMO/assistant1"
cp "$BUILD/Pintle.dll" "$BUILD/pintle-call.exe" "$DEMO/terminal/"

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap 'cleanup; wineserver -k >/dev/null 2>&1 || true' EXIT

start_assistant() {  # number, extra options...
    local n=$1; shift
    local dir=$DEMO/assistant$n
    # A copy per assistant: each keeps its value store beside its executable.
    cp "$BUILD/Kovalt.exe" "$dir/"
    (cd "$dir" && exec wine "$dir/Kovalt.exe" --number "$n" --journal "$(winepath -w "$dir")\\journal.txt" "$@" \
        >"$dir/output.txt" 2>&1) &
    pids+=($!)
    for _ in $(seq 100); do grep -q ready "$dir/output.txt" 2>/dev/null && return 0; sleep 0.1; done
    echo "assistant $n did not start" >&2
    cat "$dir/output.txt" >&2
    exit 1
}

# What assistant 0 publishes: account figures, two positions and two orders.
cat >"$DEMO/assistant0/state.txt" <<'STATE'
account 0 100000.5
account 1 52000
position 600000 v0=300 v1=300 v2=300 v3=10.25 index=0
position 000001 v0=1000 v1=0 v2=1000 v3=8.8 index=0
order 600000 kind=0 qty=500 filled=200 index=0
order 000001 kind=1 qty=300 filled=0 index=0
STATE
# Assistant 0 also keeps a history series (slot 90, 5-minute buckets) with
# entries at 09:30 and 10:00 local time on 2026-03-05, and a day close of 10
# in slot 86 on 2019-01-02.
start_assistant 0 --extra-receivers 1 --state "$(winepath -w "$DEMO/assistant0")\\state.txt" \
    --store "600000 0 0 100 0 1.5" \
    --store "600000 0 0 90 4 10.2 1772674200" --store "600000 0 0 90 4 10.8 1772676000" \
    --store "600000 0 0 86 8 10 1546412400"
start_assistant 1 --store "000001 0 0 100 0 2"

# The stand-in finance site serves the project's share-bonus pages; the
# terminal finds it through ShareBonusHost in Pintle.ini.
SITE=$DEMO/site
PAGES=$(winepath -w "$(cd "$(dirname "$0")/.." && pwd)/tests/data/sharebonus")
mkdir -p "$SITE"
(cd "$SITE" && exec wine "$BUILD/bonus-server.exe" --root "$PAGES" \
    --port-file "$(winepath -w "$SITE")\\port.txt" --journal "$(winepath -w "$SITE")\\requests.txt" \
    >"$SITE/output.txt" 2>&1) &
pids+=($!)
for _ in $(seq 100); do [ -s "$SITE/port.txt" ] && break; sleep 0.1; done
printf '[Settings]\r\nShareBonusHost=127.0.0.1:%s\r\n' "$(tr -d '\r\n' <"$SITE/port.txt")" >>"$DEMO/terminal/Pintle.ini"

cat >"$DEMO/terminal/session.txt" <<'SCRIPT'
# A DZH formula: buy 300 shares at 10.50 with formula 3 on assistant 0, on the last bar.
echo == BUY on the last bar (assistant 0)
call BUY --label SH600000 --arg 10.5 --arg 300 --arg 3 --arg 0
echo == the same formula on a bar before the last: nothing is sent
call BUY --label SH600000 --bar-by-bar 1 --index 1 --arg 10.5 --arg 300 --arg 3 --arg 0
echo == PosInfo: held quantity (value 0) of 600000 at assistant 0, then its value 3
call PosInfo --label SH600000 --arg 0 --arg 0
call PosInfo --label SH600000 --arg 3 --arg 0
echo == OrderInfo: outstanding quantity of 600000's orders of trade kind 0
call OrderInfo --label SH600000 --arg 0 --arg 0 --arg 0
echo == CancelOrder (trade kind 1 counted from 1 is stored kind 0): 300 outstanding, so it is sent
call CancelOrder --label SH600000 --arg 1 --arg 0
echo == the C interface of other programs: held codes, orders of kind 1 (stored 0), a position value
capi GetAllPositionCode 0
capi GetAllOrderCode 0 1
capi GetPosInfo 000001 3 0
echo == CLEARPOSITION with formula 5 (assistant 0)
call CLEARPOSITION --label SH600000 --arg 5 --arg 0
echo == TDX 34: assistant 0's day closes (slot 86; 5 in front of the code: day period) on two bars, the
echo == close of 2019-01-02 adjusted for the dividends since, from the finance site (before any quote is pushed)
tdx 34 --a 5600000 --b 86 --c 1190102,1190103
echo == SELL to assistant 1, account index 1 (selector 21)
call SELL --label SZ000001 --arg 8.8 --arg 200 --arg 4 --arg 21
echo == quotes: field 1 of SH600000 is 10.6; the push (field 4) sends the batch with the last close in field 0
call SendQuote --label SH600000 --arg 10.6 --arg 1 --arg 0
call SendQuote --label SH600000 --arg 0 --arg 4 --arg 0
echo == the TDX terminal: register, choose assistant 0, price override, buy, marker
register
tdx 7 --a 0 --b 1
tdx 15 --a 600000 --b 0 --c 10.55
tdx 1 --a 600000 --b 3 --c 100
echo == TDX 3 and 4: position value 0 of 000001, outstanding quantity of 600000's kind-0 orders
tdx 3 --a 1 --b 0
tdx 4 --a 600000 --b 0 --c 0
tdx 39 --a 1600000 --b 1261207 --c 10.6
echo == Set and Get of an own slot: 1.5 under slot 100, qualifier 2; another qualifier reads 0
call Set --label SH600000 --arg 1.5 --arg 100 --arg 2 --arg 0
call Get --label SH600000 --arg 100 --arg 2 --arg 0 --arg 0
call Get --label SH600000 --arg 100 --arg 3 --arg 0 --arg 0
echo == a history series read back onto 15-minute bars: assistant 0's slot 90, carried forward from bar 2 on
call Get --label SH600000 --period 5 --times 1772674200,1772675100,1772676000,1772676900 --arg 90 --arg 0 --arg 0 --arg 0
echo == a rating: nothing stored yet, so assistant 0 is asked for one
call AiRating --label SH600000 --arg 1 --arg 0 --arg 0 --arg 0
echo == TDX: Set with a qualifier digit in front of the code, Get with key number 1, SetGlobal and GetGlobal
tdx 24 --a 1600000 --b 100 --c 4.5
tdx 25 --a 600000 --b 100 --c 1
tdx 26 --a 0 --b 101 --c 7
tdx 27 --a 0 --b 101
echo == TDX dated history: 30, 31, 32 store 2.5 under slot 10001 for the bar 2024-03-15 10:30 (minute period)
tdx 30 --a 600000 --b 10001 --c 1240315
tdx 31 --a 600000 --b 10001 --c 1030
tdx 32 --a 600000 --b 10001 --c 2.5
echo == 33 gives the bar times, 34 the bar dates: the series bar by bar, nan where no entry
tdx 33 --a 600000 --b 10001 --c 1029,1030,1031
tdx 34 --count 3 --a 600000 --b 10001 --c 1240315
SCRIPT

echo "=== pintle-call --script session.txt"
(cd "$DEMO/terminal" && wine pintle-call.exe --script session.txt) | tr -d '\r' | grep -v -E '^(entry|bytes) '
sleep 0.5
for n in 0 1; do
    echo
    echo "=== what assistant $n received (journal, without the raw bytes)"
    sed 's/ bytes=.*//' "$DEMO/assistant$n/journal.txt"
done
echo
if grep -q -a '^GET ' "$SITE/requests.txt" 2>/dev/null; then
    echo "=== pages the stand-in finance site served"
    grep -a '^GET ' "$SITE/requests.txt" | tr -d '\r'
    echo
fi
echo "=== the day's log: $DEMO/terminal/助手日志/"
cat "$DEMO"/terminal/助手日志/*.log | tr -d '\r'
echo
echo "=== assistant 0's value store, printed by pintle-inspect"
wine "$BUILD/pintle-inspect.exe" "$(winepath -w "$DEMO/assistant0/TradeSelfData/data.db")"
echo
echo "=== the terminal's own value store (what Set and TDX 24/26 wrote)"
wine "$BUILD/pintle-inspect.exe" "$(winepath -w "$DEMO/terminal/TradeSelfData/data.db")"
