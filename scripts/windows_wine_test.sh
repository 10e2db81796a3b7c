#!/usr/bin/env bash
# Runs talvor-cli.exe under Wine and the Linux talvor-cli side by side, each on its own copy of
# one demo site, and checks that Windows gives the same bytes: the demo site, every routine of
# the "Common Post-Convert Utils" group answered "yes" (report files, transcript, messages, exit
# status), every record and row afterwards, the journals, `runs` and `runs show`, undo of every
# run back to the site as it was made, and `recfile save` / `recfile load`.
#
# Both sites are run from their own folder with the demo's talvor.cfg, whose data path
# ("data") and database alias are written the same way on both systems.
#
# Records and rows are compared as the Linux build reads them: `recfile save` of every record
# file and sqlite3's `.dump` of every database, whichever system wrote them.
#
# What differs on purpose is masked, and only there: the start time of a run (journal
# "started" lines, run IDs, `runs`), the times "Match Pol/Clt Prd" prints at its start and end,
# and the CR that Windows' console adds before each LF of standard output and standard error.
#
# Usage: scripts/windows_wine_test.sh LINUX_CLI WINDOWS_CLI [clients, default 300] [SUITE]
# SUITE, when given, is a GoogleTest program for Windows (tests/windows) run under Wine first.
# Prints one line per failed check and "windows-wine: N passed, M failed"; exits non-zero when
# a check fails.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 LINUX_CLI WINDOWS_CLI [clients]" >&2
  exit 2
fi
linux_cli=$(realpath "$1")
windows_cli=$(realpath "$2")
clients=${3:-300}
suite=${4:+$(realpath "$4")}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
for tool in "$linux_cli" "$windows_cli" "$wine" "$(command -v sqlite3)"; do
  if [ ! -x "$tool" ] && [ ! -f "$tool" ]; then
    echo "windows-wine: $tool is missing (scripts/setup.sh installs wine64 and sqlite3)" >&2
    exit 1
  fi
done

scratch=$(mktemp -d)
export WINEPREFIX=$scratch/wineprefix WINEDEBUG=-all
# No Mono or Gecko: the prefix would offer to fetch them.
export WINEDLLOVERRIDES="mscoree=;mshtml="
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() {
  failed=$((failed + 1))
  echo "windows-wine: FAIL $*"
}
# same WHAT FILE1 FILE2: one check that two files hold the same bytes.
same() {
  if cmp -s "$2" "$3"; then
    pass
  else
    fail "$1 differs"
    diff -a "$2" "$3" | head -n 10 | sed 's/^/    /' || true
  fi
}

# talvor SIDE ARGS...: the side's talvor-cli, in the current folder; the status is returned.
talvor() {
  local side=$1
  shift
  if [ "$side" = linux ]; then
    "$linux_cli" "$@"
  else
    "$wine" "$windows_cli" "$@"
  fi
}

# Run start times and the run IDs made of them.
mask_times() {
  sed -E -e 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}/YYYY-MM-DD HH:MM:SS/g' \
    -e 's/[0-9]{8}-[0-9]{6}(\.[0-9]+)?-/RUNID-/g' "$@"
}
strip_cr() { tr -d '\r' <"$1" >"$1.lf"; mv "$1.lf" "$1"; }

