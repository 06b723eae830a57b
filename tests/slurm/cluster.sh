#!/usr/bin/env bash
# A throw-away one-node Slurm cluster for tests, everything kept in one folder.
#
#   tests/slurm/cluster.sh available   exit 0 if it can run here, else 77 (skip)
#   tests/slurm/cluster.sh start DIR   start munged, slurmctld and slurmd with
#                                      their key, config, state, logs and pids
#                                      in DIR; print "export SLURM_CONF=..."
#   tests/slurm/cluster.sh stop DIR    stop exactly what start started, then
#                                      remove DIR
#
# Typical use from a test (stop also cleans up after a failed start, whose
# logs stay in DIR until then):
#   tests/slurm/cluster.sh available || exit $?
#   dir=$(mktemp -d); trap 'tests/slurm/cluster.sh stop "$dir"' EXIT
#   eval "$(tests/slurm/cluster.sh start "$dir")"
#
# Needs root (slurmd starts jobs as their user, munged and slurmctld run as
# root here so that no service account is needed) and the Debian packages
# munge, slurmctld, slurmd and slurm-client. Nothing outside DIR is written
# and no system daemon is touched: the daemons run in the foreground (-F/-D)
# under setsid, so their process ids are known from the start and recorded
# in DIR/pids; stop signals only those ids (and job step daemons whose
# environment carries this cluster's DIR), never processes found by name.
set -euo pipefail

progs=(munged slurmctld slurmd sinfo sbatch squeue scontrol scancel ss)
# Seconds start waits for the node to become idle.
START_WAIT=${START_WAIT:-60}

die() { echo "cluster.sh: $*" >&2; exit 1; }

available() {
  local p
  for p in "${progs[@]}"; do
    command -v "$p" > /dev/null || { echo "cluster.sh: $p is missing" >&2; exit 77; }
  done
  [ "$(id -u)" = 0 ] || { echo "cluster.sh: needs root" >&2; exit 77; }
}

# A free TCP port in 20000-30000 that is not in the list given as arguments.
free_port() {
  local p i used
  used=$(ss -Htan | awk '{print $4}' | sed 's/.*://' | sort -u)
  for i in $(seq 200); do
    p=$((20000 + RANDOM % 10001))
    case " $* " in *" $p "*) continue ;; esac
    grep -qx "$p" <<< "$used" || { echo "$p"; return; }
  done
  die "no free port found"
}

# True while pid $2 is still the program $1 started for this DIR ($3): a pid
# reused by some other process after ours exited must not be signalled.
ours() {
  local name=$1 pid=$2 dir=$3
  local stat
  stat=$(cat "/proc/$pid/stat" 2> /dev/null) || return 1
  # A zombie is gone for our purpose (init reaps it in its own time).
  case $stat in *") Z "*) return 1 ;; esac
  [ "$(cat "/proc/$pid/comm" 2> /dev/null)" = "$name" ] || return 1
  tr '\0' '\n' < "/proc/$pid/cmdline" 2> /dev/null | grep -qF "$dir"
}

