#!/usr/bin/env bash
# A single-node Slurm cluster on this machine, from Debian's slurmctld, slurmd and munge, kept entirely
# in one directory (configuration, state, logs, sockets; free ports of its own), so that it disturbs no
# other Slurm or munge and can be started as often as wanted:
#
#   scripts/slurm-local.sh start DIR     # prints the SLURM_CONF to export
#   scripts/slurm-local.sh stop DIR      # stops the daemons that start left running
#   scripts/slurm-local.sh run DIR COMMAND...   # start, COMMAND with SLURM_CONF set, stop; COMMAND's status
#
# No cgroups: processes are tracked by their parents (proctrack/linuxproc) and tasks not bound (task/none).
# Runs as root (slurmd starts jobs as their users); start fails with the reason and the logs' last lines
# when a daemon does not come up within SLURM_LOCAL_TIMEOUT seconds (default 30).
set -euo pipefail

timeout_seconds=${SLURM_LOCAL_TIMEOUT:-30}

die() {
    echo "slurm-local: $*" >&2
    exit 1
}

# A TCP port nobody listens on, from /proc rather than a tool a minimal system may lack.
free_port() {
    local port hex
    for _ in $(seq 1 100); do
        port=$((20000 + RANDOM % 40000))
        hex=$(printf ':%04X ' "$port")
        if ! grep -qi -- "$hex" /proc/net/tcp /proc/net/tcp6 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    die "no free TCP port found"
}

show_logs() {
    local dir=$1 log
    for log in "$dir"/log/*.log; do
        [ -f "$log" ] || continue
        echo "--- last lines of $log" >&2
        tail -n 15 "$log" >&2
    done
}

# Stops the daemons that start left running, all at once (each takes a second or two), within ten seconds.
stop() {
    local dir=$1 name pid pids=()
    for name in slurmd slurmctld munged; do
        [ -f "$dir/run/$name.pid" ] || continue
        pid=$(cat "$dir/run/$name.pid")
        rm -f "$dir/run/$name.pid"
        if [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null; then
            pids+=("$pid")
        fi
    done
    for _ in $(seq 1 100); do
        local running=()
        for pid in ${pids[@]+"${pids[@]}"}; do
            if kill -0 "$pid" 2>/dev/null; then
                running+=("$pid")
            fi
        done
        [ ${#running[@]} -gt 0 ] || return 0
        pids=("${running[@]}")
        sleep 0.1
    done
    kill -KILL "${pids[@]}" 2>/dev/null || true
}

# Starts a daemon in the foreground of its own session, its output in its log, its id in DIR/run/NAME.pid.
launch() {
    local dir=$1 name=$2
    shift 2
    setsid "$@" </dev/null >>"$dir/log/$name.log" 2>&1 &
    echo $! >"$dir/run/$name.pid"
}

start() {
    local dir=$1 program
    for program in munged slurmctld slurmd sbatch sinfo scontrol; do
        command -v "$program" >/dev/null \
            || die "$program is not installed (scripts/setup.sh installs slurmctld, slurmd, slurm-client and munge)"
    done
    [ "$(id -u)" -eq 0 ] || die "slurmd has to run as root to start jobs; run as root"
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    [ ! -e "$dir/slurm.conf" ] || die "$dir already holds a cluster; stop it and use a new directory"
    mkdir -p "$dir/run" "$dir/log" "$dir/state" "$dir/spool" "$dir/munge"
    chmod 711 "$dir/munge"
    # A socket's path has a limit of about 100 bytes.
    [ ${#dir} -lt 80 ] || die "$dir is too long a path for the daemons' sockets"

    local host ctld_port slurmd_port
    host=$(hostname -s)
    ctld_port=$(free_port)
    slurmd_port=$(free_port)
    [ "$ctld_port" != "$slurmd_port" ] || slurmd_port=$((ctld_port + 1))

    head -c 1024 /dev/urandom >"$dir/munge/munge.key"
    chmod 400 "$dir/munge/munge.key"
    launch "$dir" munged munged --foreground --force --socket="$dir/munge/munge.socket" \
        --key-file="$dir/munge/munge.key" --pid-file="$dir/munge/munged.pid" \
        --log-file="$dir/log/munged-own.log" --seed-file="$dir/munge/munged.seed"

    cat >"$dir/slurm.conf" <<EOF
ClusterName=local
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/run/slurmctld-own.pid
SlurmdPidFile=$dir/run/slurmd-own.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
MailProg=/bin/true
# sbatch --wait checks every 2 s while this is short, instead of after 2 s and then 8 s.
MinJobAge=5
SlurmdTimeout=30
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=local Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
    export SLURM_CONF=$dir/slurm.conf

    local waited=0
    until [ -S "$dir/munge/munge.socket" ]; do
        if [ $waited -ge $((timeout_seconds * 10)) ] || ! kill -0 "$(cat "$dir/run/munged.pid")" 2>/dev/null; then
            show_logs "$dir"
            stop "$dir"
            die "munged did not start within $timeout_seconds s"
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    launch "$dir" slurmctld slurmctld -D -i -f "$dir/slurm.conf"
    launch "$dir" slurmd slurmd -D -f "$dir/slurm.conf"

    # Ready once the node takes jobs.
    local state=""
    waited=0
    while :; do
        state=$(sinfo -h -n "$host" -o %t 2>/dev/null || true)
        case "$state" in idle* | mix* | alloc*) break ;; esac
        local daemon
        for daemon in slurmctld slurmd; do
            if ! kill -0 "$(cat "$dir/run/$daemon.pid")" 2>/dev/null; then
                show_logs "$dir"
                stop "$dir"
                die "$daemon exited while starting (see its log above)"
            fi
        done
        if [ $waited -ge $((timeout_seconds * 5)) ]; then
            show_logs "$dir"
            stop "$dir"
            die "the node is not ready within $timeout_seconds s (state: ${state:-no answer from slurmctld})"
        fi
        sleep 0.2
        waited=$((waited + 1))
    done
    echo "export SLURM_CONF=$dir/slurm.conf"
}

[ $# -ge 2 ] || die "usage: $0 start|stop DIR, or $0 run DIR COMMAND..."
action=$1
dir=$2
shift 2
case "$action" in
start) start "$dir" ;;
stop) stop "$(cd "$dir" && pwd)" ;;
run)
    [ $# -ge 1 ] || die "run needs a command"
    start "$dir" >/dev/null
    dir=$(cd "$dir" && pwd)
    trap 'stop "$dir"' EXIT
    trap 'exit 1' INT TERM
    export SLURM_CONF=$dir/slurm.conf
    status=0
    "$@" || status=$?
    exit $status
    ;;
*) die "unknown action \"$action\"; start, stop or run" ;;
esac
