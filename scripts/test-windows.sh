#!/usr/bin/env bash
# Runs the cross-built test programs of the Windows builds
# (scripts/build-windows.sh) under wine, each build in a wine prefix of its own
# inside its build folder: the 64-bit build/windows64/ under wine64, the
# 32-bit build/windows/ under wine32. A machine without wine32 (its i386
# packages cannot match the amd64 ones) runs the 64-bit build only, and one
# line says that the 32-bit programs were not run.
#
# Usage: bash scripts/test-windows.sh [32] [64]   (default: both)
#
# A 32-bit program under a wine without its 32-bit part (wine32) ends with 0
# having run nothing, so an exit code proves nothing: a program passes only
# when it also printed GoogleTest's own "[  PASSED  ]" line and no failure.
#
# Some cases check the POSIX side or need tools of a POSIX system (/bin/sh
# syntax, zip, iconv, base64, the runtime program at its Linux place); they
# are left out here by the filters below. After the test programs, the
# end-to-end run of the packer and the runtime (tests/windows/e2e_wine.sh)
# counts as one more program.
set -euo pipefail
cd "$(dirname "$0")/.."
# The user-interface programs need a display: without one, run under Xvfb.
if [ -z "${DISPLAY:-}" ]; then
  exec bash scripts/with-display.sh bash "$0" "$@"
