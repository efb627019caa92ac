# Shared by scripts/test and the other scripts: building a preset, running
# test binaries natively or under Wine, and counting the outcome.

passed=0
failed=0
failures=()
jobs=$(nproc 2>/dev/null || echo 2)

section() { printf '\n=== %s\n' "$*"; }

record_failure() {
  failed=$((failed + 1))
  failures+=("$1")
  echo "FAILED: $1"
}

build_preset() {
  local preset=$1 log="$root/build/$1.log"
  mkdir -p "$root/build"
  if ! cmake --preset "$preset" >"$log" 2>&1; then
    tail -n 40 "$log"
    return 1
  fi
  if ! cmake --build --preset "$preset" -j "$jobs" >>"$log" 2>&1; then
    grep -E 'error|Error|FAILED' "$log" | head -n 40
    return 1
  fi
}

# Adds a gtest binary's counts from its output ($2: the output file).
count_gtest() {
  local name=$1 out=$2 p f
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$out" | tail -n 1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below.*/\1/p' "$out" | tail -n 1)
  # Brief output (--gtest_brief) has no "listed below" summary: count the
  # failed tests themselves.
  [ -z "$f" ] && f=$(grep -cE '^\[  FAILED  \] [A-Za-z_]' "$out")
  p=${p:-0}
  f=${f:-0}
  passed=$((passed + p))
  if [ "$f" -gt 0 ]; then
    failed=$((failed + f))
    failures+=("$name: $f test(s)")
    # Brief output holds little but the failures: show what they said.
    grep -vE '^(Running main|\[==========\]|\[  PASSED  \]|$)' "$out" | head -n 80
  fi
  echo "$name: $p passed, $f failed"
}

# Runs one gtest binary with a command prefix (empty natively, wine elsewhere).
run_gtest() {
  local name=$1
  shift
  local out
  out=$(mktemp)
  "$@" --gtest_brief=1 >"$out" 2>&1
  local rc=$?
  if [ $rc -ne 0 ] && ! grep -q '^\[  FAILED  \]' "$out"; then
    tail -n 60 "$out"
    record_failure "$name exited with $rc"
  fi
  count_gtest "$name" "$out"
  rm -f "$out"
}

# Runs a command in a directory without a subshell, so counts survive.
in_dir() {
  local dir=$1
  shift
  pushd "$dir" >/dev/null || return 1
  "$@"
  popd >/dev/null || true
}

test_binaries() {
  local dir=$1
  find "$dir" -maxdepth 1 -type f \( -name '*_tests' -o -name '*_tests.exe' \) | sort
}

run_native_tests() {
  local config=$1 bin
  section "$config: tests"
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp}
  start_tls_endpoints "$root/build/$config/tls" || record_failure "$config: HTTPS endpoints did not start"
  start_reference_service "$root/build/$config/service" ||
    record_failure "$config: the reference service did not start"
  for bin in $(test_binaries "$root/build/$config/bin"); do
    in_dir "$root/build/$config/bin" run_gtest "$config/$(basename "$bin")" "$bin"
  done
  stop_test_services
}

wine_binary() {
  command -v wine64 2>/dev/null || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || command -v wine
}

# One private Wine prefix per run, inside the build tree.
prepare_wine_prefix() {
  local config=$1
  export WINEPREFIX="$root/build/$config/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$(wine_binary)" wineboot -i >/dev/null 2>&1
  "$(dirname "$(wine_binary)")/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
}

# The servers started for one configuration's tests; stop_test_services ends them.
service_pids=()

# Waits up to 10 s for a server's output file to name its port (the sed
# script prints it) and prints the port.
port_from() {
  local out=$1 script=$2 port i
  for i in $(seq 100); do
    port=$(sed -n "$script" "$out" 2>/dev/null)
    [ -n "$port" ] && { echo "$port"; return 0; }
    sleep 0.1
  done
  return 1
}

