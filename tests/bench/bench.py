#!/usr/bin/env python3
"""Benchmark of movrek.exe against baseline.exe, a minimal window of our own built the same way.

Measures, under Wine and an X server (scripts/bench.sh provides both):
  - start-up: from process launch until the window's pixels on the X screen show the painted
    panel colour (many repetitions, the two programs alternating, warm wineserver);
  - CPU per minute while counting in compact mode, read from /proc over a measured interval,
    with what the wineserver, the X server and Wine's other processes spent meanwhile;
  - memory after that interval: VmRSS, and the private part from smaps_rollup;
  - the size of each executable;
  - the gap between the end of one clip and the start of the next (clipgap.exe).

Prints a table and writes it, with how it was measured, to bench/results.md. A missed target
is reported, never an error: this is a benchmark, not a test. Anything below the line
"<!-- analysis -->" in an existing results file is kept."""
import argparse
import ctypes
import json
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
ANALYSIS_MARK = "<!-- analysis -->"

PANEL = (0, 78, 152)          # the default window colour, RGB
LEFT, TOP = 200, 100          # where both windows are put
BASELINE_LEFT, BASELINE_TOP = LEFT, TOP
WM_CLOSE = 0x0010
EXE_LIMIT = 700 * 1024        # the executable as shipped
CLICK_AT = (LEFT + 30, TOP + 11)   # on the time label of the compact window
DOUBLE_CLICK_GAP = 0.7        # seconds between clicks, beyond the double-click time
CLK_TCK = os.sysconf("SC_CLK_TCK")

MOVREK_INI = "\n".join([
    "Movrek=0.3", "Left=%d" % LEFT, "Top=%d" % TOP, "AutoStart=1", "DispSecond=1",
    "BeforeSound=0", "StartSound=0", "PassSound=0", ""])
# The same with the elapsed minute announced: a measured minute holds one announcement.
MOVREK_MINUTES_INI = MOVREK_INI.replace("PassSound=0", "PassSound=1")


# ------------------------------------------------------------------ X screen

class Screen:
    """Reads pixels of the root window straight from the X server (a 60 x 16 grab takes well
    under a millisecond; a screenshot through imagemagick takes a few hundred)."""

    def __init__(self):
        x = ctypes.cdll.LoadLibrary("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.c_void_p
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XFlush.argtypes = [ctypes.c_void_p]
        # Clicks go through the XTEST extension from this process, so the time of a click is
        # the moment it reaches the server, not that of a helper program starting.
        xt = ctypes.cdll.LoadLibrary("libXtst.so.6")
        xt.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                            ctypes.c_int, ctypes.c_ulong]
        xt.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                            ctypes.c_ulong]
        self.xt = xt
        self.x = x
        self.dpy = x.XOpenDisplay(None)
        if not self.dpy:
            raise RuntimeError("cannot open the X display %r" % os.environ.get("DISPLAY"))
        self.root = x.XDefaultRootWindow(self.dpy)

    def share(self, left, top, width, height, colour):
        """The share of pixels in the rectangle that have exactly this RGB colour."""
        img = self.x.XGetImage(self.dpy, self.root, left, top, width, height, 0xFFFFFFFF, 2)
        if not img:
            return 0.0
        try:
            # struct XImage: width, height, xoffset, format, data, byte_order, bitmap_unit,
            # bitmap_bit_order, bitmap_pad, depth, bytes_per_line, bits_per_pixel, ...
            ints = ctypes.cast(img, ctypes.POINTER(ctypes.c_int))
            data = ctypes.cast(img + 16, ctypes.POINTER(ctypes.c_void_p))[0]
            bpl, bpp = ints[11], ints[12]
            if bpp != 32:
                raise RuntimeError("the X screen needs 24-bit colour (got %d bits per pixel)" % bpp)
            raw = ctypes.string_at(data, bpl * height)
        finally:
            self.x.XDestroyImage(img)
        want = bytes((colour[2], colour[1], colour[0]))
        hits = sum(1 for y in range(height) for i in range(y * bpl, y * bpl + width * 4, 4)
                   if raw[i:i + 3] == want)
        return hits / float(width * height)

    def move(self, x, y):
        self.xt.XTestFakeMotionEvent(self.dpy, -1, x, y, 0)
        self.x.XFlush(self.dpy)

    def click(self):
        self.xt.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        self.xt.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        self.x.XFlush(self.dpy)

    def close(self):
        self.x.XCloseDisplay(self.dpy)


# ------------------------------------------------------------------ processes

def wine_env(home):
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    env["HOME"] = home
    return env


