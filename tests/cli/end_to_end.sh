#!/usr/bin/env bash
# ravenlink-cli against ravenlink-service on a loopback port, with a private
# registry file and inventory file: fetch, save, load, ping, explain, the
# exit status and message of failures. Prints one "ok"/"not ok" line per
# check; exits non-zero when a check failed.
#   tests/cli/end_to_end.sh BIN_DIR
set -uo pipefail
bin=$(cd "${1:?usage: end_to_end.sh BIN_DIR}" && pwd)
work=$(mktemp -d)
service_pid=""
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

checks=0
failures=0
check() {  # description, then a command that must succeed
  local what=$1
  shift
  checks=$((checks + 1))
  if "$@"; then
    echo "ok $checks - $what"
  else
    failures=$((failures + 1))
    echo "not ok $checks - $what"
  fi
}
has() { grep -qF -- "$2" "$1"; }
lacks() { ! grep -qF -- "$2" "$1"; }
same() { cmp -s "$1" "$2"; }

upc='{11111111-2222-3333-4444-555555555555}'
installing="<conditions><product upc=\"$upc\" status=\"installing\" verMin=\"1.0\" verMax=\"2.0\"/></conditions>"
installed="<conditions><product upc=\"$upc\" status=\"installed\" verMin=\"1.0\" verMax=\"2.0\"/></conditions>"

# document ID target severity conditions [minEngineVersion]
document() {
  local engine=""
  [ -n "${5:-}" ] && engine=" minEngineVersion=\"$5\""
  cat >"$work/docs/$1.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<notification$engine><ID>$1</ID><targetApplication>$2</targetApplication><severity>$3</severity>
<messageFamily>family</messageFamily><status code="live"/>$4
<messages><message lang="9"><title>Title $1</title><body>Body $1</body>
<moreInfoUrl>http://example.invalid/$1</moreInfoUrl>
<displayNames><displayName guid="$upc" verMin="1.0" verMax="2.0">Product $1</displayName></displayNames>
</message></messages></notification>
XML
}
mkdir -p "$work/docs"
document N-1 cli Warning "$installing"
document N-2 other Info "$installing"
document N-3 cli Critical "$installed"
document N-4 cli Info "$installing" 18

# Starts the service (extra arguments pass through) and points the registry at it.
start_service() {
  [ -n "$service_pid" ] && kill "$service_pid" && wait "$service_pid" 2>/dev/null
  : >"$work/service.out"
  "$bin/ravenlink-service" --documents "$work/docs" --port 0 --log "$work/service.log" "$@" \
    >"$work/service.out" 2>&1 &
  service_pid=$!
  local port="" i
  for i in $(seq 100); do
    port=$(sed -n 's|^listening on http://127.0.0.1:\([0-9]*\)$|\1|p' "$work/service.out")
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { echo "the service did not start"; cat "$work/service.out"; exit 1; }
  url="http://127.0.0.1:$port/qvwp/flumeway"
  write_registry ""
}
write_registry() {
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Flumeway]\n"URL"="%s"\n"S_URL"="%s"\n%s' \
    "$url" "$url" "$1" >"$work/registry.reg"
}
export RAVENLINK_REGISTRY="$work/registry.reg"
export ZEB_INVENTORY_FILE="$work/inventory.ini"

cli() {  # output name, then arguments; stdout to NAME.out, stderr to NAME.err, status to rc
  local name=$1
  shift
  "$bin/ravenlink-cli" "$@" --wrapperlib cli --installing-product "$upc,1.5" \
    >"$work/$name.out" 2>"$work/$name.err"
  rc=$?
}

start_service

cli table fetch
check "fetch succeeds" [ "$rc" -eq 0 ]
check "fetch prints the one message that applies" has "$work/table.out" "1 message applies (1 discarded"
check "the message's fields" has "$work/table.out" "severity     warning"
check "the required item it recorded" has "$work/table.out" "required     product $upc 1.5 (installing)"
check "the display name and its flags" has "$work/table.out" "Product N-1 [1.0 .. 2.0] $upc (flags: applies)"
check "another application's notification is not served" lacks "$work/table.out" "N-2"
check "a notification whose conditions fail is not printed" lacks "$work/table.out" "N-3"

cli fetched fetch --json
check "fetch --json lists N-1 only" \
  [ "$(grep -o '"id": "[^"]*"' "$work/fetched.out")" = '"id": "N-1"' ]
check "fetch --json has the discarded count" has "$work/fetched.out" '{"discarded": 1,'

cli saved save "$work/answer.xml" --json
check "save succeeds and writes the answer" [ "$rc" -eq 0 -a -s "$work/answer.xml" ]
cli loaded load "$work/answer.xml" --json
check "loading the saved answer gives what the fetch gave" same "$work/fetched.out" "$work/loaded.out"

cli explained explain "$work/answer.xml"
check "explain: the kept notification" has "$work/explained.out" "N-1: kept  [warning] Title N-1"
check "explain: the record that decided it" has "$work/explained.out" "installing: $upc [1.5 .. 1.5]"
check "explain: the dropped one and its false node" has "$work/explained.out" "false product $upc [1.0 .. 2.0] is installed"
check "explain: the one discarded for its engine version" has "$work/explained.out" "discarded (needs engine 18, this is 17.0.0)"
check "explain: the totals" has "$work/explained.out" "1 kept, 1 dropped, 1 discarded"

cli ping ping
check "ping succeeds" [ "$rc" -eq 0 ]
check "the answers came gzip-encoded" has "$work/service.log" "gzip"

write_registry '"DisableEncoding"="1"'
: >"$work/service.log"
cli plain fetch --json
check "with encoding disabled the answer is the same" same "$work/fetched.out" "$work/plain.out"
check "and it came without gzip" lacks "$work/service.log" "gzip"

cli missing load "$work/no-such-answer.xml"
check "loading a missing file fails with result 5" [ "$rc" -eq 5 ]
check "and says so in words" has "$work/missing.err" "LoadNotificationResponse: failed (5)"

start_service --status-code 500
cli refused fetch
check "a failing service fails the fetch" [ "$rc" -eq 3 -o "$rc" -eq 4 ]
check "the message names the result code in words" \
  grep -qE "fetch: (transport failed \(3\)|refused \(4\))$" "$work/refused.err"

kill "$service_pid" && wait "$service_pid" 2>/dev/null
service_pid=""
cli unreachable fetch
check "no service: transport failed" [ "$rc" -eq 3 ]
check "and says so" has "$work/unreachable.err" "fetch: transport failed (3)"

cli usage fetch --no-such-option
check "a bad command line exits with 2" [ "$rc" -eq 2 ]

echo "$((checks - failures)) of $checks checks passed"
[ "$failures" -eq 0 ]