fi
OUT32=${NORVANE_WIN_BUILD:-$PWD/build/windows}
OUT64=${NORVANE_WIN64_BUILD:-$PWD/build/windows64}
BITS=("$@")
[ ${#BITS[@]} -gt 0 ] || BITS=(64 32)
export WINEDEBUG=${WINEDEBUG:--all}
# No prompt for the .NET runtime; mshtml stays, as it registers the MIME database.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=}

# Program -> GoogleTest filter of the cases that cannot run on Windows.
declare -A EXCLUDE=(
  # The built runtime program and helpers started through /bin/sh.
  [ExeUtilsTest]="ExeUtilsImageEnd.BuiltProgramsEndWhereTheirFilesEnd:ExeUtilsImageEnd.OtherFilesAreRefusedByPath:ExeUtilsCopy.*:ExeUtilsRunning.*"
  # Expected bytes come from iconv through /bin/sh.
  [ProjectIniTest]="ProjectIniEncoding.Utf16InBothByteOrdersMatchesIconv:ProjectIniEncoding.Windows1252DefinedBytesMatchIconv:ProjectIniEncoding.SettingsFileWrittenInWindows1252"
  # The freedesktop content-type files, '/' in expected paths, the base64
  # tool, and a character class that GoogleTest's regular expressions on
  # Windows do not have.
  [StrUtilsTest]="GetFileMIMEType.SystemSourcesOverrideInTheirOrder:GetFileMIMEType.TableIsBuiltOnceUntilTheSourcesChange:GetFileMIMEType.TableBuiltAheadReadsTheSameAndGivesWayToNewSources:GetFileMIMEType.UsesTheSystemSourcesByDefault:SystemMimeSources.*:GetCompilerCacheDir.*:DecodeBase64.DecodesWhatTheSystemEncoderWritesForEveryLength:GetControlRandomSuffix.NameDashTenCharacters"
  # A file name holding '?' and a POSIX absolute path taken again as a path
  # beside the executable: neither exists on Windows.
  [WindowsTest]="ResourceHandlerTest.ArchiveFirstThenBesideTheExecutableThenTheAbsolutePath:ResourceHandlerTest.OnlyPercentTwentyIsDecodedAndAQueryStaysInTheName"
)

# run_build BITS OUT: the test programs and the end-to-end run of one build;
# adds to passed and failed.
run_build() {
  local bits=$1 OUT=$2
  export WINEPREFIX=$OUT/wineprefix
  echo "windows $bits-bit: $OUT"
  # The test programs of the build's current configuration.
  programs=()
  while read -r name; do
    programs+=("$OUT/tests/$name.exe")
  done < <(ctest --test-dir "$OUT" -N | sed -n 's/^ *Test *#[0-9]*: \(.*\)$/\1/p')
  if [ ${#programs[@]} -eq 0 ]; then
    echo "test-windows: no test programs in $OUT/tests (run scripts/build-windows.sh)" >&2
    return 1
  fi
  # A new prefix is complete (its registry written) once every wine process of
  # the set-up has ended.
  if [ ! -d "$WINEPREFIX" ]; then
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w || true
  fi

  for exe in "${programs[@]}"; do
    name=$(basename "$exe" .exe)
    filter="*"
    [ -n "${EXCLUDE[$name]:-}" ] && filter="*-${EXCLUDE[$name]}"
    log="$OUT/tests/$name.wine.log"
    note=""
    for attempt in 1 2; do
      status=0
      (cd "$OUT/tests" && timeout 600 wine "$exe" --gtest_filter="$filter") >"$log" 2>&1 || status=$?
      # A signal that ended wine's own loader (not the Windows program, whose
      # faults end it with a code below 128) is wine's fault: one more try.
      if [ "$status" -gt 128 ] && [ "$status" -ne 137 ] && [ "$attempt" -eq 1 ]; then
        note=" (wine ended by signal $((status - 128)) once; tried again)"
        continue
      fi
      # Wine could not start the program at all (its own launcher reports
      # "ShellExecuteEx failed" and the program printed nothing): once more.
      if [ "$status" -ne 0 ] && [ "$attempt" -eq 1 ] && grep -q 'ShellExecuteEx failed' "$log" &&
        ! grep -q '^\[==========\]' "$log"; then
        note=" (wine could not start it once; tried again)"
        continue
      fi
      break
    done
    if [ "$status" -eq 0 ] && grep -q '^\[  PASSED  \]' "$log" && ! grep -q '^\[  FAILED  \]' "$log"; then
      echo "PASS $name: $(grep '^\[  PASSED  \]' "$log" | sed 's/^\[  PASSED  \] //')$note"
      passed=$((passed + 1))
    else
      echo "FAIL $name (exit $status)$note; its output:"
      sed 's/^/    /' "$log"
      failed=$((failed + 1))
    fi
  done
  # End to end: the packer and the runtime's start-up windows (tests/windows/e2e_wine.sh).
  if [ -f "$OUT/runtime/norvane-runtime.exe" ]; then
    status=0
    # The packer of this build also packs onto the other build's runtime.
    local other=$OUT64
    [ "$bits" = 64 ] && other=$OUT32
    other=$other/runtime/norvane-runtime.exe
    [ -f "$other" ] || other=""
    NORVANE_E2E_OTHER_RUNTIME=$other bash tests/windows/e2e_wine.sh "$OUT" >"$OUT/tests/e2e_wine.log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
      grep -E '^(PASS|NOTE) ' "$OUT/tests/e2e_wine.log" | sed 's/^/    /'
      echo "PASS e2e_wine: $(grep '^e2e: ' "$OUT/tests/e2e_wine.log" | sed 's/^e2e: //')"
      passed=$((passed + 1))
    else
      echo "FAIL e2e_wine (exit $status); its output:"
      sed 's/^/    /' "$OUT/tests/e2e_wine.log"
      failed=$((failed + 1))
    fi
  else
    echo "FAIL e2e_wine: $OUT/runtime/norvane-runtime.exe is not built"
    failed=$((failed + 1))
  fi
}

passed=0
failed=0
summary=()
for bits in "${BITS[@]}"; do
  case $bits in
    64)
      # Debian's wine runs 64-bit programs with wine64's loader.
      if [ ! -x /usr/lib/wine/wine64 ] && ! command -v wine64 >/dev/null; then
        echo "FAIL windows 64-bit: wine64 is not installed (scripts/build-windows.sh installs it)"
        failed=$((failed + 1))
        continue
      fi
      before=$((passed + failed))
      run_build 64 "$OUT64" || failed=$((failed + 1))
      summary+=("64-bit $((passed + failed - before)) run")
      ;;
    32)
      # Without wine32 (its loader /usr/lib/wine/wine), a 32-bit program runs nothing.
      if [ ! -x /usr/lib/wine/wine ]; then
        echo "windows 32-bit: NOT RUN - wine32 is not installed (it cannot be on this machine); $OUT32 is built and linked only"
        summary+=("32-bit not run: no wine32")
        continue
      fi
      before=$((passed + failed))
      run_build 32 "$OUT32" || failed=$((failed + 1))
      summary+=("32-bit $((passed + failed - before)) run")
      ;;
    *)
      echo "usage: test-windows.sh [32] [64]" >&2
      exit 2
      ;;
  esac
done
summary_text=$(printf '%s, ' "${summary[@]}")
echo "windows: $passed passed, $failed failed (${summary_text%, })"
[ "$failed" -eq 0 ]