# Two HTTPS endpoints on loopback ports the system picks, each with a fresh
# self-signed certificate: one for 127.0.0.1 (untrusted) and one for another
# name. The Windows test programs cannot serve HTTPS themselves (the Linux ones
# also serve it from within); they find the URLs in
# RAVENLINK_TEST_UNTRUSTED_TLS_URL and RAVENLINK_TEST_WRONG_NAME_TLS_URL.
start_tls_endpoints() {
  local dir=$1 name alt port
  rm -rf "$dir"
  mkdir -p "$dir"
  for name in untrusted wrong-name; do
    alt="IP:127.0.0.1"
    [ "$name" = wrong-name ] && alt="DNS:wrong.invalid"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=test' \
      -addext "subjectAltName=$alt" -keyout "$dir/$name.key" -out "$dir/$name.pem" \
      >/dev/null 2>&1 || return 1
    openssl s_server -accept 127.0.0.1:0 -cert "$dir/$name.pem" -key "$dir/$name.key" -www \
      >"$dir/$name.out" 2>&1 </dev/null &
    service_pids+=($!)
    port=$(port_from "$dir/$name.out" 's/^ACCEPT 127\.0\.0\.1:\([0-9]*\)$/\1/p') || return 1
    if [ "$name" = untrusted ]; then
      export RAVENLINK_TEST_UNTRUSTED_TLS_URL="https://127.0.0.1:$port/qvwp/flumeway"
    else
      export RAVENLINK_TEST_WRONG_NAME_TLS_URL="https://127.0.0.1:$port/qvwp/flumeway"
    fi
  done
}

# The reference service (a Linux program) serving the sample notifications
# on a port the system picks, for the soak test of every build:
# RAVENLINK_TEST_SERVICE_URL and RAVENLINK_TEST_SERVICE_INVENTORY.
start_reference_service() {
  local dir=$1 service="$root/build/linux-debug/bin/ravenlink-service" port
  if [ ! -x "$service" ]; then
    { cmake --preset linux-debug && cmake --build --preset linux-debug --target ravenlink-service; } \
      >>"$root/build/linux-debug.log" 2>&1 || return 1
  fi
  # A fresh folder: the port is read from the new process's first line.
  rm -rf "$dir"
  mkdir -p "$dir"
  "$service" --documents "$root/samples/notifications" --port 0 --log "$dir/service.log" \
    >"$dir/service.out" 2>&1 </dev/null &
  service_pids+=($!)
  port=$(port_from "$dir/service.out" 's|^listening on http://127\.0\.0\.1:\([0-9]*\)$|\1|p') || return 1
  export RAVENLINK_TEST_SERVICE_URL="http://127.0.0.1:$port/qvwp/flumeway"
  export RAVENLINK_TEST_SERVICE_INVENTORY="$root/samples/inventory.ini"
}

stop_test_services() {
  local pid
  for pid in "${service_pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  service_pids=()
  unset RAVENLINK_TEST_UNTRUSTED_TLS_URL RAVENLINK_TEST_WRONG_NAME_TLS_URL
  unset RAVENLINK_TEST_SERVICE_URL RAVENLINK_TEST_SERVICE_INVENTORY
}

run_wine_tests() {
  local config=$1 bin wine
  section "$config: tests under Wine"
  wine=$(wine_binary)
  prepare_wine_prefix "$config"
  start_tls_endpoints "$root/build/$config/tls" || record_failure "$config: HTTPS endpoints did not start"
  start_reference_service "$root/build/$config/service" ||
    record_failure "$config: the reference service did not start"
  for bin in $(test_binaries "$root/build/$config/bin"); do
    in_dir "$root/build/$config/bin" run_gtest "$config/$(basename "$bin")" "$wine" "$bin"
  done
  stop_test_services
}