def _stat_ticks(path):
    with open(path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


AUDIO_THREADS = ("winealsa", "wine_dsound", "winepulse", "mmdevapi")


def thread_cpu_ns(pid):
    """CPU time of the process in nanoseconds by thread group: "GUI thread" (the main thread,
    which runs the message loop), "audio threads" (Wine's DirectSound mixer and ALSA timer),
    "other threads", and "ended threads" (from the process's own total, in clock ticks).
    Live threads are read from schedstat, which counts nanoseconds."""
    groups = {"GUI thread": 0, "audio threads": 0, "other threads": 0, "ended threads": 0}
    live_ticks = 0
    try:
        total_ticks = _stat_ticks("/proc/%d/stat" % pid)
        for tid in os.listdir("/proc/%d/task" % pid):
            base = "/proc/%d/task/%s/" % (pid, tid)
            try:
                with open(base + "schedstat") as f:
                    ns = int(f.read().split()[0])
                with open(base + "comm") as f:
                    comm = f.read().strip()
                live_ticks += _stat_ticks(base + "stat")
            except (OSError, ValueError, IndexError):
                continue
            if int(tid) == pid:
                groups["GUI thread"] += ns
            elif comm.startswith(AUDIO_THREADS):
                groups["audio threads"] += ns
            else:
                groups["other threads"] += ns
        groups["ended threads"] = max(0, total_ticks - live_ticks) * 1_000_000_000 // CLK_TCK
    except (OSError, ValueError, IndexError):
        pass
    return groups


def cpu_ns(pid):
    return sum(thread_cpu_ns(pid).values())


def memory(pid):
    """(VmRSS, private bytes) of the process."""
    rss = private = 0
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1]) * 1024
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                if line.startswith(("Private_Clean:", "Private_Dirty:")):
                    private += int(line.split()[1]) * 1024
    except OSError:
        pass
    return rss, private


def private_by_mapping(pid):
    """Private bytes of the process per mapping, grouped: the heap, anonymous memory, and each
    file by its base name (Wine's DLLs and the Unix libraries behind them)."""
    groups = {}
    name = None
    try:
        with open("/proc/%d/smaps" % pid) as f:
            for line in f:
                head = line.split()
                if head and "-" in head[0] and len(head) >= 5 and not head[0].endswith(":"):
                    path = head[5] if len(head) > 5 else ""
                    name = ("[anonymous]" if not path else path if path.startswith("[")
                            else os.path.basename(path))
                elif line.startswith(("Private_Clean:", "Private_Dirty:")) and name:
                    groups[name] = groups.get(name, 0) + int(head[1]) * 1024
    except OSError:
        pass
    return groups


def environ_of(pid):
    try:
        with open("/proc/%d/environ" % pid, "rb") as f:
            return f.read().split(b"\0")
    except OSError:
        return []


def wineserver_pid(prefix):
    """Our prefix's wineserver: its working folder is named after the prefix's device and
    inode (other Wine users on this machine have servers of their own)."""
    st = os.stat(prefix)
    want = "server-%x-%x" % (st.st_dev, st.st_ino)
    for p in os.listdir("/proc"):
        if not p.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % p) as f:
                if not f.read().strip().startswith("wineserver"):
                    continue
            if os.path.basename(os.readlink("/proc/%s/cwd" % p)) == want:
                return int(p)
        except OSError:
            continue
    return None


def prefix_processes(prefix, exclude):
    """Wine's own processes of our prefix (explorer with the tray, services, ...)."""
    key = ("WINEPREFIX=" + prefix).encode()
    out = []
    for p in os.listdir("/proc"):
        if not p.isdigit() or int(p) in exclude:
            continue
        if key in environ_of(int(p)):
            try:
                with open("/proc/%s/comm" % p) as f:
                    if f.read().strip().startswith("wineserver"):
                        continue
            except OSError:
                continue
            out.append(int(p))
    return out


