#!/usr/bin/env bash
# Runs a measuring command and keeps what it prints as a report: the commit, the date and the
# machine first, then the command's output, shown as it comes and written to REPORT. The
# report's exit code is the command's.
# Usage: tools/report.sh REPORT command [argument]...
set -euo pipefail
report=$1
shift
mkdir -p "$(dirname "$report")"
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel 2>/dev/null || true)
{
  echo "commit: $( [ -n "$repo" ] && git -C "$repo" describe --always --dirty || echo unknown)"
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "machine: $(nproc) cores ($(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1))," \
    "$(free -g | awk '/^Mem:/ { print $2 }') GiB, $(. /etc/os-release && echo "$PRETTY_NAME");" \
    "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "command: $*"
  echo
  "$@" 2>&1
} | tee "$report"
echo "report: $report"
