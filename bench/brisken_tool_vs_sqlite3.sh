#!/usr/bin/env bash
# The brisken tool against the sqlite3 shell on the same customers, whole
# processes timed in turn (each pair brisken then sqlite3, ROUNDS times; the
# median of each side is reported, with microseconds per record, and sqlite3
# time / brisken time: above 1 means brisken is faster). Peak resident memory
# of each process (for the import, of create and import, whichever is larger)
# from /usr/bin/time. The machine's load average is printed before and after:
# other work on the machine slows both sides, not always alike.
#
#   import: brisken create + brisken import   vs  sqlite3 schema + .import
#   export: brisken export --key CUS:BYNAME    vs  SELECT ... ORDER BY name COLLATE NOCASE
#   check:  brisken check                      vs  PRAGMA integrity_check
#
# SQLite gets a table with the same five indexes (the OPT keys as partial
# indexes that leave out blank values) and its default durability.
#
# usage: bench/brisken_tool_vs_sqlite3.sh [RECORDS] [ROUNDS]   (default 100000 3)
# e.g. 10000 5, 100000 3, 1000000 1 (a million takes a few minutes and about
# 250 MB of disk space in the temporary folder).
# BRISKEN names the tool (default build/bench/tools/brisken/brisken, an
# optimised build: scripts/bench.sh builds it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
n=${1:-100000}
rounds=${2:-3}
tool=${BRISKEN:-$root/build/bench/tools/brisken/brisken}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "load average before: $(load)"

awk -v n="$n" 'BEGIN {
  print "CUS:CUSID,CUS:NAME,CUS:SUBURB,CUS:PHONE,CUS:STARTDATE"
  for (i = 1; i <= n; i++)
    printf "%d,Customer %07d,Suburb %d,(02) %04d %04d,%d\n", i, (i * 7919) % n, i % 97, i % 10000, (i * 31) % 10000, 70000 + i % 9000
}' > rows.csv
tail -n +2 rows.csv > rows-nohead.csv
cp "$root/tools/brisken/testdata/customer.txt" customer.txt
cat > schema.sql <<'EOF'
CREATE TABLE customer(cusid INTEGER, name TEXT, suburb TEXT, phone TEXT, startdate INTEGER);
CREATE UNIQUE INDEX byname ON customer(name COLLATE NOCASE) WHERE name <> '';
CREATE INDEX bystartdatename ON customer(startdate, name COLLATE NOCASE) WHERE startdate <> 0 OR name <> '';
CREATE INDEX byphone ON customer(phone COLLATE NOCASE) WHERE phone <> '';
CREATE INDEX bysuburb ON customer(suburb COLLATE NOCASE) WHERE suburb <> '';
CREATE UNIQUE INDEX byid ON customer(cusid) WHERE cusid <> 0;
EOF

# run NAME COMMAND...: appends "seconds peak_kb" to NAME.times (the seconds
# of the whole process, /usr/bin/time included)
run() {
  local name=$1
  shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f "%M" -o time.out "$@" > /dev/null 2> err.out || {
    echo "$name failed:" >&2
    cat err.out >&2
    exit 1
  }
  end=$(date +%s%N)
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }') $(cat time.out)" \
    >> "$name.times"
}

brisken_import() {
  rm -f CUSTOMER.BKF
  run brisken_import bash -c "'$tool' create CUSTOMER customer.txt && '$tool' import CUSTOMER rows.csv"
}
sqlite_import() {
  rm -f customer.db
  run sqlite_import bash -c "sqlite3 customer.db < schema.sql && sqlite3 customer.db '.mode csv' '.import rows-nohead.csv customer'"
}

for ((r = 0; r < rounds; r++)); do
  brisken_import
  sqlite_import
  run brisken_export "$tool" export --key CUS:BYNAME CUSTOMER
  run sqlite_export sqlite3 -csv -header customer.db \
    "SELECT cusid, name, suburb, phone, startdate FROM customer WHERE name <> '' ORDER BY name COLLATE NOCASE"
  run brisken_check "$tool" check CUSTOMER
  run sqlite_check sqlite3 customer.db "PRAGMA integrity_check"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
peak() { awk '{ if ($2 > m) m = $2 } END { print m }'; }
echo "load average after: $(load)"
printf "%d records, %d rounds (median seconds, microseconds per record, peak KB)\n" "$n" "$rounds"
printf "%-8s %9s %9s %8s %8s %10s %10s %14s\n" work brisken sqlite3 b_us/rec s_us/rec brisken_kb \
  sqlite_kb sqlite/brisken
for work in import export check; do
  b=$(cut -d' ' -f1 brisken_$work.times | median)
  s=$(cut -d' ' -f1 sqlite_$work.times | median)
  bk=$(peak < brisken_$work.times)
  sk=$(peak < sqlite_$work.times)
  printf "%-8s %9s %9s %8s %8s %10s %10s %14s\n" "$work" "$b" "$s" \
    "$(awk -v t="$b" -v n="$n" 'BEGIN { printf "%.2f", t * 1e6 / n }')" \
    "$(awk -v t="$s" -v n="$n" 'BEGIN { printf "%.2f", t * 1e6 / n }')" "$bk" "$sk" \
    "$(awk -v b="$b" -v s="$s" 'BEGIN { if (b > 0) printf "%.2f", s / b; else print "-" }')"
done
bsize=$(stat -c %s CUSTOMER.BKF)
ssize=$(stat -c %s customer.db)
printf "file bytes per record: brisken %.1f, sqlite %.1f (brisken/sqlite %.2f)\n" \
  "$(echo "$bsize / $n" | bc -l)" "$(echo "$ssize / $n" | bc -l)" "$(echo "$bsize / $ssize" | bc -l)"
# Both exports must hold the same rows (brisken writes CR LF).
"$tool" export --key CUS:BYNAME CUSTOMER | tr -d '\r' | tail -n +2 | cut -d, -f1 > b.ids
sqlite3 -csv customer.db "SELECT cusid FROM customer WHERE name <> '' ORDER BY name COLLATE NOCASE" > s.ids
cmp -s b.ids s.ids && echo "exports agree ($(wc -l < b.ids) rows)" || echo "EXPORTS DIFFER"