class Program:
    """One of the two programs, in a folder of its own."""

    def __init__(self, name, exe, folder, home, window_class, args=()):
        self.name, self.exe, self.folder, self.home = name, exe, folder, home
        self.window_class, self.args = window_class, [str(a) for a in args]
        self.proc = None

    def launch(self):
        self.proc = subprocess.Popen(
            ["wine", self.exe, *self.args], cwd=self.folder, env=wine_env(self.home),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        return self.proc.pid

    def close(self, probe):
        """Asks the window to close as a user would, so the tray icon and the settings file
        are dealt with; kills the process if it does not end."""
        if not self.proc or self.proc.poll() is not None:
            return
        try:
            for w in probe.windows(self.window_class):
                probe.post(w["hwnd"], WM_CLOSE)
            self.proc.wait(timeout=10)
        except (subprocess.TimeoutExpired, OSError, ValueError):
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.proc.wait(timeout=10)


class Probe:
    def __init__(self, exe, home):
        self.exe, self.home = exe, home

    def run(self, *args):
        # Through a file: Wine's system processes would hold a pipe open.
        with tempfile.TemporaryFile() as out:
            subprocess.run(["wine", self.exe, *map(str, args)], stdout=out,
                           stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                           env=wine_env(self.home), timeout=30)
            out.seek(0)
            return out.read().decode("utf-8", "replace").strip()

    def windows(self, cls):
        text = self.run("windows", cls)
        return json.loads(text) if text.startswith("[") else []

    def post(self, hwnd, msg):
        self.run("post", hwnd, msg, 0, 0)


# ------------------------------------------------------------------ measurements

REGION = (LEFT + 2, TOP + 2, 48, 16)   # inside both windows: panel and the label's background


def painted(screen):
    return screen.share(*REGION, PANEL) >= 0.5


# The text field of the last alarm row's sound list in the expanded window: white once painted,
# the desktop's colour while the window is compact.
LAST_LIST = (LEFT + 280, TOP + 338, 80, 10)
WHITE = (255, 255, 255)


def panel_shown(screen):
    return screen.share(*LAST_LIST, WHITE) >= 0.9


def wait_until(fn, timeout, interval=0.003):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if fn():
            return True
        time.sleep(interval)
    return False


def startup_once(prog, screen, probe):
    if not wait_until(lambda: not painted(screen), 10, 0.02):
        raise RuntimeError("the screen still shows a window where %s should appear" % prog.name)
    t0 = time.monotonic()
    prog.launch()
    ok = wait_until(lambda: painted(screen), 30)
    t1 = time.monotonic()
    prog.close(probe)
    if not ok:
        raise RuntimeError("%s did not paint its window within 30 s" % prog.name)
    return (t1 - t0) * 1000.0


def measure_startup(progs, screen, probe, reps):
    times = {p.name: [] for p in progs}
    for p in progs:  # warm-up: page cache, font cache, Wine's first-use work
        startup_once(p, screen, probe)
    for i in range(reps):
        order = progs if i % 2 == 0 else list(reversed(progs))
        for p in order:
            times[p.name].append(startup_once(p, screen, probe))
    return times


def measure_running(prog, screen, probe, seconds, slices, settle, prefix, xvfb_pid):
    """CPU and memory of one program counting in its window, with the shared processes'
    CPU over the same interval."""
    pid = prog.launch()
    try:
        if not wait_until(lambda: painted(screen), 30):
            raise RuntimeError("%s did not paint its window" % prog.name)
        time.sleep(settle)  # measuring the steady state, not the start
        server = wineserver_pid(prefix)
        others = prefix_processes(prefix, {pid})
        shared = {"wineserver": [server] if server else [], "X server": [xvfb_pid] if xvfb_pid else [],
                  "other Wine processes": others}

        def sample():
            own = thread_cpu_ns(pid)
            return (time.monotonic(), sum(own.values()),
                    {**{k: sum(cpu_ns(q) for q in v) for k, v in shared.items()},
                     **{"own " + k: v for k, v in own.items()}})

        points = [sample()]
        for _ in range(slices):
            time.sleep(seconds / slices)
            points.append(sample())
        rss, private = memory(pid)
        if prog.proc.poll() is not None:
            raise RuntimeError("%s ended during the measurement" % prog.name)
    finally:
        prog.close(probe)

    def per_minute(a, b, ns_a, ns_b):
        return (ns_b - ns_a) / 1e6 * 60.0 / (b - a)

    t_first, cpu_first, sh_first = points[0]
    t_last, cpu_last, sh_last = points[-1]
    rates = [per_minute(points[i][0], points[i + 1][0], points[i][1], points[i + 1][1])
             for i in range(len(points) - 1)]
    return {
        "cpu_ms_per_min": per_minute(t_first, t_last, cpu_first, cpu_last),
        "slice_rates": rates,
        "shared_ms_per_min": {k: per_minute(t_first, t_last, sh_first[k], sh_last[k])
                              for k in sh_first},
        "interval_s": t_last - t_first,
        "alive_s": t_last - t_first + settle,
        "rss": rss,
        "private": private,
    }


# What Movrek does at start beyond a bare window, one step at a time (baseline.cpp's steps).
LADDER = ["controls", "tray", "com", "sound", "device"]


def startup_cpu_once(prog, screen, probe, server):
    """Wall time to the first painted frame, and the CPU the process and the wineserver spent
    until then: the CPU figure hardly moves with the machine's load."""
    if not wait_until(lambda: not painted(screen), 10, 0.02):
        raise RuntimeError("the screen still shows a window where %s should appear" % prog.name)
    server_before = cpu_ns(server) if server else 0
    t0 = time.monotonic()
    pid = prog.launch()
    ok = wait_until(lambda: painted(screen), 30)
    t1 = time.monotonic()
    used = cpu_ns(pid) + ((cpu_ns(server) - server_before) if server else 0)
    prog.close(probe)
    if not ok:
        raise RuntimeError("%s did not paint its window within 30 s" % prog.name)
    return (t1 - t0) * 1000.0, used / 1e6


def measure_ladder(baseline, movrek, screen, probe, reps, settle, prefix):
    """Start-up (wall and CPU) and private memory of the baseline with each step of LADDER
    added in turn, and of Movrek, launched alternately so that load affects them alike."""
    progs = [Program("baseline", baseline.exe, baseline.folder, baseline.home,
                     baseline.window_class, baseline.args)]
    for i in range(len(LADDER)):
        progs.append(Program("+ " + LADDER[i], baseline.exe, baseline.folder, baseline.home,
                             baseline.window_class, baseline.args + LADDER[:i + 1]))
    progs.append(movrek)
    server = wineserver_pid(prefix)
    times = {p.name: [] for p in progs}
    cpu = {p.name: [] for p in progs}
    for p in progs:  # warm-up
        startup_cpu_once(p, screen, probe, server)
    for i in range(reps):
        for p in (progs if i % 2 == 0 else list(reversed(progs))):
            wall, used = startup_cpu_once(p, screen, probe, server)
            times[p.name].append(wall)
            cpu[p.name].append(used)
    memory_of, mappings = {}, {}
    for p in progs:
        pid = p.launch()
        try:
            if not wait_until(lambda: painted(screen), 30):
                raise RuntimeError("%s did not paint its window" % p.name)
            time.sleep(settle)
            memory_of[p.name] = memory(pid)[1]
            mappings[p.name] = private_by_mapping(pid)
        finally:
            p.close(probe)
    return {"order": [p.name for p in progs], "startup": times, "startup_cpu": cpu,
            "private": memory_of, "mappings": mappings}


def ladder_report(r):
    lines = ["| program | start-up median (ms) | step (ms) | CPU to first frame, process + "
             "wineserver, median (ms) | step (ms) | private memory (MiB) | step (MiB) |",
             "|---|---:|---:|---:|---:|---:|---:|"]
    prev = None
    for name in r["order"]:
        now = (med(r["startup"][name]), med(r["startup_cpu"][name]), mib(r["private"][name]))
        step = ["", "", ""] if prev is None else [
            "%+.0f" % (now[0] - prev[0]), "%+.0f" % (now[1] - prev[1]), "%+.1f" % (now[2] - prev[2])]
        lines.append("| %s | %.0f | %s | %.0f | %s | %.1f | %s |" % (
            name, now[0], step[0], now[1], step[1], now[2], step[2]))
        prev = now
    last_rung, movrek = r["order"][-2], r["order"][-1]
    a, b = r["mappings"][last_rung], r["mappings"][movrek]
    diff = sorted(((b.get(k, 0) - a.get(k, 0), k) for k in set(a) | set(b)), reverse=True)
    lines += ["", "Private memory of Movrek beyond the last rung, by mapping (KiB):", "",
              "| mapping | %s | movrek | difference |" % last_rung, "|---|---:|---:|---:|"]
    for d, k in diff:
        if abs(d) >= 64 * 1024:
            lines.append("| %s | %d | %d | %+d |" % (k, a.get(k, 0) // 1024, b.get(k, 0) // 1024,
                                                     d // 1024))
    return "\n".join(lines)


def measure_switches(prog, screen, probe, launches, switches, before_launch):
    """Click to painted for the first expansion of each launch and for later switches to the
    expanded mode. Each launch starts compact and counting; a click on the time label switches
    the mode, as a person does; the panel counts as painted when the last alarm row's sound
    list, the last control the panel creates, shows on the X screen."""
    first, later = [], []
    for _ in range(launches):
        if not wait_until(lambda: not painted(screen) and not panel_shown(screen), 10, 0.02):
            raise RuntimeError("the screen still shows a window where %s should appear" % prog.name)
        before_launch()
        prog.launch()
        try:
            if not wait_until(lambda: painted(screen), 30):
                raise RuntimeError("%s did not paint its window" % prog.name)
            screen.move(*CLICK_AT)
            time.sleep(1.0)  # past the start: what is timed is the switch alone
            for n in range(switches + 1):
                t0 = time.monotonic()
                screen.click()
                if not wait_until(lambda: panel_shown(screen), 15):
                    raise RuntimeError("%s did not show its panel" % prog.name)
                (first if n == 0 else later).append((time.monotonic() - t0) * 1000.0)
                time.sleep(DOUBLE_CLICK_GAP)
                screen.click()
                if not wait_until(lambda: not panel_shown(screen), 15):
                    raise RuntimeError("%s did not go back to compact" % prog.name)
                time.sleep(DOUBLE_CLICK_GAP)
        finally:
            prog.close(probe)
    return {"first_ms": first, "later_ms": later}


def measure_clipgap(exe, dist, work):
    home = os.path.join(work, "clipgap-home")
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, ".asoundrc"), "w") as f:
        f.write('pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw" }\n'
                % os.path.join(home, "sound.raw"))
    out_path = os.path.join(work, "clipgap.json")
    with open(out_path, "wb") as out:
        rc = subprocess.run(["wine", exe, "Z:" + os.path.abspath(dist), "3"], stdout=out,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                            env=wine_env(home), timeout=180).returncode
    with open(out_path, encoding="utf-8", errors="replace") as f:
        text = f.read().strip()
    start = text.find("{")
    if start < 0:
        raise RuntimeError("clipgap printed nothing (exit code %d)" % rc)
    result = json.loads(text[start:])
    result["exit_code"] = rc
    return result


# ------------------------------------------------------------------ report

def med(xs):
    return statistics.median(xs) if xs else float("nan")


def pct(xs, q):
    if not xs:
        return float("nan")
    s = sorted(xs)
    k = (len(s) - 1) * q
    lo, hi = int(k), min(int(k) + 1, len(s) - 1)
    return s[lo] + (s[hi] - s[lo]) * (k - lo)


def mib(n):
    return n / (1024.0 * 1024.0)


def loadavg():
    try:
        with open("/proc/loadavg") as f:
            return " ".join(f.read().split()[:3])
    except OSError:
        return "?"


def wine_version():
    try:
        return subprocess.run(["wine", "--version"], capture_output=True, text=True,
                              timeout=30).stdout.strip()
    except (OSError, subprocess.SubprocessError):
        return "?"


def report(r, args):
    su_m, su_b = r["startup"]["movrek"], r["startup"]["baseline"]
    run_m, run_b = r["running"]["movrek"], r["running"]["baseline"]
    size_m, size_b = r["size"]["movrek"], r["size"]["baseline"]
    cg = r["clipgap"]

    def yes(ok):
        return "yes" if ok else "**no**"

    rows = []
    m, b = med(su_m), med(su_b)
    rows.append(("Start-up to first painted frame, median (ms)", "%.0f" % m, "%.0f" % b,
                 "%.2f" % (m / b), "≤ 1.3 × baseline", yes(m <= 1.3 * b)))
    rows.append(("  spread: p10–p90 / min–max (ms)",
                 "%.0f–%.0f / %.0f–%.0f" % (pct(su_m, .1), pct(su_m, .9), min(su_m), max(su_m)),
                 "%.0f–%.0f / %.0f–%.0f" % (pct(su_b, .1), pct(su_b, .9), min(su_b), max(su_b)),
                 "", "", ""))
    cm, cb = run_m["cpu_ms_per_min"], run_b["cpu_ms_per_min"]
    rows.append(("CPU per minute while counting, nothing due, process (ms)", "%.0f" % cm,
                 "%.0f" % cb, "%.2f" % (cm / cb if cb else float("inf")), "≤ 1.5 × baseline",
                 yes(cm <= 1.5 * cb)))
    rows.append(("  spread of %d-s slices: median, min–max (ms/min)" %
                 round(run_m["interval_s"] / len(run_m["slice_rates"])),
                 "%.0f, %.0f–%.0f" % (med(run_m["slice_rates"]), min(run_m["slice_rates"]),
                                      max(run_m["slice_rates"])),
                 "%.0f, %.0f–%.0f" % (med(run_b["slice_rates"]), min(run_b["slice_rates"]),
                                      max(run_b["slice_rates"])), "", "", ""))
    shared_m, shared_b = run_m["shared_ms_per_min"], run_b["shared_ms_per_min"]
    for k in shared_m:
        if not k.startswith("own "):
            continue
        sm, sb = shared_m[k], shared_b[k]
        if sm < 0.5 and sb < 0.5:
            continue
        gui = k == "own GUI thread"
        rows.append(("  of which %s (ms/min)" % k[4:], "%.0f" % sm, "%.0f" % sb,
                     "%.2f" % (sm / sb) if sb >= 0.5 else "",
                     "≤ 1.2 × baseline's process" if gui else "",
                     yes(sm <= 1.2 * cb) if gui else ""))
    for k in shared_m:
        if k.startswith("own "):
            continue
        sm, sb = shared_m[k], shared_b[k]
        rows.append(("  meanwhile: %s (ms/min)" % k, "%.0f" % sm, "%.0f" % sb,
                     "%.2f" % (sm / sb) if sb >= 0.5 else "", "(for information)", ""))
    minute = r["running"].get("movrek, minute announced")
    if minute:
        mm = minute["cpu_ms_per_min"]
        own = minute["shared_ms_per_min"]
        rows.append(("CPU for a minute holding one minute announcement, process (ms)",
                     "%.0f" % mm, "%.0f" % cb, "%.2f" % (mm / cb if cb else float("inf")),
                     "(for information)", ""))
        rows.append(("  of which GUI thread / audio threads (ms)",
                     "%.0f / %.0f" % (own.get("own GUI thread", 0), own.get("own audio threads", 0)),
                     "", "", "", ""))
    rm, rb = run_m["rss"], run_b["rss"]
    pm, pb = run_m["private"], run_b["private"]
    rows.append(("Private memory after %.0f s (MiB)" % min(run_m["alive_s"], run_b["alive_s"]),
                 "%.1f" % mib(pm), "%.1f" % mib(pb), "+%.1f MiB" % mib(pm - pb),
                 "≤ baseline + 3 MiB", yes(pm - pb <= 3 * 1024 * 1024)))
    rows.append(("  working set (VmRSS), with Wine's shared libraries (MiB)", "%.1f" % mib(rm),
                 "%.1f" % mib(rb), "+%.1f MiB" % mib(rm - rb), "(for information)", ""))
    rows.append(("Executable size as shipped (bytes)", "{:,}".format(size_m), "{:,}".format(size_b),
                 "%.1f" % (size_m / size_b), "≤ 700 KB ({:,})".format(EXE_LIMIT),
                 yes(size_m <= EXE_LIMIT)))
    sw = r.get("switches")
    if sw and sw["first_ms"]:
        f, l = sw["first_ms"], sw["later_ms"]
        rows.append(("First expansion, click to panel painted, median (ms)", "%.0f" % med(f), "—",
                     "", "≤ 250", yes(med(f) <= 250)))
        rows.append(("  spread: min–max, of %d launches (ms)" % len(f),
                     "%.0f–%.0f" % (min(f), max(f)), "—", "", "", ""))
        rows.append(("Later switch to the expanded mode, median (ms)", "%.0f" % med(l), "—", "",
                     "≤ 100", yes(med(l) <= 100)))
        rows.append(("  spread: min–max, of %d switches (ms)" % len(l),
                     "%.0f–%.0f" % (min(l), max(l)), "—", "", "", ""))
    if "open_ms" in cg:
        rows.append(("Opening the sound device at start (ms)", "%.0f" % cg["open_ms"], "—", "",
                     "(part of start-up)", ""))
    if cg.get("gap_ms"):
        gaps, loads, waits, starts = cg["gap_ms"], cg["load_ms"], cg["tick_wait_ms"], cg["start_ms"]
        # Each gap against its own allowance: one tick plus that clip's start-up work.
        worst = max(g - s for g, s in zip(gaps, starts))
        rows.append(("Gap between queued clips, median / max (ms)",
                     "%.1f / %.1f" % (med(gaps), max(gaps)), "—", "",
                     "≤ 100 ms tick + loading", yes(worst <= 100.0 + 5.0)))
        rows.append(("  wait for the tick, median / max (ms)",
                     "%.1f / %.1f" % (med(waits), max(waits)), "—", "", "≤ 100", ""))
        rows.append(("  loading and starting the clip, median / max (ms)",
                     "%.1f / %.1f" % (med(starts), max(starts)), "—", "",
                     "(LoadWave alone: median %.1f)" % med(loads), ""))
        rows.append(("  tick interval, median, p10–p90 (ms)",
                     "%.1f, %.1f–%.1f" % (med(cg["tick_interval_ms"]), pct(cg["tick_interval_ms"], .1),
                                          pct(cg["tick_interval_ms"], .9)), "—", "", "100", ""))
    else:
        rows.append(("Gap between queued clips", "not measured", "—", "", "", ""))
    if cg.get("first_clip_after_reopen_ms", -1) >= 0 and cg.get("reopen_ms"):
        first, reopen = cg["first_clip_after_reopen_ms"], cg["reopen_ms"][0]
        rows.append(("First clip after the device closed for silence, call to play (ms)",
                     "%.1f" % first, "—", "", "≤ 100 ms tick + loading",
                     yes(first <= 100.0 + reopen + 5.0)))
        rows.append(("  of which reopening the device (ms)", "%.1f" % reopen, "—", "",
                     "(closed %.1f s after the last clip ended)" %
                     (cg.get("idle_close_after_ms", 0) / 1000.0), ""))
        later = cg.get("gap_after_reopen_ms") or []
        if later:
            rows.append(("  gaps between the phrase's later clips, median / max (ms)",
                         "%.1f / %.1f" % (med(later), max(later)), "—", "", "≤ 100 ms tick + loading",
                         yes(max(later) <= 100.0 + 5.0 + max(cg.get("start_ms") or [0]))))

    head = ("| measure | movrek | baseline | ratio | target | met |\n"
            "|---|---:|---:|---:|---|---|\n")
    table = head + "".join("| %s |\n" % " | ".join(row) for row in rows)

    clip_note = ("%d clips queued at once (count-in, すたーと, 1 h 25 min), %d played, %d ends "
                 "reported, %d gaps; messages: %s" %
                 (cg.get("expected", 0), cg.get("played", 0), cg.get("ended", 0),
                  len(cg.get("gap_ms", [])), ", ".join(cg.get("messages", [])) or "none"))

    method = f"""## How it was measured

- Run: `make bench` on {time.strftime('%Y-%m-%d %H:%M')} ({platform.node() or 'host'}, {os.cpu_count()} cores,
  {platform.system()} {platform.release()}, {r['wine']}, X server: {r['display']}).
  Load average before / after: {r['load_before']} / {r['load_after']}. **The machine is shared with
  other work** (builds and tests of other people run alongside), so single numbers wander; the
  table gives medians and spreads, and the two programs are measured alternately or under the
  same conditions.
- Both programs: `movrek.exe` from the distribution folder and `baseline.exe`
  (`tests/bench/baseline.cpp`: a borderless, topmost tool window at the same place, in the same
  colour, whose 100 ms `SetTimer` rewrites a static label when the second changes), compiled with
  the same MinGW-w64 compiler, `Release` flags and static linking. One warm wineserver and one
  prefix for the whole run; each program in its own folder, with a private `HOME` whose
  `.asoundrc` sends sound to a file (Movrek opens DirectSound at start). Movrek's settings file:
  `AutoStart=1` (counts in compact mode from the start), `DispSecond=1`, no count-in, start
  phrase or elapsed announcement, window at ({LEFT}, {TOP}).
- **Start-up**: from just before the process is launched until a 48 × 16 pixel region inside the
  window, read straight from the X server with `XGetImage` every 3 ms, is at least half the panel
  colour RGB{PANEL}: the window is mapped *and* painted. One warm-up launch each, then
  {args.reps} launches each, alternating which program goes first; each is closed through
  `WM_CLOSE` (probe.exe) before the next, and the screen is checked clear first.
- **CPU**: after the window is painted and {args.settle:g} s have passed, the CPU time of all the
  process's threads (`/proc/PID/task/*/schedstat`) over {args.seconds:g} s, in {args.slices}
  slices, scaled to one minute. Over the same interval: the wineserver of our prefix (its message
  and timer work for the process), the X server, and Wine's other processes of the prefix
  (explorer with the tray, services). Programs measured one after the other: baseline, then movrek.
  The row for a minute holding one announcement is the same measurement of Movrek with the
  elapsed minute announced (`PassSound=1`): the interval takes in the 1:00 announcement.
- **Memory**: the private part of the Wine process at the end of that interval
  (`Private_Clean + Private_Dirty` of `smaps_rollup`), and for information its `VmRSS` (the
  Linux view: it counts Wine's own DLLs and mappings, shared by every Wine process).
- **Switching the mode**: {args.switch_launches} launches, each compact and counting; 1 s after
  the window is painted, a click on the time label (XTEST from the measuring process, under the
  test desktop's window manager) and the time until the last alarm row's sound list shows white
  on the X screen: the first expansion of that launch. Then a click back to compact and
  {args.switches} more expansions, timed the same way: the later switches. Clicks are
  {DOUBLE_CLICK_GAP:g} s apart, beyond the double-click time.
- **Size**: bytes of each `.exe` as shipped: `dist/movrek.exe`, the copy that goes into the zip
  (stripped of symbols and debug sections), and `baseline.exe`, stripped the same way.
- **Clip gap**: `clipgap.exe` (`tests/bench/clipgap.cpp`) runs the real `kdsound` (DirectSound,
  notifier thread) and `ktalk` on a hidden window with a 100 ms timer calling `Tick`, like the
  main window. A timing layer around the device notes each `PlayClip` with
  `QueryPerformanceCounter`; the window notes each `TalkNotify(0)` and each tick. Gap = from a
  clip's end notice to the next clip's `PlayClip`; split into the wait for the tick and the
  start-up work (file check, `LoadWave`, `SetNotify`, `SetVolume`). {clip_note}. Sound goes to the
  ALSA file sink, which is not paced in real time: clip lengths are short here, the gaps are not
  affected. The "met" column allows each gap 100 ms plus its own start-up work (+5 ms timer slack).
  After the last of these clips the announcer is left alone until it closes the device for
  silence; then one more phrase (1 h 25 min) is asked for, timed from the call to its first
  `PlayClip` (the reopen included) and between its clips.
"""
    return table, method


def write_ini(folder, text):
    with open(os.path.join(folder, "movrek.ini"), "wb") as f:
        f.write(b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))


