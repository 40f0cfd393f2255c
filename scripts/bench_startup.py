#!/usr/bin/python3
"""Start-up benchmark: the processor time of the module as a whole process,
from its start to "error.dat" for a command it refuses at once (an unknown
activity), against /bin/true's. Each program runs RUNS times, in turn, so
that both meet the same load; the figure is the median of the user and
system time the kernel accounted to each process (wait4), so the wall time
of a busy machine does not enter it.

    scripts/bench_startup.py [BUILD_DIR] [RUNS]     (default: build 30)
"""
import os
import statistics
import sys
import tempfile


def processor_seconds(argv, folder):
    pid = os.posix_spawn(argv[0], argv, dict(os.environ, MERV_PROGRAM_DIR=folder,
                                               XDG_CONFIG_HOME=os.path.join(folder, "config")),
                         file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
                                       (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)])
    _, status, usage = os.wait4(pid, 0)
    return usage.ru_utime + usage.ru_stime, os.waitstatus_to_exitcode(status)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    module = os.path.abspath(os.path.join(build, "mervmodul"))
    with tempfile.TemporaryDirectory() as folder:
        outcome = os.path.join(folder, "error.dat")
        module_times, true_times = [], []
        for _ in range(runs):
            if os.path.exists(outcome):
                os.remove(outcome)
            seconds, _ = processor_seconds([module, "NOSUCHACTIVITY"], folder)
            with open(outcome, encoding="ascii") as written:
                if not written.readline().strip():
                    sys.exit("the module wrote no outcome")
            module_times.append(seconds)
            true_times.append(processor_seconds(["/bin/true"], folder)[0])
    module_median = statistics.median(module_times)
    true_median = statistics.median(true_times)
    load = os.getloadavg()[0]
    print(f"module to error.dat: {module_median * 1e3:.2f} ms processor time (median of {runs})")
    print(f"/bin/true:           {true_median * 1e3:.2f} ms")
    print(f"ratio {module_median / true_median:.2f}  (load average {load:.2f})")


if __name__ == "__main__":
    main()
