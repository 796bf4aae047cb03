"""Ten minutes of counting as a person lives it: minute announcements on, four alarm rows set,
the window switched between its modes, its menu opened and closed and the options dialog
opened and cancelled a few times a minute. What the process holds must stay flat once it has
warmed up, and every announcement and alarm row must be heard, in order, with nothing else.

The figures come from `probe resources` (see tests/tools/probe.cpp for what each counts under
Wine). The sound is checked half a minute at a time: the capture grows by about 1.4 MB a
second (the sink runs faster than real time), so each stretch is read once, from the capture
size noted at its start, while the program goes on counting."""
import json
import os
import re
import time
import unittest

import audio
import harness
from harness import MovrekTest, poll, windows, all_children
from test_main_window import open_menu_on
from test_options import dialogs, child, ID_CANCEL

SOUND = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "sound")
TIME_RE = re.compile(r"^(\d\d):(\d\d):(\d\d)$")
COMPACT_HEIGHT = 22
START_PHRASE = "きどうしました"

RUN = 600          # seconds of counting; the last stretch ends 20 s after it
WARM_UP = 120      # the first samples, while caches and the heap settle, are not judged

# Alarm rows at half minutes, clear of the minute announcements: (elapsed s, row value,
# clips heard). Sound 3 rings ピンポン, 6 says 右スタート, 4 rings ポン, 10 says 時間です.
ROWS = [(150, "\\10\\20\\32\\430\\73", ["alarm3"]),
        (270, "\\10\\20\\34\\430\\76", ["みぎ", "すたーと"]),
        (450, "\\10\\20\\37\\430\\74", ["alarm4"]),
        (570, "\\10\\20\\39\\430\\710", ["じかんです"])]

