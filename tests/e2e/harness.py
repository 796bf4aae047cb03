"""Drives the real movrek.exe under Wine and Xvfb the way a person would, and looks at what a
person (or the next start) would see: windows through the probe program, pixels through
screenshots of the X display, sound through the ALSA file sink, the settings file on disk.

Each ctest entry runs on a test bench of its own (scripts/wine-test.sh): it starts Xvfb, the
window manager and the wineserver and exports WINEPREFIX, DISPLAY, WINEDEBUG and
WINEDLLOVERRIDES, so modules can run side by side; MOVREK_BUILD names the Windows build folder."""
import atexit
import json
import os
import shlex
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import audio

BUILD = os.environ.get("MOVREK_BUILD", "")
DIST = os.path.join(BUILD, "dist")
PROBE = os.path.join(BUILD, "probe.exe")
CAPTURE_HEADER = 44  # the WAV header the file sink writes before each stream's samples


class Timeout(AssertionError):
    pass


def poll(fn, timeout=10.0, interval=0.05, what="condition"):
    """Calls fn until it returns something truthy; returns that. No sleeps as synchronisation:
    every wait in these tests is a poll with a deadline."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = fn()
        if last:
            return last
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout}s waiting for {what} (last: {last!r})")
        time.sleep(interval)


def wine_env(extra=None):
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    if extra:
        env.update(extra)
    return env


class _ProbeServer:
    """One probe process that answers command after command (probe serve): a query then costs
    a round trip instead of starting a Wine process (about 0.15 s here, more on a busy
    machine). Its answers go through a file for the reason probe() gives."""

    SERVED = {"windows", "text", "top", "focus", "menu", "resources", "post", "send"}

    def __init__(self):
        fd, self.path = tempfile.mkstemp(prefix="movrek-probe-")
        try:
            self.proc = subprocess.Popen(["wine", PROBE, "serve"], stdin=subprocess.PIPE, stdout=fd,
                                         stderr=subprocess.DEVNULL, env=wine_env())
        finally:
            os.close(fd)
        self.answers = open(self.path, "rb")  # a reading position of its own
        self.seen = b""

    def ask(self, args, timeout):
        self.proc.stdin.write(("\t".join(args) + "\n").encode("utf-8"))
        self.proc.stdin.flush()
        deadline = time.monotonic() + timeout
        while True:
            self.seen += self.answers.read()
            end = self.seen.find(b"\x1e")
            if end >= 0 and b"\n" in self.seen[end:]:
                line_end = self.seen.index(b"\n", end) + 1
                answer, self.seen = self.seen[:end], self.seen[line_end:]
                return answer.decode("utf-8", "replace")
            if self.proc.poll() is not None:
                raise OSError("the probe server ended")
            if time.monotonic() > deadline:
                raise subprocess.TimeoutExpired(["probe", *args], timeout)
            time.sleep(0.002)

    def close(self):
        try:
            self.proc.stdin.close()
            self.proc.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()
        self.answers.close()
        os.unlink(self.path)


_server = None
_server_lock = threading.Lock()


def _close_server():
    global _server
    if _server:
        _server.close()
        _server = None


atexit.register(_close_server)


def probe(*args, timeout=20):
    """The probe's output for one command. Queries go to the probe server; a command it does not
    take, or one asked while another thread holds it, gets a process of its own."""
    global _server
    if args and args[0] in _ProbeServer.SERVED and _server_lock.acquire(blocking=False):
        try:
            if _server is None:
                _server = _ProbeServer()
            return _server.ask([str(a) for a in args], timeout)
        except (OSError, subprocess.TimeoutExpired):
            _close_server()  # the next query starts a fresh one
            raise
        finally:
            _server_lock.release()
    # Output goes through a file, not a pipe: Wine's system processes, if this call starts
    # them, inherit the output and would keep a pipe open long after the probe has ended.
    with tempfile.TemporaryFile() as out:
        subprocess.run(["wine", PROBE, *args], stdout=out, stderr=subprocess.DEVNULL,
                       env=wine_env(), timeout=timeout, stdin=subprocess.DEVNULL)
        out.seek(0)
        return out.read().decode("utf-8", "replace")


def query(*args, tries=3):
    """The output of a probe command that only reads and always prints something. On a busy
    machine a Wine process now and then fails to start and prints nothing; asking again is
    harmless, where a caller polling a count would otherwise fail on a missing answer."""
    for _ in range(tries):
        text = probe(*args).strip()
        if text:
            return text
    return ""


def windows(cls):
    text = query("windows", cls)
    return json.loads(text) if text.startswith("[") else []


def window_text(hwnd):
    """One window's text; much cheaper than describing a window with all its children."""
    text = query("text", str(hwnd))
    return json.loads(text) if text.startswith('"') else None


