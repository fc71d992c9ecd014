#!/usr/bin/env bash
# Load on the REST API of the real app, started headless with temporary XDG folders:
#  1. GET /v1/health, 50 connections for 10 s (wrk), next to nginx serving a static file with
#     the same bytes on the same machine in the same run. Both answer one request per
#     connection (the app closes every connection; nginx runs with keep-alive off) on one
#     worker (the app serves from its GUI thread). Target: no errors.
#  2. The app's resident memory before and after 100,000 further requests. Target: < 5 MB growth.
#   bench/bench_api.sh [namorix binary]    (default: build/src/namorix, or $NAMORIX_BUILD_DIR)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
app="${1:-$root/${NAMORIX_BUILD_DIR:-build}/src/namorix}"
connections=50
seconds=10
requests_for_memory=100000
growth_target_kb=$((5 * 1024))

nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"
for tool in wrk "$nginx_bin"; do
    command -v "$tool" >/dev/null || { echo "bench_api: $tool missing (scripts/install-deps.sh --bench)" >&2; exit 2; }
done
[ -x "$app" ] || { echo "bench_api: no app binary at $app" >&2; exit 2; }

tmp="$(mktemp -d)"
app_pid="" nginx_pid=""
cleanup() {
    [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
    [ -z "$nginx_pid" ] || kill "$nginx_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

# A port below the kernel's ephemeral range, where no client socket (in TIME_WAIT after earlier
# load, say) can hold it, and on which nothing listens.
free_port() {
    local port low
    low=$(awk '{print $1}' /proc/sys/net/ipv4/ip_local_port_range)
    [ "$low" -gt 12000 ] || low=61000
    for _ in $(seq 200); do
        port=$((10000 + RANDOM % (low - 10000)))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    return 1
}

# The whole reply (head and body) to GET $2 on port $1; the servers close after replying.
http_get() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1" &&
        printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n' "$2" >&3 &&
        timeout 5 cat <&3) 2>/dev/null
}

wait_for_200() { # port, path, pid
    for _ in $(seq 300); do
        kill -0 "$3" 2>/dev/null || return 1
        http_get "$1" "$2" | head -n 1 | grep -q '^HTTP/1.1 200' && return 0
        sleep 0.1
    done
    return 1
}

# Runs wrk against $1 for $2 seconds; sets requests, rate and errors from its report.
load() {
    wrk -t2 -c"$connections" -d"$2s" "$1" >"$tmp/wrk.out" 2>&1
    requests=$(awk '/ requests in / {print $1}' "$tmp/wrk.out")
    rate=$(awk '/^Requests\/sec:/ {print $2}' "$tmp/wrk.out")
    errors=$(awk '/Socket errors:/ {gsub(",", ""); s = $4 + $6 + $8 + $10; d = $0}
                  /Non-2xx or 3xx responses:/ {n = $5}
                  END {printf "%d", s + n; if (s + n) printf " (%s; non-2xx %d)", d, n}' "$tmp/wrk.out")
}

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

# The app, headless, with its settings in a temporary home.
for dir in config data cache runtime; do mkdir -m 700 "$tmp/$dir"; done
app_port=$(free_port)
mkdir "$tmp/config/namorix"
printf '{"api.port": %d, "api.enabled": true}\n' "$app_port" >"$tmp/config/namorix/settings.json"
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" \
    XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/runtime" "$app" >"$tmp/app.log" 2>&1 &
app_pid=$!
if ! wait_for_200 "$app_port" /v1/health "$app_pid"; then
    echo "bench_api: the app did not answer GET /v1/health on port $app_port; its log:" >&2
    cat "$tmp/app.log" >&2
    exit 1
fi

# nginx with a file of the health reply's bytes. Its workers may run as another user when we
# are root, so what they serve must be readable by all.
chmod 755 "$tmp"
mkdir -p "$tmp/www" "$tmp/nginx"
http_get "$app_port" /v1/health >"$tmp/reply"
head_bytes=$(LC_ALL=C awk '{n += length($0) + 1} $0 == "\r" {print n; exit}' "$tmp/reply")
tail -c +"$((head_bytes + 1))" "$tmp/reply" >"$tmp/www/health"
chmod 755 "$tmp/www" && chmod 644 "$tmp/www/health"
nginx_port=$(free_port)
cat >"$tmp/nginx/nginx.conf" <<EOF
worker_processes 1;
daemon off;
pid $tmp/nginx/nginx.pid;
error_log $tmp/nginx/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    keepalive_timeout 0;
    client_body_temp_path $tmp/nginx/body;
    proxy_temp_path $tmp/nginx/proxy;
    fastcgi_temp_path $tmp/nginx/fastcgi;
    uwsgi_temp_path $tmp/nginx/uwsgi;
    scgi_temp_path $tmp/nginx/scgi;
    server {
        listen 127.0.0.1:$nginx_port;
        location = /v1/health {
            alias $tmp/www/health;
            default_type application/json;
            add_header Access-Control-Allow-Origin *;
        }
    }
}
EOF
"$nginx_bin" -p "$tmp/nginx" -c "$tmp/nginx/nginx.conf" -e "$tmp/nginx/error.log" &
nginx_pid=$!
if ! wait_for_200 "$nginx_port" /v1/health "$nginx_pid"; then
    echo "bench_api: nginx did not start; its log:" >&2
    cat "$tmp/nginx/error.log" >&2
    exit 1
fi

load "http://127.0.0.1:$app_port/v1/health" "$seconds"
app_rate=$rate app_requests=$requests app_errors=$errors
load "http://127.0.0.1:$nginx_port/v1/health" "$seconds"
nginx_rate=$rate nginx_requests=$requests nginx_errors=$errors
kill "$nginx_pid" && wait "$nginx_pid" 2>/dev/null || true
nginx_pid=""

# Memory: measured after the warm-up above, around 100,000 more requests.
rss_before=$(rss_kb "$app_pid")
served=0
while [ "$served" -lt "$requests_for_memory" ]; do
    per_second=${app_rate%.*}
    load "http://127.0.0.1:$app_port/v1/health" $(((requests_for_memory - served) / (per_second > 0 ? per_second : 1) + 1))
    served=$((served + requests))
done
sleep 1
rss_after=$(rss_kb "$app_pid")
growth_kb=$((rss_after - rss_before))

echo
printf '%-44s %-14s %-22s %s\n' "measurement" "value" "baseline" "ratio / target"
printf '%-44s %-14s %-22s %s\n' "GET /v1/health, $connections connections, ${seconds} s" "$app_rate /s" \
    "nginx $nginx_rate /s" "$(awk -v a="$app_rate" -v n="$nginx_rate" 'BEGIN {printf "%.2f", a / n}')"
printf '%-44s %-14s %-22s %s\n' "  requests, errors" "$app_requests, $app_errors" \
    "nginx $nginx_requests, $nginx_errors" "no errors"
mb() { awk -v k="$1" 'BEGIN {printf "%.1f MB", k / 1024}'; }
printf '%-44s %-14s %-22s %s\n' "RSS growth over $served requests" "$(mb "$growth_kb")" \
    "$(mb "$rss_before") to $(mb "$rss_after")" "< 5 MB"
echo "reply: $(wc -c <"$tmp/www/health") bytes of body; nginx: 1 worker, keep-alive off"
[ "${app_errors%% *}" = 0 ] || echo "TARGET MISSED: the app's replies had errors: $app_errors"
[ "$growth_kb" -lt "$growth_target_kb" ] || echo "TARGET MISSED: RSS grew by $growth_kb kB"
exit 0
