#!/bin/sh
# The database servers that the tests and the benchmark analyse tables in, on the loopback and on
# free ports: a ClickHouse cluster of two shards (two clickhouse-server processes, each with its
# own configuration, data folder and ports, and a remote_servers section naming both, so that a
# Distributed table on either spreads over them) and a PostgreSQL server (initdb in a folder of its
# own, run as the postgres user: the server refuses to run as root).
#
#   scripts/databases.sh start FOLDER   starts them with their files in FOLDER (created, empty)
#                                        and writes FOLDER/environment for `. FOLDER/environment`
#   scripts/databases.sh stop FOLDER    stops the servers started there and removes FOLDER
#
# FOLDER/environment sets what the tests read:
#   TALLOWMERE_TEST_CLICKHOUSE    host:port of shard 1's HTTP interface, the cluster's entry
#   TALLOWMERE_TEST_CLICKHOUSE_SHARDS  host:port of both shards' HTTP interfaces, comma-separated
#   TALLOWMERE_TEST_CLICKHOUSE_CLUSTER the name of the cluster in remote_servers
#   TALLOWMERE_TEST_POSTGRESQL    host:port of the PostgreSQL server
#   TALLOWMERE_TEST_DATABASE      the database made on every server for the tests' tables
#   TALLOWMERE_TEST_DB_USER       the user, who may create tables there
#   TALLOWMERE_TEST_DB_READER     a user who may only read them (the same password); in
#                                 ClickHouse at most 1000 rows a query, in PostgreSQL only the
#                                 tables granted to it
#   TALLOWMERE_DB_PASSWORD        that user's password, made up afresh for every start
# The password is written only into FOLDER, readable by its owner alone (and into the servers'
# own configuration there), never printed.
set -eu

usage() {
  echo "usage: $0 start|stop FOLDER" >&2
  exit 2
}
[ $# -eq 2 ] || usage
command=$1
folder=$2
user=analyst
reader=reader
database=tallowmere
cluster=tallowmere_shards

# Sets port to a TCP port of the loopback that nothing listens on or holds, from a random start;
# each call skips the ports it handed out before, since the servers bind them only later.
taken=" "
free_port() {
  port=$(($(od -An -N2 -tu2 /dev/urandom) % 30000 + 20000))
  while ss -Htan "( sport = :$port )" | grep -q . || case "$taken" in *" $port "*) true ;;
    *) false ;; esac; do
    port=$((port + 1))
  done
  taken="$taken$port "
}

pg_bin() {
  ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1
}

clickhouse_config() {
  shard=$1
  cat <<EOF
<?xml version="1.0"?>
<yandex>
  <logger>
    <level>warning</level>
    <log>$folder/clickhouse-$shard/server.log</log>
    <errorlog>$folder/clickhouse-$shard/error.log</errorlog>
    <size>10M</size>
    <count>1</count>
  </logger>
  <listen_host>127.0.0.1</listen_host>
  <http_port>$(eval echo "\$http_$shard")</http_port>
  <tcp_port>$(eval echo "\$tcp_$shard")</tcp_port>
  <interserver_http_port>$(eval echo "\$interserver_$shard")</interserver_http_port>
  <path>$folder/clickhouse-$shard/data/</path>
  <tmp_path>$folder/clickhouse-$shard/tmp/</tmp_path>
  <user_files_path>$folder/clickhouse-$shard/user_files/</user_files_path>
  <format_schema_path>$folder/clickhouse-$shard/format_schemas/</format_schema_path>
  <users_config>$folder/clickhouse-users.xml</users_config>
  <default_profile>default</default_profile>
  <default_database>default</default_database>
  <mark_cache_size>268435456</mark_cache_size>
  <max_concurrent_queries>100</max_concurrent_queries>
  <remote_servers>
    <$cluster>
      <shard><replica>
        <host>127.0.0.1</host><port>$tcp_1</port><user>$user</user><password>$password</password>
      </replica></shard>
      <shard><replica>
        <host>127.0.0.1</host><port>$tcp_2</port><user>$user</user><password>$password</password>
      </replica></shard>
    </$cluster>
  </remote_servers>
</yandex>
EOF
}

clickhouse_users() {
  hash=$(printf %s "$password" | sha256sum | cut -d' ' -f1)
  cat <<EOF
<?xml version="1.0"?>
<yandex>
  <profiles>
    <default><max_memory_usage>4000000000</max_memory_usage></default>
    <readonly>
      <max_memory_usage>4000000000</max_memory_usage><readonly>1</readonly>
      <max_rows_to_read>1000</max_rows_to_read>
    </readonly>
  </profiles>
  <users>
    <$user>
      <password_sha256_hex>$hash</password_sha256_hex>
      <networks><ip>127.0.0.1</ip></networks>
      <profile>default</profile>
      <quota>default</quota>
    </$user>
    <$reader>
      <password_sha256_hex>$hash</password_sha256_hex>
      <networks><ip>127.0.0.1</ip></networks>
      <profile>readonly</profile>
      <quota>default</quota>
    </$reader>
  </users>
  <quotas><default><interval>
    <duration>3600</duration><queries>0</queries><errors>0</errors><result_rows>0</result_rows>
    <read_rows>0</read_rows><execution_time>0</execution_time>
  </interval></default></quotas>
</yandex>
EOF
}

clickhouse_query() {
  clickhouse-client --config-file="$folder/clickhouse-client.xml" --host 127.0.0.1 \
    --port "$1" --query "$2" </dev/null
}