def top_rect(hwnd):
    """A top-level window's rectangle, or None when it is gone; cheap like window_text."""
    text = query("top")
    for w in json.loads(text) if text.startswith("[") else []:
        if w["hwnd"] == hwnd:
            return w["rect"]
    return None


def x_rect(unix_pid, name="Movrek"):
    """The rectangle the X server shows for the process's top-level window of that title, or
    None. While the window manager runs a move, only X knows where the window is: Wine learns
    the place when the move ends."""
    ids = subprocess.run(["xdotool", "search", "--all", "--pid", str(unix_pid), "--name",
                          "^%s$" % name], capture_output=True, text=True, timeout=20,
                         stdin=subprocess.DEVNULL).stdout.split()
    for wid in ids:
        out = subprocess.run(["xwininfo", "-id", wid], capture_output=True, text=True,
                             timeout=20, stdin=subprocess.DEVNULL).stdout
        if "IsViewable" not in out:
            continue
        f = dict(l.strip().split(":", 1) for l in out.splitlines() if ":" in l)
        left, top = int(f["Absolute upper-left X"]), int(f["Absolute upper-left Y"])
        return [left, top, left + int(f["Width"]), top + int(f["Height"]), int(wid)]
    return None


def accessible(*hwnds):
    """What a screen reader reads of each window's client object, across processes: a list of
    {"hwnd", "name", "role", "state", "action"}, or {"hwnd", "hr"} where it failed."""
    text = query("acc", *[str(h) for h in hwnds])
    return json.loads(text) if text.startswith("[") else []


class WinEvents:
    """Listens, as a screen reader's hook does, to the object events of one window's client
    object for a while: start() returns once the hook is set, heard() the event numbers once
    the time is up or `until` events have come."""

    def __init__(self, hwnd, seconds, until=None):
        self.hwnd, self.seconds, self.until = hwnd, seconds, until

    def start(self):
        self.out = tempfile.TemporaryFile()  # a file, not a pipe (see probe)
        args = ["events", str(self.hwnd), str(int(self.seconds * 1000))] + ([str(self.until)] if self.until else [])
        self.proc = subprocess.Popen(["wine", PROBE, *args],
                                     stdout=self.out, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                                     env=wine_env())
        poll(lambda: self._text().startswith("hooked"), 20, what="the event hook")
        return self

    def _text(self):
        self.out.seek(0)
        return self.out.read().decode("utf-8", "replace")

    def heard(self):
        self.proc.wait(timeout=self.seconds + 20)
        lines = self._text().splitlines()
        self.out.close()
        return json.loads(lines[1]) if len(lines) > 1 else None


def focus():
    """The foreground window and the active and focused windows of its thread."""
    text = probe("focus").strip()
    return json.loads(text) if text.startswith("{") else {}


def popup_menus():
    text = probe("menu").strip()
    return json.loads(text) if text.startswith("[") else []


def post(hwnd, msg, wparam=0, lparam=0):
    probe("post", str(hwnd), str(msg), str(wparam), str(lparam))


def send(hwnd, msg, wparam=0, lparam=0):
    return probe("send", str(hwnd), str(msg), str(wparam), str(lparam)).strip()


def find_child(win, cls=None, text=None):
    """Depth-first search of a probed window description."""
    for c in win.get("children", []):
        if (cls is None or c["class"].lower() == cls.lower()) and (text is None or c["text"] == text):
            return c
        found = find_child(c, cls, text)
        if found:
            return found
    return None


def all_children(win, cls=None):
    out = []
    for c in win.get("children", []):
        if cls is None or c["class"].lower() == cls.lower():
            out.append(c)
        out.extend(all_children(c, cls))
    return out


# ------------------------------------------------------------------ pointer and keyboard

def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, timeout=20,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)


def pointer():
    out = subprocess.run(["xdotool", "getmouselocation", "--shell"], capture_output=True,
                         text=True, timeout=20, stdin=subprocess.DEVNULL).stdout
    vals = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(vals.get("X", -1)), int(vals.get("Y", -1))


def move(x, y):
    # "--sync" to where the pointer already is waits for a motion event that never comes
    # (a 15 s time-out), so only move when the pointer is elsewhere.
    if pointer() != (int(x), int(y)):
        xdo("mousemove", "--sync", x, y)


def click(x, y, button=1):
    move(x, y)
    xdo("click", button)


def press(x, y, button=1):
    move(x, y)
    xdo("mousedown", button)