def write_results(path, table, method):
    kept = ""
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            old = f.read()
        at = old.find(ANALYSIS_MARK)
        if at >= 0:
            kept = old[at:]
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write("# Movrek benchmark\n\nGenerated by `make bench` (tests/bench/bench.py); the "
                "analysis at the end is written by hand and kept across runs.\n\n")
        f.write(table + "\n" + method + "\n")
        if kept:
            f.write(kept if kept.endswith("\n") else kept + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", required=True, help="the Windows build folder")
    ap.add_argument("--reps", type=int, default=15, help="start-up launches per program")
    ap.add_argument("--seconds", type=float, default=60, help="CPU interval per program")
    ap.add_argument("--slices", type=int, default=6)
    ap.add_argument("--settle", type=float, default=3.0)
    ap.add_argument("--switch-launches", type=int, default=7,
                    help="launches that each time a first expansion")
    ap.add_argument("--switches", type=int, default=3,
                    help="later switches to the expanded mode timed per launch")
    ap.add_argument("--out", default=os.path.join(ROOT, "bench", "results.md"))
    ap.add_argument("--xvfb-pid", type=int, default=0)
    ap.add_argument("--ladder", action="store_true",
                    help="only split the start-up and memory by the baseline's steps: prints a "
                         "table, raw numbers in bench/ladder.json")
    args = ap.parse_args()

    build = os.path.abspath(args.build)
    dist = os.path.join(build, "dist")
    exes = {"movrek": os.path.join(dist, "movrek.exe"), "baseline": os.path.join(build, "baseline.exe"),
            "probe": os.path.join(build, "probe.exe"), "clipgap": os.path.join(build, "clipgap.exe")}
    for name, p in exes.items():
        if not os.path.exists(p):
            sys.exit("bench: %s is missing (build the Windows world first)" % p)
    prefix = os.environ.get("WINEPREFIX")
    if not prefix or not os.environ.get("DISPLAY"):
        sys.exit("bench: run through scripts/bench.sh (needs WINEPREFIX and DISPLAY)")

    work = tempfile.mkdtemp(prefix="movrek-bench-")
    try:
        home = os.path.join(work, "home")
        os.makedirs(home)
        with open(os.path.join(home, ".asoundrc"), "w") as f:
            f.write('pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw" }\n'
                    % os.path.join(work, "audio.raw"))
        mfolder = os.path.join(work, "movrek")
        os.makedirs(mfolder)
        shutil.copy(exes["movrek"], mfolder)
        if os.path.isdir(os.path.join(dist, "sound")):
            shutil.copytree(os.path.join(dist, "sound"), os.path.join(mfolder, "sound"))
        write_ini(mfolder, MOVREK_INI)
        bfolder = os.path.join(work, "baseline")
        os.makedirs(bfolder)
        shutil.copy(exes["baseline"], bfolder)

        movrek = Program("movrek", os.path.join(mfolder, "movrek.exe"), mfolder, home, "TFMovrek")
        baseline = Program("baseline", os.path.join(bfolder, "baseline.exe"), bfolder, home,
                           "MovrekBenchBaseline", [BASELINE_LEFT, BASELINE_TOP])
        probe = Probe(exes["probe"], home)
        screen = Screen()
        r = {"load_before": loadavg(), "wine": wine_version(), "display": os.environ["DISPLAY"]}
        r["size"] = {"movrek": os.path.getsize(exes["movrek"]),
                     "baseline": os.path.getsize(exes["baseline"])}

        if args.ladder:
            print("bench: start-up and memory, step by step, %d launches each ..." % args.reps,
                  flush=True)
            lr = measure_ladder(baseline, movrek, screen, probe, args.reps, args.settle + 7, prefix)
            screen.close()
            print(ladder_report(lr))
            with open(os.path.join(os.path.dirname(args.out), "ladder.json"), "w") as f:
                json.dump(lr, f)
            return
        print("bench: start-up, %d launches each ..." % args.reps, flush=True)
        r["startup"] = measure_startup([baseline, movrek], screen, probe, args.reps)
        r["running"] = {}
        for p in (baseline, movrek):
            print("bench: %s counting for %g s ..." % (p.name, args.seconds), flush=True)
            r["running"][p.name] = measure_running(p, screen, probe, args.seconds, args.slices,
                                                   args.settle, prefix, args.xvfb_pid)
        print("bench: movrek counting for %g s with the minute announced ..." % args.seconds,
              flush=True)
        write_ini(mfolder, MOVREK_MINUTES_INI)
        r["running"]["movrek, minute announced"] = measure_running(
            movrek, screen, probe, args.seconds, args.slices, args.settle, prefix, args.xvfb_pid)
        write_ini(mfolder, MOVREK_INI)
        print("bench: switching to the expanded mode, %d launches ..." % args.switch_launches,
              flush=True)
        r["switches"] = measure_switches(movrek, screen, probe, args.switch_launches,
                                         args.switches, lambda: write_ini(mfolder, MOVREK_INI))
        write_ini(mfolder, MOVREK_INI)
        print("bench: clip gaps ...", flush=True)
        try:
            r["clipgap"] = measure_clipgap(exes["clipgap"], dist, work)
        except (RuntimeError, ValueError, subprocess.SubprocessError) as e:
            print("bench: clip gap not measured: %s" % e, flush=True)
            r["clipgap"] = {}
        r["load_after"] = loadavg()
        screen.close()

        with open(os.path.join(work, "raw.json"), "w") as f:
            json.dump(r, f)
        table, method = report(r, args)
        print()
        print(table)
        write_results(args.out, table, method)
        raw_out = os.path.join(os.path.dirname(args.out), "raw.json")
        shutil.copy(os.path.join(work, "raw.json"), raw_out)
        print("bench: written to %s (raw numbers in %s)" % (os.path.relpath(args.out, ROOT),
                                                           os.path.relpath(raw_out, ROOT)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
