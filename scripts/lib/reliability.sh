# Sanitizer, fuzz and figure steps of scripts/test (and scripts/fuzz):
# ThreadSanitizer over the tests that run the worker thread, every fuzz
# target for a bounded time on its corpus, and the closing figures.

# Where the reports of sanitizers and the gtest JSON results of one run go.
reports_dir="$root/build/reports"
fuzz_figures=()

# Called once before the configurations run: fresh report folders, gtest
# results as JSON and sanitizer reports written
# to files, so they can be counted at the end.
prepare_reports() {
  rm -rf "$reports_dir"
  mkdir -p "$reports_dir/sanitizers"
  local common="log_path=$reports_dir/sanitizers/report"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:$common"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:$common"
  export TSAN_OPTIONS="halt_on_error=0:second_deadlock_stack=1:$common"
  export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp"
}

# gtest writes <binary>.json into the configuration's folder (named as Wine
# sees it, drive Z: being the root of the file system, for the Wine runs).
gtest_json_for() {
  local dir="$reports_dir/$1"
  mkdir -p "$dir"
  if [ "$1" = win64 ]; then
    dir="Z:${dir//\//\\}"
    export GTEST_OUTPUT="json:$dir\\"
  else
    export GTEST_OUTPUT="json:$dir/"
  fi
}

# The tests that start, poll, cancel, abort and close fetches on the worker
# thread, or run many sessions at once.
tsan_api_filter='FetchTest.*:FaultTest.BrokenExchanges:FaultTest.StalledAndEndlessBodies:SoakTest.*:FreshLibrary.Unload*'
tsan_unit_filter='TransportHttpRequest.*:TransportHttpSession.*:WinInet.*'

run_tsan_tests() {
  local config=$1 dir="$root/build/$1/bin"
  section "$config: worker-thread tests under ThreadSanitizer"
  gtest_json_for "$config"
  in_dir "$dir" run_gtest "$config/api_tests" "$dir/api_tests" "--gtest_filter=$tsan_api_filter"
  in_dir "$dir" run_gtest "$config/unit_tests" "$dir/unit_tests" "--gtest_filter=$tsan_unit_filter"
  unset GTEST_OUTPUT
}

# Runs every fuzz target of a build for $2 seconds each on a copy of its seed
# corpus (the copy keeps what the run found out of the source tree). A crash
# leaves its input in build/fuzz/findings/<target>/.
run_fuzz_targets() {
  local config=$1 seconds=$2 bin name work findings log execs
  section "$config: each fuzz target for ${seconds}s"
  for bin in "$root/build/$config/bin/"*_fuzz; do
    [ -x "$bin" ] || continue
    name=$(basename "$bin")
    work="$root/build/$config/corpus/$name"
    findings="$root/build/$config/findings/$name"
    log="$root/build/$config/$name.log"
    mkdir -p "$work" "$findings"
    cp -n "$root/fuzz/corpus/$name/"* "$work/" 2>/dev/null
    # libFuzzer's own reports go to its log, not to the sanitizer files.
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$work" >"$log" 2>&1
    local rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    fuzz_figures+=("$name: ${execs:-0} executions")
    if [ $rc -eq 0 ]; then
      passed=$((passed + 1))
      echo "$name: ${execs:-0} executions, no finding"
    else
      grep -E 'ERROR|runtime error|Test unit written' "$log" | head -n 10
      record_failure "$name found a crash (see $log)"
    fi
  done
}

# The figures of a run: fuzz executions, fault cases and soak rounds from the
# gtest results, and the sanitizer reports.
print_figures() {
  section "figures"
  local line
  for line in "${fuzz_figures[@]}"; do echo "fuzz $line"; done
  python3 - "$reports_dir" <<'PY'
import json, pathlib, sys
root = pathlib.Path(sys.argv[1])
for report in sorted(root.glob("*/api_tests*.json")):
    data = json.loads(report.read_text())
    cases = passed_tests = rounds = sessions = 0
    growth = None
    for suite in data.get("testsuites", []):
        for test in suite.get("testsuite", []):
            ok = not test.get("failures") and test.get("result") == "COMPLETED"
            if suite["name"] == "FaultTest" and ok:
                passed_tests += 1
                cases += int(test.get("cases", 0))
            if suite["name"] == "SoakTest" and ok:
                rounds += int(test.get("rounds", 0))
                sessions += int(test.get("sessions", 0))
                if "heapGrowthBytes" in test:
                    growth = max(growth or 0, int(test["heapGrowthBytes"]))
    print(f"{report.parent.name}: fault cases passed {cases} (in {passed_tests} tests), "
          f"soak rounds {rounds}, sessions {sessions}" +
          (f", heap growth after warm-up {growth / 1024:.0f} KiB" if growth is not None else ""))
PY
  local reports
  reports=$(cat "$reports_dir"/sanitizers/report* 2>/dev/null |
    grep -cE '^(==[0-9]+==ERROR|WARNING: ThreadSanitizer|SUMMARY: UndefinedBehaviorSanitizer)|runtime error:')
  echo "sanitizer reports: ${reports:-0}"
  if [ "${reports:-0}" -gt 0 ]; then
    ls "$reports_dir"/sanitizers/
    record_failure "sanitizer reports (see $reports_dir/sanitizers)"
  fi
}