# The product DLL: exactly the exported names of api/ravenlink.def, and
# imports from system DLLs (and the inventory library) only.
run_product_checks() {
  local config=$1 dll="$root/build/$1/bin/ravenlink.dll"
  section "$config: product checks"
  local objdump=i686-w64-mingw32-objdump
  local expected actual
  expected=$(sed -n '/^EXPORTS/,$p' "$root/api/ravenlink.def" | tail -n +2 | awk 'NF {print $1}' | sort)
  actual=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^\s*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
  if [ "$(echo "$expected" | wc -l)" -eq 45 ] && [ "$expected" = "$actual" ]; then
    passed=$((passed + 1))
    echo "exports: the 45 names, nothing else"
  else
    diff <(echo "$expected") <(echo "$actual") | head -n 20
    record_failure "$config exports"
  fi
  local allowed='^(KERNEL32|USER32|ADVAPI32|OLEAUT32|WININET|msvcrt|ZEBSystemUtility)\.dll$'
  local imports bad
  imports=$($objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p')
  bad=$(echo "$imports" | grep -viE "$allowed")
  if [ -z "$bad" ]; then
    passed=$((passed + 1))
    echo "imports: $(echo $imports)"
  else
    echo "unexpected imports: $bad"
    record_failure "$config imports"
  fi
}

summary() {
  echo
  if [ ${#failures[@]} -gt 0 ]; then
    echo "Failures:"
    printf '  %s\n' "${failures[@]}"
  fi
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# Installs a configuration into build/<config>/install and builds
# tests/consumer against it with find_package(ravenlink), using the
# configuration's toolchain. Natively the consumer also runs, and a C file
# builds from the pkg-config file alone.
test_consumer() {
  local config=$1
  local build="$root/build/$config" install="$root/build/$config/install"
  local out="$root/build/$config/consumer" log="$root/build/$config-consumer.log"
  local args=(-DCMAKE_PREFIX_PATH="$install")
  section "$config: install and consumer"
  rm -rf "$install" "$out"
  if ! cmake --install "$build" --prefix "$install" >"$log" 2>&1; then
    tail -n 20 "$log"
    record_failure "$config install"
    return
  fi
  # The cross toolchain searches packages under its own root only.
  [ "$config" = win32 ] && args=(--toolchain "$root/cmake/toolchains/mingw-i686.cmake"
    -Dravenlink_DIR="$install/lib/cmake/ravenlink")
  if cmake -S "$root/tests/consumer" -B "$out" -G Ninja "${args[@]}" >>"$log" 2>&1 &&
    cmake --build "$out" >>"$log" 2>&1; then
    passed=$((passed + 1))
    echo "consumer: built with find_package(ravenlink) against $install"
  else
    tail -n 20 "$log"
    record_failure "$config consumer build"
    return
  fi
  [ "$config" = win32 ] && return
  if ZEB_INVENTORY_FILE="$out/no-inventory.ini" RAVENLINK_REGISTRY="$out/no-registry.reg" \
    "$out/consumer" >>"$log" 2>&1; then
    passed=$((passed + 1))
    echo "consumer: opened and closed a session"
  else
    tail -n 5 "$log"
    record_failure "$config consumer run"
  fi
  local flags
  if flags=$(PKG_CONFIG_PATH="$install/lib/pkgconfig" pkg-config --cflags --libs ravenlink) &&
    cc -std=c11 -Wall -Werror -o "$out/consumer-pc" "$root/tests/consumer/main.c" $flags \
      -Wl,-rpath,"$install/lib" >>"$log" 2>&1; then
    passed=$((passed + 1))
    echo "consumer: built with pkg-config ($flags)"
  else
    tail -n 5 "$log"
    record_failure "$config pkg-config consumer"
  fi
}

# The command-line client against the reference service, end to end.
test_cli_end_to_end() {
  local config=$1 out
  section "$config: command-line client end to end"
  out=$(mktemp)
  "$root/tests/cli/end_to_end.sh" "$root/build/$config/bin" >"$out" 2>&1
  local rc=$? p f
  p=$(grep -c '^ok ' "$out")
  f=$(grep -c '^not ok ' "$out")
  passed=$((passed + p))
  grep '^not ok ' "$out"
  if [ "$f" -gt 0 ]; then
    failed=$((failed + f))
    failures+=("$config/cli end to end: $f check(s)")
  elif [ $rc -ne 0 ]; then
    tail -n 20 "$out"
    record_failure "$config/cli end to end exited with $rc"
  fi
  echo "$config/cli end to end: $p passed, $f failed"
  rm -f "$out"
}
