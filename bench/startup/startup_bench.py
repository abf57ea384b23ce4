"""Start-up benchmark: how long the note keeper takes from its start to a shown window with
1,000 pages of 1 KB each, and how much memory it then uses, beside a bare Qt window
(bench_bare_window) measured on the same desktop in the same run.

    python3 bench/startup/startup_bench.py <build dir> [--rounds N] [--pages N]

Runs under Xvfb with openbox and trayer inside `unshare -n` (the end-to-end harness), in
temporary folders. The window counts as shown when the X server reports it viewable (a map
watcher on the root window and the window manager's frames). Memory is read from
/proc/<pid>/smaps_rollup once the window has been shown for a moment (the first paint done).
Not a test: it prints figures and judges nothing."""

import argparse
import glob
import os
import shutil
import signal
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import harness  # noqa: E402
from harness import MapWatcher, Session, wait_until, write_page  # noqa: E402

PAGE_BYTES = 1024
SETTLE_SECONDS = 1.0  # after the map, before memory is read


def page_text(key):
    """Title and body such that the page file is PAGE_BYTES long (UTF-16 with its mark)."""
    title = f"Page {key}"
    header = len(f"{key}\r\n{title}\r\n\r\n")
    room = (PAGE_BYTES - 2) // 2 - header  # UTF-16 code units left for the body, CR LF included
    lines = []
    sentence = "The quick brown fox jumps over the lazy dog; 0123456789. "
    while room > 0:
        width = min(64, room) - 2
        if room - (width + 2) in (1, 2):  # never leave a remainder too short for a line of its own
            width -= 3
        lines.append((sentence * 2)[:max(width, 0)])
        room -= len(lines[-1]) + 2
    return title, "\n".join(lines)


def seed(folder, count):
    os.makedirs(folder, exist_ok=True)
    for key in range(count):
        title, text = page_text(key)
        write_page(os.path.join(folder, f"page{key:05d}.txt"), key, title, text)
    sizes = {os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder)}
    return sizes


def memory(pid):
    """(Rss, Pss) in kB of a running process."""
    figures = {}
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            name, _, value = line.partition(":")
            if name in ("Rss", "Pss"):
                figures[name] = int(value.split()[0])
    return figures["Rss"], figures["Pss"]


def cpu_ms(pid):
    """The processor time all threads of a running process have used so far, in ms. On a shared
    virtual machine it varies much less than the time to the window."""
    total = 0
    for stat in glob.glob(f"/proc/{pid}/task/*/schedstat"):
        try:
            with open(stat) as f:
                total += int(f.read().split()[0])
        except OSError:
            pass  # a thread that just ended
    return total / 1e6


def measure(session, argv, title, name, cleanup=None):
    """Starts argv, waits for its window titled title, and returns (seconds to shown, Rss kB,
    Pss kB, processor ms used until shown)."""
    if cleanup:
        cleanup()
    watcher = MapWatcher(session.env["DISPLAY"], title)
    try:
        started = time.monotonic()
        process = session.start_other(argv, name)
        shown = watcher.wait(60)
        used = cpu_ms(process.pid) if process.poll() is None else 0.0
    finally:
        watcher.close()
    if shown is None or process.poll() is not None:
        raise RuntimeError(f"{name}: no window titled {title!r} appeared")
    time.sleep(SETTLE_SECONDS)
    rss, pss = memory(process.pid)
    code = session.stop(process)
    if code != 0:
        raise RuntimeError(f"{name} ended with {code}")
    return shown - started, rss, pss, used


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--pages", type=int, default=1000)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    bare = os.path.join(build, "bench", "bench_bare_window")
    for path in (os.path.join(build, "bin", "jotvane"), bare):
        if not os.access(path, os.X_OK):
            sys.exit(f"{path} is missing: build the jotvane and bench_bare_window targets first")
    harness.in_private_network()

    session = Session(os.path.join(build, "bin"), tray=True)
    try:
        sizes = seed(session.path("Data"), args.pages)
        # A second copy of the program without pages shows what the pages cost.
        empty_dir = os.path.join(session.root, "app-empty")
        shutil.copytree(session.app_dir, empty_dir, ignore=shutil.ignore_patterns("Data", "*.ini"))
        socket_path = session.instance_socket()

        def fresh(app_dir):
            def clean():
                # Every round is a first start: no settings file, no running copy left.
                wait_until(lambda: not os.path.exists(socket_path), 10)
                for name in ("Config.ini", "MSGConfig.ini"):
                    if os.path.exists(os.path.join(app_dir, name)):
                        os.remove(os.path.join(app_dir, name))
            return clean

        subjects = [
            ("bare Qt window", [bare], "Bare", "bare", None),
            (f"Jotvane, {args.pages} pages", [session.exe], "Jotvane", "jotvane", fresh(session.app_dir)),
            ("Jotvane, no pages", [os.path.join(empty_dir, "jotvane")], "Jotvane", "jotvane-empty",
             fresh(empty_dir)),
        ]
        results = {label: [] for label, *_ in subjects}
        print(f"{args.pages} page files of {sorted(sizes)} bytes; {args.rounds} rounds after one warm-up; "
              f"memory read {SETTLE_SECONDS:.1f} s after the window was shown", flush=True)
        for round_number in range(args.rounds + 1):
            # The order turns every round, so that no subject always runs right after another.
            order = subjects[round_number % len(subjects):] + subjects[:round_number % len(subjects)]
            for label, argv, title, name, cleanup in order:
                figures = measure(session, argv, title, name, cleanup)
                if round_number > 0:
                    results[label].append(figures)

        def medians(label):
            rows = results[label]
            return tuple(statistics.median(row[i] for row in rows) for i in range(4))

        print(f"{'':24} {'shown after':>12} {'Rss':>10} {'Pss':>10} {'cpu':>10}   (medians; min-max of shown)")
        for label, *_ in subjects:
            shown, rss, pss, used = medians(label)
            times = [row[0] for row in results[label]]
            print(f"{label:24} {shown * 1000:9.1f} ms {rss / 1024:7.1f} MB {pss / 1024:7.1f} MB {used:7.1f} ms"
                  f"   ({min(times) * 1000:.1f}-{max(times) * 1000:.1f} ms)")
        base = medians("bare Qt window")
        for label, *_ in subjects[1:]:
            shown, rss, pss, used = medians(label)
            # Each round's time over the bare window's time in the same round: the host's load
            # changes more between rounds than within one.
            paired = statistics.median(row[0] / bare[0] for row, bare in zip(results[label], results["bare Qt window"]))
            print(f"{label} / bare: time {shown / base[0]:.2f}x (round by round {paired:.2f}x), "
                  f"Rss {rss / base[1]:.2f}x, Pss {pss / base[2]:.2f}x, cpu {used / base[3]:.2f}x")
        shown, rss, pss, _ = medians(f"Jotvane, {args.pages} pages")
        # 1.5x the bare window up to 1,000 pages, 4x at 10,000, in proportion between them.
        if args.pages <= 1000:
            limit = 1.5
        else:
            limit = 1.5 + 2.5 * min(args.pages - 1000, 9000) / 9000
        print(f"goals: start within {limit:.2f}x the bare window: {'met' if shown <= limit * base[0] else 'NOT met'} "
              f"({shown / base[0]:.2f}x); memory under 150 MB: {'met' if rss < 150 * 1024 else 'NOT met'} "
              f"(Rss {rss / 1024:.1f} MB)")
    finally:
        session.close()


if __name__ == "__main__":
    signal.signal(signal.SIGINT, signal.default_int_handler)
    main()
