#!/usr/bin/env bash
# A private CUPS server for the printing tests: cupsd listening only on a Unix
# socket inside a test folder, with cups-pdf queues that write their PDF files
# into that folder. Nothing of the machine's own CUPS setup is used or changed,
# except the per-queue cups-pdf settings files, which cups-pdf only looks for in
# /etc/cups; they are removed again on stop.
#
#   cups-harness.sh start <folder> <owner-pid> <default-queue> [<queue>...]
#       Starts cupsd, adds the queues (the first one the server's default) and
#       prints the socket path. A watchdog stops everything when <owner-pid>
#       ends, so a crashed or killed test leaves nothing behind.
#   cups-harness.sh stop <folder>
#       Stops cupsd by its process id and removes what start added outside
#       the folder.
set -euo pipefail

PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd

die() {
    echo "cups-harness: $*" >&2
    exit 1
}

write_config() {
    local dir=$1
    cat >"$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
Browsing No
BrowseLocalProtocols none
DefaultAuthType None
WebInterface No
LogLevel warn
ErrorPolicy abort-job
MaxLogSize 0
PreserveJobHistory No
PreserveJobFiles No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF
    cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
SystemGroup root
Sandboxing Relaxed
CONF
}

wait_for_socket() {
    local dir=$1
    for _ in $(seq 1 100); do
        if [[ -S $dir/cups.sock ]] && CUPS_SERVER=$dir/cups.sock lpstat -r >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    cat "$dir/log/error_log" >&2 2>/dev/null || true
    die "cupsd did not come up"
}

add_queue() {
    local dir=$1 queue=$2
    mkdir -p "$dir/out/$queue"
    chmod 0777 "$dir/out/$queue"
    printf 'Out %s\nLabel 0\nTitlePref 0\n' "$dir/out/$queue" >"/etc/cups/cups-pdf-$queue.conf"
    echo "$queue" >>"$dir/queues"
    CUPS_SERVER=$dir/cups.sock lpadmin -p "$queue" -E -v "cups-pdf:/$queue" -P "$PPD" \
        -o pdftops-renderer-default=pdftocairo 2>/dev/null
}

start() {
    local dir=$1 owner=$2
    shift 2
    [[ $(id -u) -eq 0 ]] || die "needs root (cups-pdf runs its jobs as root)"
    [[ -x /usr/sbin/cupsd && -f $PPD ]] || die "cups and printer-driver-cups-pdf are not installed"
    chmod 0755 "$dir"
    mkdir -p "$dir"/{etc/ppd,spool,tmp,cache,state,log,out}
    chmod 1777 "$dir/tmp"
    : >"$dir/queues"
    write_config "$dir"
    /usr/sbin/cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null \
        >"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    wait_for_socket "$dir"
    for queue in "$@"; do
        add_queue "$dir" "$queue"
    done
    CUPS_SERVER=$dir/cups.sock lpadmin -d "$1"
    # Watchdog: stop the server as soon as the owning test process is gone,
    # and then also remove the folder, which that process can no longer do.
    (
        while kill -0 "$owner" 2>/dev/null && [[ -f $dir/cupsd.pid ]]; do sleep 1; done
        stop "$dir"
        if ! kill -0 "$owner" 2>/dev/null; then rm -rf "$dir"; fi
    ) </dev/null >/dev/null 2>&1 &
    disown
    echo "$dir/cups.sock"
}

stop() {
    local dir=$1
    if [[ -f $dir/cupsd.pid ]]; then
        local pid
        pid=$(cat "$dir/cupsd.pid")
        rm -f "$dir/cupsd.pid"
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
    fi
    if [[ -f $dir/queues ]]; then
        while read -r queue; do
            [[ -n $queue ]] && rm -f "/etc/cups/cups-pdf-$queue.conf"
        done <"$dir/queues"
        rm -f "$dir/queues"
    fi
}

case "${1:-}" in
    start) shift; [[ $# -ge 3 ]] || die "usage: start <folder> <owner-pid> <queue>..."; start "$@" ;;
    stop) shift; [[ $# -eq 1 ]] || die "usage: stop <folder>"; stop "$1" ;;
    *) die "usage: $0 start|stop ..." ;;
esac