def release(button=1):
    xdo("mouseup", button)


def drag(x0, y0, x1, y1, steps=3, button=1):
    """Presses the button at (x0, y0), moves the pointer to (x1, y1) in a few steps and
    releases it there."""
    press(x0, y0, button)
    for i in range(1, steps + 1):
        move(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
    release(button)


def key(name):
    xdo("key", name)


def keys(*names):
    """Presses the keys one after another, as a person types them."""
    xdo("key", "--delay", 60, *names)


# ------------------------------------------------------------------ screen

def screenshot(path=None):
    """The whole X screen as (width, height, rows of RGB tuples)."""
    fd, tmp = tempfile.mkstemp(suffix=".ppm")
    os.close(fd)
    try:
        subprocess.run(["import", "-window", "root", "-depth", "8", tmp], check=True,
                       timeout=30, stdin=subprocess.DEVNULL)
        if path:
            subprocess.run(["convert", tmp, path], check=True, timeout=30)
        return read_ppm(tmp)
    finally:
        os.unlink(tmp)


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    # P6 header: magic, width, height, maxval, each separated by white space
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            while data[pos:pos + 1] not in (b"\n", b""):
                pos += 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    w, h = int(fields[1]), int(fields[2])
    return Image(w, h, data[pos:pos + w * h * 3])


class Image:
    def __init__(self, w, h, rgb):
        self.width, self.height, self.rgb = w, h, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def region(self, left, top, right, bottom):
        return [[self.pixel(x, y) for x in range(left, right)] for y in range(top, bottom)]


# ------------------------------------------------------------------ the program

class Movrek:
    """One copy of the program in a folder of its own: movrek.exe, sound\\ and its .ini.
    Its audio goes to a raw file through a private ALSA configuration."""

    def __init__(self, folder=None, ini_text=None, ini_bytes=None, with_sound=True,
                 copy_program=True, env=None):
        """copy_program=False runs the movrek.exe and sound folder already in `folder` (an
        unpacked distribution); env adds to the Wine environment of the program."""
        self.folder = folder or tempfile.mkdtemp(prefix="movrek-e2e-")
        self.home = os.path.join(self.folder, "home")
        self.env = dict(env or {})
        os.makedirs(self.home, exist_ok=True)
        if copy_program:
            shutil.copy(os.path.join(DIST, "movrek.exe"), self.folder)
        if copy_program and with_sound and os.path.isdir(os.path.join(DIST, "sound")):
            shutil.copytree(os.path.join(DIST, "sound"), os.path.join(self.folder, "sound"),
                            dirs_exist_ok=True)
        if ini_text is not None:
            ini_bytes = b"\xff\xfe" + ini_text.replace("\n", "\r\n").encode("utf-16-le")
        if ini_bytes is not None:
            with open(self.ini_path, "wb") as f:
                f.write(ini_bytes)
        self.audio_path = os.path.join(self.folder, "audio.raw")
        # The program closes its device between phrases, and each reopen starts a new stream
        # (with a header of its own) that a plain file sink would write over: the first
        # stream is kept whole, every later one is appended without its header, so offsets
        # into the capture stay valid across a reopen.
        out = shlex.quote(self.audio_path)
        sink = ("if [ -s %s ]; then exec tail -c +%d >> %s; else exec cat >> %s; fi"
                % (out, CAPTURE_HEADER + 1, out, out))
        with open(os.path.join(self.home, ".asoundrc"), "w") as f:
            f.write('pcm.!default { type file; slave.pcm "null"; file "|%s"; format "wav" }\n'
                    % sink)
        self.proc = None
        self.hwnd = None

    @property
    def ini_path(self):
        return os.path.join(self.folder, "movrek.ini")

    @property
    def wine_log(self):
        return os.path.join(self.home, "wine.log")

    def start_failure(self):
        """What is known of a start whose window did not come: whether the program still runs
        or how it ended, its windows, and the end of what Wine printed for it."""
        rc = self.proc.poll()
        try:
            with open(self.wine_log, "rb") as f:
                said = f.read()[-1500:].decode("utf-8", "replace")
        except OSError:
            said = ""
        return "the program %s; its windows: %r; Wine said: %r" % (
            "runs" if rc is None else "ended with %d" % rc,
            [w for w in windows("TFMovrek") if w["hwnd"] not in self._before], said)

    def start(self, wait=True):
        self._launch()
        if wait:
            self.wait_window(relaunch=True)
        return self

    def _launch(self):
        self._before = {w["hwnd"] for w in windows("TFMovrek")}
        # Wine's own messages (debug channels off, so only what goes wrong) are kept for
        # start_failure(); each start writes the file anew.
        with open(self.wine_log, "wb") as log:
            self.proc = subprocess.Popen(
                ["wine", os.path.join(self.folder, "movrek.exe")], cwd=self.folder,
                env=wine_env({"HOME": self.home, **self.env}), stdin=subprocess.DEVNULL,
                stdout=log, stderr=log, start_new_session=True)

    def wait_window(self, timeout=20, agree=True, relaunch=False):
        """Waits for this copy's main window: the first visible TFMovrek that was not there
        before it started; then, unless agree is false, for Wine and X to agree on its place.
        relaunch: on a busy machine a Wine process now and then ends at its start, before
        the program has made any window (seen with exit code 1, a few times in thousands of
        starts, only with another test bench busy beside it). Such a start is made once more,
        and said on stderr; a program that ends at every start still fails."""
        def found():
            for w in windows("TFMovrek"):
                if w["visible"] and (w["hwnd"] == self.hwnd or
                                     (self.hwnd is None and w["hwnd"] not in self._before)):
                    return w
            if relaunch and self.proc.poll() is not None:
                return "ended"
            return None
        try:
            w = poll(found, timeout, what="the Movrek window")
            if w == "ended":
                sys.stderr.write("movrek.exe ended before it made a window (%s); starting it "
                                 "again\n" % self.start_failure())
                relaunch = False
                self._launch()
                w = poll(found, timeout, what="the Movrek window")
        except Timeout as e:
            raise Timeout("%s; %s" % (e, self.start_failure())) from None
        self.hwnd = w["hwnd"]
        if agree:
            self.agree_with_x()
        return w

    def wait_said(self, timeout=20):
        """Waits until the program has said its start phrase and is silent again, as a person
        would before a click: a click or a key while it speaks only silences it. The capture
        is no clock for that: Wine writes the sound out to the sink well ahead of where the
        device plays (here by more than a second), so the phrase is in the file while the
        program still counts it as playing. What tells is the device's idle close a little
        after the last clip, which ends the sink."""
        def said():
            if not os.path.exists(self.audio_path) or os.path.getsize(self.audio_path) <= CAPTURE_HEADER:
                return False
            return audio.Capture(self.audio_path).sound_runs() and not audio.sounding_at_end(self.audio_path)
        poll(said, timeout, what="the start phrase to be said")
        poll(lambda: not self.sink_open(), timeout, what="the sound device to close after the phrase")

    def sink_open(self):
        """Whether this copy's sound device is open: the capture sink, a process that the
        sound library starts when the device opens and that ends when it closes, still runs."""
        mine = set(self.unix_pids())
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/stat" % pid) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if fields[1] in mine and fields[0] != "Z":
                return True
        return False

    def unix_pids(self):
        """The Unix processes running this copy's movrek.exe, found by their command line."""
        exe = os.path.join(self.folder, "movrek.exe").encode()
        pids = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    if f.read().startswith(exe):
                        pids.append(pid)
            except OSError:
                pass
        return pids

    def x_rect(self):
        """The main window's rectangle on the X screen, [left, top, right, bottom]."""
        r = x_rect(self.proc.pid)
        return r and r[:4]

    def agree_with_x(self, timeout=10):
        """Waits until Wine places the window where X shows it. A known race between Wine and
        a reparenting window manager can leave Wine believing a newly mapped window is at
        (0, 0) while X shows it where it was asked to be, and nothing corrects it: the
        program and the probe then read the wrong place. Asked to configure the window
        where it already is, the window manager announces the place again (as ICCCM
        requires), and Wine takes it. Only a disagreement that holds is treated so: a move
        the program has just made reaches X a moment later."""
        seen = {}

        def agreed():
            x = x_rect(self.proc.pid)
            if x is None:
                return False
            wine = top_rect(self.hwnd)
            if wine == x[:4]:
                return True
            since = seen.setdefault((tuple(wine or ()), tuple(x)), time.monotonic())
            if (wine and time.monotonic() - since > 0.5 and
                    wine[2] - wine[0] == x[2] - x[0] and wine[3] - wine[1] == x[3] - x[1]):
                xdo("windowmove", x[4], x[0], x[1])
                seen.clear()
            return False
        try:
            poll(agreed, timeout, interval=0.2, what="Wine and X to agree on the window's place")
        except Timeout as e:
            raise Timeout("%s; Wine %r, X %r" % (e, top_rect(self.hwnd), x_rect(self.proc.pid)))

    def menu_key(self, name):
        """Presses a key for this copy's open popup menu. The program has made its window the
        foreground window for the menu; on Windows that window has the keyboard. Under Wine,
        X's keyboard focus can lag behind or stay elsewhere (seen at the first start on a
        new X server), so the key would reach no window of the program: once the program's
        window is the foreground one, X focus is given to it as Windows would, and only then
        is the key pressed."""
        poll(popup_menus, 10, what="the popup menu")
        self.give_keyboard()
        key(name)

    def give_keyboard(self, hwnd=None, title="Movrek"):
        """Waits until this copy's window (or its window hwnd of that title) is the foreground
        window and has X's keyboard focus (see menu_key)."""
        hwnd = hwnd or self.hwnd

        def has_keyboard():
            if focus().get("foreground") != hwnd:
                return False
            mine = x_rect(self.proc.pid, title)
            x_focus = subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True,
                                     timeout=20, stdin=subprocess.DEVNULL).stdout.strip()
            if mine and x_focus == str(mine[4]):
                return True
            if mine:
                xdo("windowfocus", mine[4])
            return False
        poll(has_keyboard, 10, interval=0.1, what="the program's window to have the keyboard")

    def window(self):
        ws = [w for w in windows("TFMovrek") if w["hwnd"] == self.hwnd]
        return ws[0] if ws else None

    def top_windows(self):
        """This copy's visible top-level windows, from the cheap listing; [] once it has gone."""
        text = probe("top").strip()
        tops = json.loads(text) if text.startswith("[") else []
        pid = next((w["pid"] for w in tops if w["hwnd"] == self.hwnd), None)
        return [w for w in tops if w["pid"] == pid and w["visible"]]

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=15):
        return self.proc.wait(timeout=timeout)

    def kill(self):
        if self.running():
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.proc.wait(timeout=10)

    def audio(self):
        """Captured samples after the 44-byte header: (rate, channels, first channel's samples
        scaled to full scale 1.0). The sink writes the format Wine chose; its length fields
        stay 0. For searching clips in it, use audio.Capture, which is much faster."""
        if not os.path.exists(self.audio_path):
            return 48000, 2, []
        with open(self.audio_path, "rb") as f:
            data = f.read()
        if len(data) < 44:
            return 48000, 2, []
        channels, rate = struct.unpack_from("<HI", data, 22)
        bits = struct.unpack_from("<H", data, 34)[0]
        body = data[44:]
        width = bits // 8
        n = len(body) // (width * channels)
        fmt = {1: "b", 2: "h", 4: "i"}[width]
        scale = float(1 << (bits - 1))
        # Wine hands ALSA 32-bit floats although the header says integer PCM.
        if width == 4 and audio.looks_like_float(body[:n * channels * width]):
            fmt, scale = "f", 1.0
        samples = struct.unpack_from("<%d%s" % (n * channels, fmt), body)
        frames = [samples[i] / scale for i in range(0, n * channels, channels)]
        return rate, channels, frames

    def cleanup(self):
        self.kill()
        shutil.rmtree(self.folder, ignore_errors=True)


