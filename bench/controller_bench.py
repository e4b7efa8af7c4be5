#!/usr/bin/env python3
"""Idle cost of a running controller and the latency from a request to its start record.

    bench/controller_bench.py [--build build] [--idle-seconds 60] [--requests 200]

Starts build/bin/txcontroller in a machine folder of its own, measures over the idle period
the CPU time it used (from /proc/PID/stat), its context switches (wake-ups, from
/proc/PID/status) and its resident memory, then sends requests one at a time at random
moments and reads, for each, the time of its "[_ThreadProc]Start Job" record. The requests go
through one txsend reading standard input, so that a program's start is not counted as
part of a request: the clock starts when the request's line is written.

The idle figures are taken twice, on two kinds of machine:
  deployed  the remote-support program is in place, as on every start after the first, so
            the start makes no Internet request;
  fresh     the program is missing, so the start downloads it (here the download host does
            not resolve and the download fails): the figures after an Internet session.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def proc_cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime + stime


def proc_status(pid):
    values = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            values[key] = value.strip()
    return values


def switches(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status") as f:
            for line in f:
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                    total += int(line.split(":")[1])
    return total


def read_log(machine):
    folder = os.path.join(machine, "drive_c", "talvex", "log", "conlog")
    text = ""
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            text += f.read().decode("latin-1")
    return text


def record_time(line):
    m = re.match(r"\[(\d{4})/(\d\d)/(\d\d) (\d\d):(\d\d):(\d\d)\.(\d{3})\]", line)
    y, mo, d, h, mi, s, ms = (int(x) for x in m.groups())
    return time.mktime((y, mo, d, h, mi, s, 0, 0, -1)) + ms / 1000.0


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


REMOTE_SUPPORT_PROGRAM = os.path.join("drive_c", "talvex", "bin", "TeamViewerQS.exe")


def measure(bin_dir, deployed, idle_seconds, requests):
    machine = tempfile.mkdtemp(prefix="txbench-")
    if deployed:
        program = os.path.join(machine, REMOTE_SUPPORT_PROGRAM)
        os.makedirs(os.path.dirname(program))
        with open(program, "wb") as f:
            f.write(b"MZ remote support")
    env = dict(os.environ, TX_MACHINE=machine)
    controller = subprocess.Popen([os.path.join(bin_dir, "txcontroller")], env=env)
    try:
        txsend = os.path.join(bin_dir, "txsend")
        for _ in range(500):
            if subprocess.run([txsend, "send", "0"], env=env, capture_output=True).returncode == 0:
                break
            time.sleep(0.01)
        # The first worker turn makes the desktop shortcuts; the web shortcut's record is its last.
        for _ in range(6000):
            if "[_ThreadProc]Create Shortcut[" in read_log(machine):
                break
            time.sleep(0.01)
        time.sleep(1)

        cpu0, sw0, t0 = proc_cpu_seconds(controller.pid), switches(controller.pid), time.monotonic()
        time.sleep(idle_seconds)
        cpu1, sw1, t1 = proc_cpu_seconds(controller.pid), switches(controller.pid), time.monotonic()
        status = proc_status(controller.pid)
        elapsed = t1 - t0
        kind = "deployed" if deployed else "fresh"
        print(f"{kind} machine, idle {elapsed:.1f} s: CPU {100.0 * (cpu1 - cpu0) / elapsed:.4f}% of one core, "
              f"{(sw1 - sw0) / elapsed:.1f} wake-ups/s, resident {status['VmRSS']} "
              f"(peak {status['VmHWM']}; private {status['RssAnon']}, mapped files {status['RssFile']}), "
              f"threads {status['Threads']}")

        latencies = []
        sender = subprocess.Popen([txsend, "-"], env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        try:
            for n in range(requests):
                time.sleep(random.uniform(0.0, 0.25))
                text = f"bench{n:06d}"
                sent = time.time()
                sender.stdin.write(f"copydata 16 {text}\n")
                sender.stdin.flush()
                if sender.stdout.readline().strip() == "error":
                    raise RuntimeError(f"request {n} was not delivered")
                for _ in range(200):
                    match = re.search(r"^(\[[^\n]*)\[_ThreadProc\]Start Job\[0\] data\[" + text + r"\]",
                                      read_log(machine), re.M)
                    if match:
                        latencies.append(record_time(match.group(1)) - sent)
                        break
                    time.sleep(0.01)
        finally:
            sender.stdin.close()
            sender.wait()
        if latencies:
            ms = [1000 * x for x in latencies]
            print(f"request to start record over {len(ms)} requests: median {percentile(ms, 50):.0f} ms, "
                  f"p99 {percentile(ms, 99):.0f} ms, max {max(ms):.0f} ms")
    finally:
        controller.kill()
        controller.wait()
        shutil.rmtree(machine, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--idle-seconds", type=float, default=60)
    parser.add_argument("--requests", type=int, default=200)
    args = parser.parse_args()
    bin_dir = os.path.join(args.build, "bin")
    measure(bin_dir, True, args.idle_seconds, args.requests)
    measure(bin_dir, False, args.idle_seconds, 0)
    return 0


if __name__ == "__main__":
    sys.exit(main())