# What is heard and when: the start phrase at the first activation, each minute's announcement
# as it completes, and the rows.
EVENTS = sorted([(0, [START_PHRASE])] +
                [(60 * n, ["%dふん" % n, "けいか"]) for n in range(1, RUN // 60 + 1)] +
                [(t, clips) for t, _, clips in ROWS])

# Stretch boundaries at :20 and :45 of each minute, where nothing sounds; a person's clicks
# come 6 s after each minute and each half minute, when the phrase before them has ended.
CHECKPOINTS = [60 * m + s for m in range(RUN // 60 + 1) for s in (20, 45)][:-1]
QUIET_BEFORE, QUIET_AFTER = 2, 4   # no capture mark this close to an event

# Bounds after the warm-up. In ten-minute runs here the kernel handles, GDI objects and
# windows did not move by a single one after the first clicks, so a leak of one object per use
# of any path exercised below (eight uses each after the warm-up) passes these bounds; the
# slack leaves room for Wine caching a DC or a handle of its own now and then.
MAX_HANDLES_GROWTH = 3
MAX_GDI_GROWTH = 4
MAX_USER_GROWTH = 2
# Private bytes (under Wine the resident anonymous memory) stayed within 128 KB after the
# warm-up. A clip buffer left behind per clip played (28 to 120 KB each as loaded, about
# sixteen clips after the warm-up) or a dialog's worth of memory per opening passes 512 KB.
MAX_PRIVATE_GROWTH = 512 << 10


def rows_ini():
    return "\n".join(["Movrek=0.3", "AutoStart=1", "StartSound=1", "PassSound=1"] +
                     ["B%d=%s" % (i, value) for i, (_, value, _) in enumerate(ROWS)] + [""])


def capture_size(m):
    try:
        return os.path.getsize(m.audio_path)
    except FileNotFoundError:
        return 0


class Soak(MovrekTest):
    def test_ten_minutes_hold_steady_and_say_every_minute_and_row(self):
        m = self.launch(ini_text=rows_ini())
        w = poll(lambda: (x := m.window()) and x["rect"][3] - x["rect"][1] == COMPACT_HEIGHT and x,
                 15, what="the compact window")
        label = next(c["hwnd"] for c in all_children(w, "Static") if TIME_RE.match(c["text"]))
        self.label = label
        self.m = m
        t0 = time.monotonic()

        samples, heard, problems = [], [], []
        self.clicks = {"menu": [], "mode": []}   # elapsed seconds of each use
        mark_size, mark_at = 0, -1     # the capture before the program said anything
        print("\n%6s %6s %7s %5s %4s %4s %4s %4s %4s %6s %8s %8s  %s" % (
            "wall s", "count", "handles", "gdi", "dc", "rgn", "bmp", "font", "brsh", "user",
            "ws KB", "priv KB", "heard since the row before"), flush=True)
        for i, checkpoint in enumerate(CHECKPOINTS):
            self.wait_elapsed(checkpoint)
            at, size = self.quiet_mark()
            res = self.resources(m)
            # The stretch just ended must hold exactly the clips of its events.
            expected = [e for e in EVENTS if mark_at < e[0] <= at]
            names = [c for _, clips in expected for c in clips]
            found = self.check_stretch(m, mark_size, names, problems, (mark_at, at))
            heard.extend(found)
            samples.append((time.monotonic() - t0, at, res))
            print("%6.0f %6s %7d %5d %4d %4d %4d %4d %4d %6d %8d %8d  %s" % (
                samples[-1][0], "%d:%02d" % divmod(at, 60), res["handles"], res["gdi"],
                res["gdi_types"]["dc"], res["gdi_types"]["region"], res["gdi_types"]["bitmap"],
                res["gdi_types"]["font"], res["gdi_types"]["brush"], res["user"],
                res["working_set"] // 1024, res["private"] // 1024, " ".join(found) or "-"),
                flush=True)
            if i == 0:
                print("(handles: %s; gdi: %s; user: %s)" % (
                    res["handles_from"], res["gdi_from"], res["user_from"]), flush=True)
            mark_size, mark_at = size, at
            if i + 1 < len(CHECKPOINTS):
                self.interact(checkpoint)

        self.assertTrue(m.running(), "the program ended")
        self.assertEqual(problems, [])
        self.assertEqual(heard, [c for t, clips in EVENTS if t <= mark_at for c in clips])

        judged = [s for s in samples if s[1] >= WARM_UP]
        self.assertGreaterEqual(len(judged), (RUN - WARM_UP) // 30)
        base = judged[0][2]
        grown = ["%s grew from %d to %d" % (key, base[key], worst)
                 for key, bound in (("handles", MAX_HANDLES_GROWTH), ("gdi", MAX_GDI_GROWTH),
                                    ("user", MAX_USER_GROWTH), ("private", MAX_PRIVATE_GROWTH))
                 for worst in [max(s[2][key] for s in judged)] if worst - base[key] > bound]
        self.assertEqual(grown, [], "after the warm-up (from %d s on)" % judged[0][1])
        # A busy machine may make the loop skip a use; too few would leave the paths untried.
        for kind, ats in self.clicks.items():
            self.assertGreaterEqual(len([t for t in ats if t >= judged[0][1]]),
                                    (RUN - WARM_UP) // 120, "too few %s uses: %r" % (kind, ats))

        open_menu_on(m)
        m.menu_key("x")  # 終了(&X)
        self.assertEqual(m.wait_exit(20), 0)

    # ------------------------------------------------------------------ helpers

    def elapsed(self):
        h, mi, s = map(int, TIME_RE.match(harness.window_text(self.label)).groups())
        return h * 3600 + mi * 60 + s

    def wait_elapsed(self, seconds):
        poll(lambda: self.elapsed() >= seconds, max(0, seconds - self.elapsed()) + 60, interval=0.3,
             what="the count to reach %d s" % seconds)

    def quiet_mark(self):
        """(elapsed, capture size) at a moment clear of every event and with nothing sounding,
        so that each clip falls wholly on one side of the mark."""
        while True:
            poll(lambda: not audio.sounding_at_end(self.m.audio_path), 20,
                 what="silence before the mark")
            at = self.elapsed()
            size = capture_size(self.m)
            near = [t for t, _ in EVENTS if t - QUIET_BEFORE <= at <= t + QUIET_AFTER]
            if not near:
                return at, size
            self.wait_elapsed(near[0] + QUIET_AFTER + 1)

    def resources(self, m):
        text = harness.query("resources", str(m.hwnd))
        self.assertTrue(text.startswith("{"), "no resource figures: %r" % text)
        return json.loads(text)

    def check_stretch(self, m, from_byte, names, problems, span):
        """The clips heard since from_byte, which must be names in order and nothing else."""
        cap = audio.Capture(m.audio_path, from_byte)
        clips = audio.load_clips(SOUND, names, cap)
        matches, missing = audio.find_sequence(cap, clips)
        where = "between %d s and %d s" % span
        if missing is not None:
            problems.append("%s: heard %r, then no %s" % (where, matches, missing))
        extra = audio.unexplained(cap, matches)
        if extra:
            problems.append("%s: sound besides %r at %r" % (where, matches, extra))
        return [x.name for x in matches]

    def interact(self, checkpoint):
        """What a person does in the stretch after a checkpoint: after :20, the window's menu
        opened and closed with Escape and the options dialog opened and cancelled; after :45,
        a click to the expanded window and one back. Only when the phrase before has ended and
        the next one is far enough away, so no click silences a phrase."""
        soon = [t for t, _ in EVENTS if checkpoint < t <= checkpoint + 15]
        start = soon[-1] + 6 if soon else checkpoint + 3
        nxt = min((t for t, _ in EVENTS if t > start), default=RUN + 60)
        self.wait_elapsed(start)
        if self.elapsed() > nxt - 10:
            print("(late: no clicks after %d s)" % checkpoint, flush=True)
            return
        poll(lambda: not audio.sounding_at_end(self.m.audio_path), 20,
             what="silence before the clicks")
        m = self.m
        self.clicks["menu" if checkpoint % 60 == 20 else "mode"].append(self.elapsed())
        if checkpoint % 60 == 20:
            open_menu_on(m)
            m.menu_key("Escape")
            poll(lambda: not harness.popup_menus(), 10, what="the menu to close")
            open_menu_on(m)
            m.menu_key("o")  # オプション(&O)...
            top = poll(lambda: dialogs(m), 15, what="the options dialog")[0]
            full = [d for d in windows("TFormOption") if d["hwnd"] == top["hwnd"]][0]
            r = child(full, ID_CANCEL)["rect"]
            harness.click((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)
            poll(lambda: not dialogs(m), 15, what="the dialog to close")
        else:
            left, top = harness.top_rect(m.hwnd)[:2]
            for want in (lambda h: h > 100, lambda h: h == COMPACT_HEIGHT):
                harness.click(left + 30, top + COMPACT_HEIGHT // 2)
                poll(lambda: want(self.height()), 15, what="the other display mode")

    def height(self):
        r = harness.top_rect(self.m.hwnd)
        return r[3] - r[1]


if __name__ == "__main__":
    unittest.main()
