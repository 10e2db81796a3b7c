#!/usr/bin/env bash
# The README's main command, after the build: creates a fresh demo site in ./demo-site and runs
# every routine of the "Common Post-Convert Utils" group on it headless, answering "no" to every
# question; prints one line per routine and how to open the window on the same site.
set -euo pipefail
build=${1:-build}
root=$(pwd)
cli="$root/$build/shell/talvor-cli"
site="$root/demo-site"

rm -rf "$site"
"$cli" demo "$site"
cd "$site"

printf '\n%-20s %-32s %s\n' "Routine" "Final label" "Reports written (lines)"
printf '%-20s %-32s %s\n' "-------" "-----------" "-----------------------"
"$cli" list | awk -F'\t' '$3 == "Common Post-Convert Utils" && $4 == "visible" { print $1 "\t" $2 }' |
while IFS=$'\t' read -r caption slug; do
  touch .before-run
  sleep 0.01
  set +e
  label=$("$cli" run "$slug" --answer no 2>"$slug.messages" | tail -n 1)
  status=$?
  set -e
  reports=""
  while IFS= read -r f; do
    name=${f#./}
    case "$name" in
      *.db|*.db-wal|*.db-shm|*.messages|.before-run) continue ;;
    esac
    reports+="$name ($(wc -l < "$f")) "
  done < <(find . -maxdepth 1 -type f -newer .before-run | sort)
  [ "$status" -eq 0 ] || label="$label [ended on an error, see $slug.messages]"
  [ -s "$slug.messages" ] || rm -f "$slug.messages"
  printf '%-20s %-32s %s\n' "$caption" "$label" "${reports:-none}"
done
rm -f .before-run

cat <<EOT

The demo site is in $site (legacy files in data/, databases AGYFORMS.db and CONVERT.db).
Open the window on it with:
  cd $site && $root/$build/shell/gui/talvor
or run any routine headless, for example:
  cd $site && $cli run "Sanity Checks" --answer no
EOT