# snapshot SIDE NAME: every record file of SIDE's site saved by the Linux build, every database
# dumped by sqlite3, into $scratch/SIDE/NAME.
snapshot() {
  local site=$scratch/$1/site out=$scratch/$1/$2 f rel
  mkdir -p "$out"
  while IFS= read -r f; do
    rel=${f#"$site"/}
    case "$rel" in *.db | *.db-* | .talvor/*) continue ;; esac
    if (cd "$site" && "$linux_cli" recfile stat "$rel" >/dev/null 2>&1); then
      (cd "$site" && "$linux_cli" recfile save "$rel" "$out/${rel//\//__}.seq" --format seq) \
        >/dev/null
    fi
  done < <(find "$site/data" -type f | LC_ALL=C sort)
  for f in "$site"/*.db; do
    sqlite3 "$f" .dump >"$out/$(basename "$f").sql"
  done
  (cd "$out" && ls -1) >"$out.names"
}
# same_snapshot WHAT NAME1 NAME2: both sides' snapshots NAME1 and NAME2 equal, file by file.
same_snapshot() {
  same "$1: names of the files" "$scratch/linux/$2.names" "$scratch/windows/$3.names"
  local f
  while IFS= read -r f; do
    same "$1: $f" "$scratch/linux/$2/$f" "$scratch/windows/$3/$f"
  done <"$scratch/linux/$2.names"
}

# Any Wine start-up noise belongs to the prefix's creation, not to a run.
"$wine" cmd /c exit >"$scratch/wineprefix.log" 2>&1 || true
# One server for the whole test. Left to itself, Wine's server exits as soon as its last
# process has, and a program started in that moment now and then loses its connection
# ("wine client error: recvmsg: Connection reset by peer") or faults while it ends.
"$wineserver" -w
"$wineserver" -p

if [ -n "$suite" ]; then
  if (cd "$scratch" && "$wine" "$suite") >"$scratch/suite.log" 2>&1; then
    pass
  else
    fail "$suite"
  fi
  grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$scratch/suite.log" | sed 's/^/windows-wine: suite: /' || true
  grep -E -A 6 'Failure$' "$scratch/suite.log" | head -n 60 || true
fi

started=$(date +%s)
for side in linux windows; do
  mkdir -p "$scratch/$side"
  (cd "$scratch/$side" && talvor "$side" demo site --clients "$clients") \
    >"$scratch/$side/demo.out" 2>"$scratch/$side/demo.err" || fail "$side: demo"
  strip_cr "$scratch/$side/demo.out"
  strip_cr "$scratch/$side/demo.err"
done
same "demo: output" "$scratch/linux/demo.out" "$scratch/windows/demo.out"
for f in talvor.cfg aliases.cfg fed_id.txt ISUCODES.TXT; do
  if [ -e "$scratch/linux/site/$f" ]; then
    same "demo: $f" "$scratch/linux/site/$f" "$scratch/windows/site/$f"
  fi
done
snapshot linux made
snapshot windows made
same_snapshot "demo site" made made

mapfile -t slugs < <("$linux_cli" list | awk -F'\t' '$3 == "Common Post-Convert Utils" { print $2 }')
if [ "${#slugs[@]}" -eq 0 ]; then
  fail "list: no routine in the group Common Post-Convert Utils"
fi
(cd "$scratch/windows/site" && talvor windows list) >"$scratch/windows/list.out"
"$linux_cli" list >"$scratch/linux/list.out"
strip_cr "$scratch/windows/list.out"
same "list" "$scratch/linux/list.out" "$scratch/windows/list.out"

reports=0
for slug in "${slugs[@]}"; do
  for side in linux windows; do
    site=$scratch/$side/site
    out=$scratch/$side/run-$slug
    mkdir -p "$out"
    touch "$site/.before-run"
    # A report written in the same second as the marker would not be newer than it.
    sleep 1
    set +e
    (cd "$site" && talvor "$side" run "$slug" --answer yes --transcript "../run-$slug/transcript") \
      >"$out/stdout" 2>"$out/stderr"
    echo "$?" >"$out/status"
    set -e
    strip_cr "$out/stdout"
    strip_cr "$out/stderr"
    (cd "$site" && find . -type f -newer .before-run ! -path './.talvor/*' ! -path './data/*' \
      ! -name '*.db' ! -name '*.db-*' | LC_ALL=C sort) >"$out/reports"
    while IFS= read -r f; do
      mkdir -p "$(dirname "$out/files/$f")"
      cp "$site/$f" "$out/files/$f"
    done <"$out/reports"
    rm -f "$site/.before-run"
  done
  l=$scratch/linux/run-$slug
  w=$scratch/windows/run-$slug
  same "$slug: exit status" "$l/status" "$w/status"
  same "$slug: standard output" "$l/stdout" "$w/stdout"
  same "$slug: messages" "$l/stderr" "$w/stderr"
  same "$slug: transcript" "$l/transcript" "$w/transcript"
  same "$slug: report files written" "$l/reports" "$w/reports"
  while IFS= read -r f; do
    if [ "$slug" = match-pol-clt-prd ]; then
      for d in "$l" "$w"; do
        sed -E -i 's/^(Run (Start|End) ).*(\r)$/\1TIME\3/' "$d/files/$f"
      done
    fi
    if [ -e "$w/files/$f" ]; then
      same "$slug: report $f" "$l/files/$f" "$w/files/$f"
      reports=$((reports + 1))
    fi
  done <"$l/reports"
done
# The routines of the group write reports: comparing none would prove nothing.
if [ "$reports" -gt 0 ]; then pass; else fail "no report file was written"; fi

snapshot linux after-routines
snapshot windows after-routines
same_snapshot "after the routines" after-routines after-routines

# The journals, run by run in the order they were made.
journals() { (cd "$scratch/$1/site/.talvor/runs" && ls -1 | LC_ALL=C sort); }
mapfile -t linux_runs < <(journals linux)
mapfile -t windows_runs < <(journals windows)
if [ "${#linux_runs[@]}" -ne "${#slugs[@]}" ] || [ "${#windows_runs[@]}" -ne "${#slugs[@]}" ]; then
  fail "journals: ${#slugs[@]} runs, ${#linux_runs[@]} journals on Linux and ${#windows_runs[@]} on Windows"
else
  pass
fi
for i in "${!linux_runs[@]}"; do
  [ -n "${windows_runs[$i]:-}" ] || continue
  for side in linux windows; do
    if [ $side = linux ]; then id=${linux_runs[$i]}; else id=${windows_runs[$i]}; fi
    mask_times "$scratch/$side/site/.talvor/runs/$id/journal" >"$scratch/$side/journal-$i"
    (cd "$scratch/$side/site" && talvor $side runs show "$id") >"$scratch/$side/show-$i" 2>&1 ||
      fail "$side: runs show $id"
    strip_cr "$scratch/$side/show-$i"
    mask_times -i "$scratch/$side/show-$i"
  done
  same "journal of ${linux_runs[$i]#*-??????-}" "$scratch/linux/journal-$i" "$scratch/windows/journal-$i"
  same "runs show ${linux_runs[$i]#*-??????-}" "$scratch/linux/show-$i" "$scratch/windows/show-$i"
done
for side in linux windows; do
  (cd "$scratch/$side/site" && talvor $side runs) >"$scratch/$side/runs" 2>&1 || fail "$side: runs"
  strip_cr "$scratch/$side/runs"
  mask_times -i "$scratch/$side/runs"
done
same "runs" "$scratch/linux/runs" "$scratch/windows/runs"

# Undo every run, newest first, by its ID: each undo is a run of its own, so "last" would
# be the undo just made.
for side in linux windows; do
  mapfile -t ids < <(journals $side | LC_ALL=C sort -r)
  : >"$scratch/$side/undo.out"
  for id in "${ids[@]}"; do
    # A run that changed nothing has nothing to undo, and undo says so.
    if grep -q $'^change\t' "$scratch/$side/site/.talvor/runs/$id/journal"; then
      (cd "$scratch/$side/site" && talvor $side undo "$id") >>"$scratch/$side/undo.out" 2>&1 ||
        fail "$side: undo $id"
    elif (cd "$scratch/$side/site" && talvor $side undo "$id") >"$scratch/$side/undo.none" 2>&1 ||
      ! grep -q "changed nothing" "$scratch/$side/undo.none"; then
      fail "$side: undo $id, a run that changed nothing"
      sed 's/^/    /' "$scratch/$side/undo.none"  # what undo said instead
    else
      cat "$scratch/$side/undo.none" >>"$scratch/$side/undo.out"
    fi
  done
  strip_cr "$scratch/$side/undo.out"
  mask_times -i "$scratch/$side/undo.out"
done
same "undo: output" "$scratch/linux/undo.out" "$scratch/windows/undo.out"
snapshot linux undone
snapshot windows undone
same_snapshot "after undo" undone undone
# And undo put back the site as the demo made it.
for side in linux windows; do
  same "$side: undo restores the names" "$scratch/$side/made.names" "$scratch/$side/undone.names"
  while IFS= read -r f; do
    same "$side: undo restores $f" "$scratch/$side/made/$f" "$scratch/$side/undone/$f"
  done <"$scratch/$side/made.names"
done

# recfile save on Windows gives Linux's bytes; what Windows loads, Linux reads back whole.
for file in ap POL JCKI; do
  for format in seq lines; do
    for side in linux windows; do
      (cd "$scratch/$side/site" && talvor $side recfile save "data/$file" "../$file.$format" \
        --format $format) >/dev/null 2>&1 || fail "$side: recfile save data/$file --format $format"
    done
    same "recfile save $file --format $format" "$scratch/linux/$file.$format" \
      "$scratch/windows/$file.$format"
    (cd "$scratch/windows" && talvor windows recfile create "loaded-$format-$file" --like "$file" &&
      talvor windows recfile load "loaded-$format-$file" "../linux/$file.$format" --format $format) \
      >/dev/null 2>&1 || fail "windows: recfile load $file --format $format"
    (cd "$scratch/windows" && "$linux_cli" recfile save "loaded-$format-$file" \
      "reloaded-$format-$file" --format $format) >/dev/null 2>&1 ||
      fail "linux: recfile save of what Windows loaded ($file, $format)"
    same "recfile load $file --format $format" "$scratch/linux/$file.$format" \
      "$scratch/windows/reloaded-$format-$file"
  done
done

echo "windows-wine: ${#slugs[@]} routines on $clients clients, $reports report files compared," \
  "in $(($(date +%s) - started)) s"
echo "windows-wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
