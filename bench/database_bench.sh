#!/bin/sh
# The command line on a table of a two-shard ClickHouse cluster against the same table exported to
# CSV and analysed as a file: wall time and bytes received by the client, each way; and the query
# shapes of the tables side by side (bench/DatabaseBench.java). Starts its own servers
# (scripts/databases.sh) and stops them at the end. Run from the repository's root after the
# release build:
#
#   bench/database_bench.sh [ROWS]        (default 10000000: 20 columns of 6 labels)
set -eu
rows=${1:-10000000}
jar=build/tallowmere.jar
bench="java -cp $jar:build/bench/database-bench.jar DatabaseBench"
work=$(mktemp -d /tmp/tallowmere-database-bench.XXXXXX)
servers=$(mktemp -d /tmp/tallowmere-databases.XXXXXX)
trap 'scripts/databases.sh stop "$servers"; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
scripts/databases.sh start "$servers"
# shellcheck disable=SC1091
. "$servers/environment"
table=clickhouse://$TALLOWMERE_TEST_DB_USER@$TALLOWMERE_TEST_CLICKHOUSE/$TALLOWMERE_TEST_DATABASE/bench

$bench load "$rows"

seconds() {
  start=$(date +%s.%N)
  "$@"
  echo "$(date +%s.%N) - $start" | bc
}

echo "== the command line on the table (the database sums the tables)"
t_table=$(seconds java -jar "$jar" analyse "$table" --id id -o "$work/from-table" -q)
bytes_table=$(sed -n 's/.*"bytesReceived": \([0-9]*\).*/\1/p' "$work/from-table/summary.json")

echo "== the table exported to CSV, then the command line on the file"
tcp=$(sed -n 's|.*<tcp_port>\([0-9]*\)</tcp_port>.*|\1|p' "$servers/clickhouse-1/config.xml")
t_export=$(seconds sh -c "clickhouse-client --config-file='$servers/clickhouse-client.xml' \
  --host 127.0.0.1 --port $tcp --query 'SELECT * FROM $TALLOWMERE_TEST_DATABASE.bench FORMAT CSVWithNames' \
  </dev/null >'$work/bench.csv'")
bytes_export=$(stat -c %s "$work/bench.csv")
# ClickHouse writes NULL as \N in CSV.
t_file=$(seconds java -jar "$jar" analyse "$work/bench.csv" --id id --missing '\N' -o "$work/from-file" -q)
if cmp -s "$work/from-table/categories.csv" "$work/from-file/categories.csv"; then
  same="the same bytes"
else
  same="DIFFERENT"
fi

printf '\n%-34s %10s %16s\n' "" "wall s" "bytes received"
printf '%-34s %10.1f %16d\n' "table: analyse clickhouse://..." "$t_table" "$bytes_table"
printf '%-34s %10.1f %16d\n' "export: SELECT * FORMAT CSV" "$t_export" "$bytes_export"
printf '%-34s %10.1f %16s\n' "file: analyse bench.csv" "$t_file" "-"
printf '%-34s %10.1f %16d\n' "export and file" "$(echo "$t_export + $t_file" | bc)" "$bytes_export"
echo "categories.csv of the table and of the file: $same"

echo
echo "== the tables by keys of pairs and of blocks of variables"
$bench shapes "$servers"