COMPACT_HEIGHT = 22         # TimeHeight 16 + 6
EXPANDED_SIZE = (402, 364)


def inside(r, x, y):
    """Whether the point is in the rectangle [left, top, right, bottom)."""
    return r[0] <= x < r[2] and r[1] <= y < r[3]


def size(w):
    """The width and height of a probed window."""
    r = w["rect"]
    return r[2] - r[0], r[3] - r[1]


class MovrekTest(unittest.TestCase):
    """Base class: every copy started through self.launch() is killed and removed after the
    test, whatever happens."""

    def launch(self, wait=True, **kw):
        m = Movrek(**kw)
        self.addCleanup(m.cleanup)
        return m.start(wait=wait)

    def compact(self, m):
        """The copy's window once it shows the compact panel (default settings)."""
        return poll(lambda: (w := m.window()) and size(w)[1] == COMPACT_HEIGHT and w, 15,
                    what="the compact window")

    def expanded(self, m):
        return poll(lambda: (w := m.window()) and size(w) == EXPANDED_SIZE and w, 15,
                    what="the expanded window")


# Window style bits the tests check.
WS_CAPTION = 0x00C00000
WS_THICKFRAME = 0x00040000
WS_BORDER = 0x00800000
WS_POPUP = 0x80000000
WS_EX_TOPMOST = 0x00000008
WS_EX_TOOLWINDOW = 0x00000080
WS_EX_APPWINDOW = 0x00040000
WM_CLOSE = 0x0010
WM_QUERYENDSESSION = 0x0011
WM_ENDSESSION = 0x0016