# Job step daemons (slurmstepd) and anything else started by our slurmd:
# slurmd gets TRALVIK_SLURM_DIR=DIR in its environment and they inherit it.
stepds() {
  local dir=$1 f pid
  for f in /proc/[0-9]*/environ; do
    pid=${f#/proc/}; pid=${pid%/environ}
    [ "$pid" != $$ ] || continue
    grep -qzxF "TRALVIK_SLURM_DIR=$dir" "$f" 2> /dev/null && echo "$pid"
  done
  return 0
}

# Stop the daemons listed in DIR/pids: TERM, then KILL after a few seconds.
stop_daemons() {
  local dir=$1 name pid i
  local -a names=() pids=() left=()
  [ -f "$dir/pids" ] || return 0
  # Cancel jobs first so that their steps end while slurmd still runs (a
  # slurmstepd outlives slurmd by design); best effort with short timeouts.
  if [ -f "$dir/slurm.conf" ] && grep -q '^slurmctld ' "$dir/pids"; then
    export SLURM_CONF=$dir/slurm.conf
    timeout 10 scancel --full --user=root > /dev/null 2>&1 || true
    for i in $(seq 20); do
      [ -z "$(timeout 5 squeue -h -t R,CG,S -o %i 2> /dev/null)" ] && break
      sleep 0.5
    done
  fi
  # Reverse order of start: slurmd, slurmctld, munged.
  while read -r name pid; do names=("$name" "${names[@]}"); pids=("$pid" "${pids[@]}"); done < "$dir/pids"
  for i in "${!pids[@]}"; do
    if ours "${names[$i]}" "${pids[$i]}" "$dir"; then kill -TERM "${pids[$i]}" 2> /dev/null || true; fi
    # Wait for each before the next: slurmd and slurmctld still need munged.
    for _ in $(seq 50); do ours "${names[$i]}" "${pids[$i]}" "$dir" || break; sleep 0.2; done
    if ours "${names[$i]}" "${pids[$i]}" "$dir"; then kill -KILL "${pids[$i]}" 2> /dev/null || true; fi
  done
  mapfile -t left < <(stepds "$dir")
  if [ ${#left[@]} -gt 0 ]; then
    kill -TERM "${left[@]}" 2> /dev/null || true
    sleep 2
    mapfile -t left < <(stepds "$dir")
    [ ${#left[@]} = 0 ] || kill -KILL "${left[@]}" 2> /dev/null || true
  fi
  # Zombies aside, wait until the killed ones are really gone.
  for i in "${!pids[@]}"; do
    for _ in $(seq 25); do ours "${names[$i]}" "${pids[$i]}" "$dir" || break; sleep 0.2; done
  done
  rm -f "$dir/pids"
}

tails() {
  local f
  for f in "$1"/log/*; do
    [ -f "$f" ] || continue
    echo "==> $f <==" >&2
    tail -n 30 "$f" >&2
  done
}

start() {
  local dir node cpus mem cport dport sock name pid i state
  [ $# = 1 ] || die "usage: cluster.sh start DIR"
  available
  mkdir -p "$1"
  dir=$(cd "$1" && pwd -P)
  [ -z "$(ls -A "$dir")" ] || die "$dir is not empty"
  # munged refuses folders that others may write to, and warns unless
  # everyone may reach its socket: 0711 for the way there, 0700 elsewhere.
  chmod 0711 "$dir"
  mkdir -m 0711 "$dir/munge"
  mkdir -m 0700 "$dir/log" "$dir/state" "$dir/spool"
  : > "$dir/pids"
  # The socket path must fit in sun_path (108 bytes).
  sock=$dir/munge/socket
  [ ${#sock} -lt 100 ] || die "$dir is too long a path for munge's socket"
  trap 'echo "cluster.sh: start failed" >&2; tails "$dir"; stop_daemons "$dir"; exit 1' ERR

  # The key: mungekey when there is one (munge >= 0.5.14), else 1 KiB random.
  if command -v mungekey > /dev/null; then
    mungekey --create --keyfile="$dir/munge/munge.key"
  else
    dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none
  fi
  chmod 0400 "$dir/munge/munge.key"

  setsid munged --foreground --force --socket="$sock" --key-file="$dir/munge/munge.key" \
    --pid-file="$dir/munge/munged.pid" --log-file="$dir/log/munged.log" \
    --seed-file="$dir/munge/munged.seed" < /dev/null > "$dir/log/munged.out" 2>&1 &
  echo "munged $!" >> "$dir/pids"
  for i in $(seq 50); do [ -S "$sock" ] && break; sleep 0.1; done
  [ -S "$sock" ] || false

  node=$(hostname -s)
  cpus=$(nproc)
  # Below the machine's memory so that the node never drains for having less.
  mem=$(awk '/^MemTotal:/ {m = int($2 / 1024 / 2); print (m > 1000 ? 1000 : m)}' /proc/meminfo)
  cport=$(free_port)
  dport=$(free_port "$cport")
  cat > "$dir/slurm.conf" << EOF
# Written by tests/slurm/cluster.sh for a one-node test cluster.
ClusterName=tralviktest
# The address in brackets spares name resolution; the name must be this host's.
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$cport
SlurmdPort=$dport
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$sock
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
# An empty plugin stack: the system's /etc/slurm/plugstack.conf is not ours.
PlugStackConfig=$dir/plugstack.conf
# No cgroups: plain /proc process tracking, no task binding.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/backfill
# Start batch jobs at the next scheduler pass (about 1 s), not up to 3 s later.
SchedulerParameters=batch_sched_delay=0
MpiDefault=none
# Debian has no mail program; without this slurmctld logs an error.
MailProg=/bin/true
ReturnToService=2
# Short waits so that cancels and shutdowns take seconds, not half a minute.
KillWait=5
MessageTimeout=10
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus RealMemory=$mem State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
  : > "$dir/plugstack.conf"

  # -D: stay in the foreground so that $! is the daemon itself.
  setsid slurmctld -D -f "$dir/slurm.conf" < /dev/null > "$dir/log/slurmctld.out" 2>&1 &
  echo "slurmctld $!" >> "$dir/pids"
  TRALVIK_SLURM_DIR=$dir setsid slurmd -D -f "$dir/slurm.conf" \
    < /dev/null > "$dir/log/slurmd.out" 2>&1 &
  echo "slurmd $!" >> "$dir/pids"

  export SLURM_CONF=$dir/slurm.conf
  state=
  for i in $(seq $((START_WAIT * 2))); do
    # A daemon that died will not come back: give up early.
    while read -r name pid; do ours "$name" "$pid" "$dir" || { echo "cluster.sh: $name exited" >&2; false; }; done < "$dir/pids"
    state=$(timeout 5 sinfo -h -N -n "$node" -o %T 2> /dev/null || true)
    [ "$state" = idle ] && break
    sleep 0.5
  done
  [ "$state" = idle ] || { echo "cluster.sh: node state '${state:-none}' after ${START_WAIT}s" >&2; false; }
  trap - ERR
  echo "export SLURM_CONF=$dir/slurm.conf"
}

stop() {
  local dir
  [ $# = 1 ] || die "usage: cluster.sh stop DIR"
  [ -d "$1" ] || return 0
  dir=$(cd "$1" && pwd -P)
  stop_daemons "$dir"
  rm -rf "$dir"
}

case ${1:-} in
  available) available ;;
  start) shift; start "$@" ;;
  stop) shift; stop "$@" ;;
  *) echo "usage: cluster.sh available | start DIR | stop DIR" >&2; exit 2 ;;
esac