start() {
  if [ -e "$folder" ] && [ -n "$(ls -A "$folder")" ]; then
    echo "$0: $folder is not empty" >&2
    exit 2
  fi
  mkdir -p "$folder"
  folder=$(cd "$folder" && pwd)
  # The postgres user must reach its own folder inside.
  chmod 711 "$folder"
  umask 077
  password=$(od -An -N18 -tx1 /dev/urandom | tr -d ' \n')

  for shard in 1 2; do
    free_port && eval "http_$shard=$port"
    free_port && eval "tcp_$shard=$port"
    free_port && eval "interserver_$shard=$port"
  done
  clickhouse_users >"$folder/clickhouse-users.xml"
  printf '<config><user>%s</user><password>%s</password></config>\n' "$user" "$password" \
    >"$folder/clickhouse-client.xml"
  for shard in 1 2; do
    mkdir -p "$folder/clickhouse-$shard"
    clickhouse_config "$shard" >"$folder/clickhouse-$shard/config.xml"
    clickhouse-server --config-file="$folder/clickhouse-$shard/config.xml" \
      >"$folder/clickhouse-$shard/stdout.log" 2>&1 </dev/null &
    echo $! >"$folder/clickhouse-$shard/pid"
  done

  free_port && pg_port=$port
  bin=$(pg_bin)
  mkdir -p "$folder/postgresql"
  printf '%s\n' "$password" >"$folder/postgresql/password"
  chown -R postgres "$folder/postgresql"
  if ! runuser -u postgres -- "$bin/initdb" -D "$folder/postgresql/data" -U postgres -E UTF8 \
    --no-locale --auth-local=trust --auth-host=scram-sha-256 \
    --pwfile="$folder/postgresql/password" >"$folder/postgresql/initdb.log" 2>&1; then
    echo "$0: initdb failed (the postgres user must reach $folder):" >&2
    tail -n 5 "$folder/postgresql/initdb.log" >&2
    exit 1
  fi
  if ! runuser -u postgres -- "$bin/pg_ctl" -D "$folder/postgresql/data" \
    -l "$folder/postgresql/server.log" -w -t 60 \
    -o "-p $pg_port -k $folder/postgresql -c listen_addresses=127.0.0.1" start >/dev/null; then
    echo "$0: PostgreSQL did not start:" >&2
    tail -n 5 "$folder/postgresql/server.log" >&2
    exit 1
  fi
  # The password goes in through standard input, never on a command line.
  runuser -u postgres -- psql -q -v ON_ERROR_STOP=1 -h "$folder/postgresql" -p "$pg_port" \
    -d postgres -f - >/dev/null <<EOF
CREATE ROLE $user LOGIN PASSWORD '$password';
CREATE ROLE $reader LOGIN PASSWORD '$password';
CREATE DATABASE $database OWNER $user;
\\connect $database
ALTER DEFAULT PRIVILEGES FOR ROLE $user IN SCHEMA public GRANT SELECT ON TABLES TO $reader;
GRANT CREATE ON SCHEMA public TO $user;
EOF

  for shard in 1 2; do
    tries=0
    until clickhouse_query "$(eval echo "\$tcp_$shard")" "SELECT 1" >/dev/null 2>&1; do
      tries=$((tries + 1))
      if [ "$tries" -gt 100 ] || ! kill -0 "$(cat "$folder/clickhouse-$shard/pid")" 2>/dev/null
      then
        echo "$0: ClickHouse shard $shard did not start:" >&2
        tail -n 5 "$folder/clickhouse-$shard/error.log" "$folder/clickhouse-$shard/stdout.log" \
          >&2 2>/dev/null || true
        exit 1
      fi
      sleep 0.1
    done
    clickhouse_query "$(eval echo "\$tcp_$shard")" "CREATE DATABASE IF NOT EXISTS $database"
  done

  cat >"$folder/environment" <<EOF
TALLOWMERE_TEST_CLICKHOUSE=127.0.0.1:$http_1
TALLOWMERE_TEST_CLICKHOUSE_SHARDS=127.0.0.1:$http_1,127.0.0.1:$http_2
TALLOWMERE_TEST_CLICKHOUSE_CLUSTER=$cluster
TALLOWMERE_TEST_POSTGRESQL=127.0.0.1:$pg_port
TALLOWMERE_TEST_DATABASE=$database
TALLOWMERE_TEST_DB_USER=$user
TALLOWMERE_TEST_DB_READER=$reader
TALLOWMERE_DB_PASSWORD=$password
export TALLOWMERE_TEST_CLICKHOUSE TALLOWMERE_TEST_CLICKHOUSE_SHARDS
export TALLOWMERE_TEST_CLICKHOUSE_CLUSTER TALLOWMERE_TEST_POSTGRESQL TALLOWMERE_TEST_DATABASE
export TALLOWMERE_TEST_DB_USER TALLOWMERE_TEST_DB_READER TALLOWMERE_DB_PASSWORD
EOF
  echo "databases: ClickHouse shards on HTTP ports $http_1 and $http_2, PostgreSQL on port" \
    "$pg_port (files in $folder)"
}

stop() {
  [ -d "$folder" ] || return 0
  if [ -f "$folder/postgresql/data/postmaster.pid" ]; then
    runuser -u postgres -- "$(pg_bin)/pg_ctl" -D "$folder/postgresql/data" -m fast -w stop \
      >/dev/null 2>&1 || true
  fi
  for shard in 1 2; do
    pid_file="$folder/clickhouse-$shard/pid"
    if [ -f "$pid_file" ]; then
      pid=$(cat "$pid_file")
      kill "$pid" 2>/dev/null || true
      tries=0
      while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 100 ]; do
        tries=$((tries + 1))
        sleep 0.1
      done
      kill -9 "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$folder"
}

case "$command" in
  start) start ;;
  stop) stop ;;
  *) usage ;;
esac
