"""The settings file as the user meets it across restarts: a file written by hand is honoured
at start and rewritten in the program's own order at exit; a first start writes the defaults;
a file of another kind is refused and left alone; one that cannot be read is reported at start
and at exit and left alone; and killing the program while it saves
never leaves a damaged file behind."""
import os
import random
import signal
import subprocess
import threading
import time

import harness
from harness import MovrekTest, Movrek, poll, probe, windows, all_children, find_child
from test_main_window import open_menu_on, message_box, child_with_id, size, panel

BM_CLICK = 0x00F5
WM_CLOSE = 0x0010
WM_QUERYENDSESSION = 0x0011
WM_ENDSESSION = 0x0016
ENDSESSION_LOGOFF = 0x80000000

ROW_DEFAULT = "\\10\\20\\30\\40\\70"


def defaults(top, left):
    return (["Movrek=0.3", "Top=%d" % top, "Left=%d" % left, "AutoStart=1", "DispSecond=1",
             "TimeHeight=16", "TimeTalk=1", "TimeFontName=Tahoma", "TimeColor=16777215",
             "FormColor=9981440", "TimeLabel=", "AlarmLine=10", "VolumeVoice=100",
             "VolumeAlarm=50", "BeforeSound=0", "StartSound=1", "PassSound=1"] +
            ["B%d=%s" % (i, ROW_DEFAULT) for i in range(10)])


def ini_lines(path):
    """The lines of a settings file as the program writes it: UTF-16LE with a byte-order mark,
    every line ended by CR LF. Fails on anything else."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:2] == b"\xff\xfe", "no UTF-16LE byte-order mark: %r" % data[:8]
    text = data[2:].decode("utf-16-le")
    assert text.endswith("\r\n"), "last line not ended by CR LF: %r" % text[-20:]
    lines = text[:-2].split("\r\n")
    assert not any("\r" in l or "\n" in l for l in lines), "stray line break in %r" % lines
    return lines


def close_by_menu(test, m):
    open_menu_on(m)
    m.menu_key("x")  # 終了(&X)
    test.assertEqual(m.wait_exit(20), 0)


def press_ok(box):
    probe("post", str(child_with_id(box, 1)["hwnd"]), str(BM_CLICK), "0", "0")
    poll(lambda: not [b for b in windows("#32770") if b["hwnd"] == box["hwnd"]], 10,
         what="the message box to close")


def box_text(box):
    return "".join(c["text"] for c in all_children(box, "Static") if c["text"])


def windows_path(path):
    """A path of this machine as a Windows program sees it (Wine's drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def leftovers(folder):
    """Files beside the settings file that a save may have made on its way."""
    return sorted(n for n in os.listdir(folder) if n.startswith("movrek.ini") and n != "movrek.ini")


# A file written by hand: keys out of order, an unknown key, some rows set, some missing.
HAND_WRITTEN = "\n".join([
    "Movrek=0.3",
    "VolumeAlarm=30",
    "Left=250",
    "Top=150",
    "AutoStart=0",
    "TimeHeight=40",
    "Unknown=dropped at the next save",
    "BeforeSound=1",
    "StartSound=2",
    "PassSound=2",
    "VolumeVoice=70",
    "B0=\\11\\21\\330\\40\\73",
    "B4=\\10\\223\\359\\459\\710",
    "B9=\\17\\25",
    "",
])

HAND_WRITTEN_SAVED = [
    "Movrek=0.3", "Top=150", "Left=250", "AutoStart=0", "DispSecond=1", "TimeHeight=40",
    "TimeTalk=1", "TimeFontName=Tahoma", "TimeColor=16777215", "FormColor=9981440", "TimeLabel=",
    "AlarmLine=10", "VolumeVoice=70", "VolumeAlarm=30", "BeforeSound=1", "StartSound=2",
    "PassSound=2",
    "B0=\\11\\21\\330\\40\\73", "B1=" + ROW_DEFAULT, "B2=" + ROW_DEFAULT, "B3=" + ROW_DEFAULT,
    # Field 1 of row 5 is 0; row 10's end index 7 is outside its list: no selection, saved -1.
    "B4=\\10\\223\\359\\459\\710", "B5=" + ROW_DEFAULT, "B6=" + ROW_DEFAULT, "B7=" + ROW_DEFAULT,
    "B8=" + ROW_DEFAULT, "B9=\\1-1\\25\\30\\40\\70",
]


class SettingsFile(MovrekTest):
    def test_a_hand_written_file_is_honoured_and_rewritten_in_order(self):
        m = self.launch(ini_text=HAND_WRITTEN)
        # AutoStart 0 opens expanded: 25 * 10 rows + TimeHeight 40 + 98 high.
        w = poll(lambda: (x := m.window()) and size(x) == (402, 25 * 10 + 40 + 98) and x, 15,
                 what="the expanded window of the stored height")
        self.assertEqual(w["rect"][:2], [250, 150])
        p = panel(w)
        self.assertEqual(p["rect"][1] - w["rect"][1], 46)  # under the 40 + 6 header
        combos = [c for c in p["children"] if c["class"] == "ComboBox"]
        self.assertEqual([c["cursel"] for c in combos], [1, 2, 2])
        rows = [c for c in p["children"] if c["class"] == "MovrekPanel"]
        sel = [[c["cursel"] for c in r["children"] if c["class"] == "ComboBox"] for r in rows]
        self.assertEqual(sel[0], [1, 1, 30, 0, 3])
        self.assertEqual(sel[4], [0, 23, 59, 59, 10])
        self.assertEqual(sel[9], [-1, 5, 0, 0, 0])
        self.assertEqual(sel[1], [0, 0, 0, 0, 0])

        close_by_menu(self, m)
        self.assertEqual(ini_lines(m.ini_path), HAND_WRITTEN_SAVED)
        self.assertEqual(leftovers(m.folder), [])

    def test_a_run_that_never_shows_the_panel_saves_the_file_it_loaded_byte_for_byte(self):
        # In the program's own form, with every list away from its default: the panel's three
        # lists, rows with times and sounds, an end marker, and a selection outside its list.
        lines = (["Movrek=0.3", "Top=150", "Left=250", "AutoStart=1", "DispSecond=1",
                  "TimeHeight=24", "TimeTalk=1", "TimeFontName=Tahoma", "TimeColor=16777215",
                  "FormColor=9981440", "TimeLabel=", "AlarmLine=7", "VolumeVoice=100",
                  "VolumeAlarm=50", "BeforeSound=1", "StartSound=0", "PassSound=2"] +
                 ["B%d=%s" % (i, ROW_DEFAULT) for i in range(10)])
        lines[17] = "B0=\\11\\223\\359\\458\\710"
        lines[20] = "B3=\\10\\21\\30\\47\\74"
        lines[26] = "B9=\\1-1\\25\\330\\40\\76"
        m = Movrek(ini_text="\n".join(lines) + "\n")
        self.addCleanup(m.cleanup)
        with open(m.ini_path, "rb") as f:
            loaded = f.read()
        m.start()
        w = poll(lambda: (x := m.window()) and size(x)[1] == 30 and x, 15, what="the compact window")
        self.assertEqual(w["rect"][:2], [250, 150])
        self.assertEqual(all_children(w, "ComboBox"), [])
        harness.post(m.hwnd, WM_CLOSE)
        self.assertEqual(m.wait_exit(20), 0)
        with open(m.ini_path, "rb") as f:
            self.assertEqual(f.read(), loaded)

    def test_a_first_start_writes_the_defaults_at_session_end_and_at_exit(self):
        m = self.launch()
        w = poll(lambda: (x := m.window()) and size(x)[1] == 22 and x, 15, what="the compact window")
        self.assertFalse(os.path.exists(m.ini_path))
        left, top = w["rect"][:2]
        self.assertEqual((left, top), (200, 100))
        # The end of the session saves, and the program goes on.
        self.assertEqual(harness.send(m.hwnd, WM_ENDSESSION, 0, 0), "0")
        self.assertEqual(ini_lines(m.ini_path), defaults(top, left))
        self.assertTrue(m.running())

        # Moved, then closed: the file follows the window.
        harness.press(left + 30, top + 11)
        harness.move(left + 80, top + 61)
        harness.move(left + 130, top + 111)
        harness.release()
        w = poll(lambda: (x := m.window()) and x["rect"][:2] == [left + 100, top + 100] and x, 10,
                 what="the window to follow the drag")
        close_by_menu(self, m)
        lines = ini_lines(m.ini_path)
        self.assertEqual(len(lines), 27)
        self.assertEqual(lines, defaults(top + 100, left + 100))
        self.assertEqual(leftovers(m.folder), [])

    def test_a_foreign_file_is_refused_and_left_alone(self):
        for content in (b"\xff\xfe" + "Top=10\r\nLeft=20\r\n".encode("utf-16-le"),
                        b"[section]\nname=value\n",
                        b""):
            with self.subTest(content=content):
                m = Movrek(ini_bytes=content)
                self.addCleanup(m.cleanup)
                m.start(wait=False)
                box = message_box("Movrek のデータファイルではありません")
                self.assertEqual(box["text"], "Movrek")
                # The window is never shown.
                self.assertEqual([x for x in windows("TFMovrek")
                                  if x["pid"] == box["pid"] and x["visible"]], [])
                press_ok(box)
                box = message_box("Movrek を終了します")
                press_ok(box)
                self.assertEqual(m.wait_exit(20), 0)
                with open(m.ini_path, "rb") as f:
                    self.assertEqual(f.read(), content)
                self.assertEqual(leftovers(m.folder), [])

    def test_a_settings_file_that_cannot_be_written_is_reported_at_exit_and_left_whole(self):
        text = "Movrek=0.3\nTop=140\nLeft=240\nTimeHeight=24\nVolumeVoice=60\n"
        for case in ("read-only file", "read-only folder"):
            with self.subTest(case=case):
                m = Movrek(ini_text=text)
                self.addCleanup(m.cleanup)
                with open(m.ini_path, "rb") as f:
                    old = f.read()
                if case == "read-only file":
                    os.chmod(m.ini_path, 0o444)
                else:
                    # Nothing can be created or renamed in the folder, even by root; the
                    # audio capture file is made beforehand so the sound device still opens.
                    open(m.audio_path, "wb").close()
                    if subprocess.run(["chattr", "+i", m.folder], capture_output=True).returncode:
                        self.skipTest("this file system cannot lock a folder")
                    self.addCleanup(subprocess.run, ["chattr", "-i", m.folder])
                m.start()
                if case == "read-only file":
                    self.session_end_opens_no_box(m)
                    with open(m.ini_path, "rb") as f:
                        self.assertEqual(f.read(), old)
                self.exit_through_box(m, "movrek.ini", old)
                subprocess.run(["chattr", "-i", m.folder])

    def test_a_settings_file_that_cannot_be_read_is_reported_at_start_and_at_exit_and_left_whole(self):
        m = Movrek(ini_text="Movrek=0.3\nTop=140\nLeft=240\nAutoStart=0\n")
        self.addCleanup(m.cleanup)
        with open(m.ini_path, "rb") as f:
            old = f.read()
        # Another program has the file open and lets no one else in.
        holder = subprocess.Popen(["wine", harness.PROBE, "hold", windows_path(m.ini_path)],
                                  env=harness.wine_env(), stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(holder.wait, 20)
        self.addCleanup(holder.stdin.close)
        self.assertEqual(holder.stdout.readline().strip(), b"held")
        m.start(wait=False)
        box = message_box("設定ファイルを読み込めません")
        self.assertEqual(box_text(box), "設定ファイルを読み込めません。既定の設定で起動します。\n" +
                         windows_path(m.ini_path))
        press_ok(box)
        # The program goes on with the defaults: compact, at the default place.
        m.wait_window()
        w = poll(lambda: (x := m.window()) and size(x)[1] == 22 and x, 15, what="the compact window")
        self.assertEqual(w["rect"][:2], [200, 100])
        holder.stdin.close()
        self.assertEqual(holder.wait(20), 0)

        # Readable again, the file is still not replaced by this run's defaults, neither at the
        # end of the session (without a box) nor at exit, which says so once.
        self.session_end_opens_no_box(m)
        self.exit_through_box(m, "設定を保存しませんでした", old,
                              "設定ファイルを読み込めなかったため、設定を保存しませんでした。\n" +
                              windows_path(m.ini_path))

    def exit_through_box(self, m, words, old, text=None):
        """Closes the program, whose exit shows a box with these words (exactly text, when
        given) and waits for OK; then it ends normally, leaving the file as it was and no
        scratch file."""
        harness.post(m.hwnd, WM_CLOSE)
        box = message_box(words)
        if text is not None:
            self.assertEqual(box_text(box), text)
        self.assertTrue(m.running(), "the program ended before the user read the message")
        press_ok(box)
        self.assertEqual(m.wait_exit(20), 0)
        with open(m.ini_path, "rb") as f:
            self.assertEqual(f.read(), old)
        self.assertEqual(leftovers(m.folder), [])

    def session_end_opens_no_box(self, m):
        """A log-off, as Windows announces it: the save at the end of the session fails on this
        file but says nothing, since a box inside the message would hold up the log-off."""
        before = {w["hwnd"] for w in m.top_windows()}
        self.assertEqual(harness.send(m.hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), "1")
        answer = []
        sender = threading.Thread(
            target=lambda: answer.append(harness.send(m.hwnd, WM_ENDSESSION, 1, ENDSESSION_LOGOFF)))
        sender.start()
        # Watched for a few seconds: a box would open well within them.
        deadline = time.monotonic() + 4
        while time.monotonic() < deadline:
            new = [w for w in m.top_windows() if w["hwnd"] not in before]
            self.assertEqual(new, [], "a window opened at the end of the session")
            time.sleep(0.1)
        sender.join(timeout=20)
        self.assertEqual(answer, ["0"], "the end-of-session message was not answered at once")
        self.assertTrue(m.running())

    def test_killing_the_program_while_it_saves_never_damages_the_file(self):
        # The old file differs from what the program writes, so each outcome can be told.
        old_text = "Movrek=1\nTop=120\nLeft=220\nVolumeVoice=40\nB2=\\11\\20\\31\\42\\76\n"
        m = Movrek(ini_text=old_text)
        self.addCleanup(m.cleanup)
        with open(m.ini_path, "rb") as f:
            old = f.read()
        # The new content: one clean run.
        m.start()
        harness.post(m.hwnd, WM_CLOSE)
        self.assertEqual(m.wait_exit(20), 0)
        new_lines = ini_lines(m.ini_path)
        self.assertEqual(new_lines[:3], ["Movrek=0.3", "Top=120", "Left=220"])
        self.assertEqual(new_lines[19], "B2=\\11\\20\\31\\42\\76")
        with open(m.ini_path, "rb") as f:
            new = f.read()

        rng = random.Random(1234)
        # The kill moments home in on the save: a kill that found the old file moves the
        # lower bound up, one that found the new file moves the upper bound down.
        lo, hi = 0.0, 0.6
        outcomes = {"old": 0, "new": 0, "leftover": 0}
        # A minute in every test run; `make killsave` runs it for longer, or until it has
        # killed the program MOVREK_KILL_COUNT times (a kill that came after the program had
        # ended counts as an iteration, not as a kill).
        began = time.monotonic()
        deadline = began + float(os.environ.get("MOVREK_KILL_SECONDS", "60"))
        want_kills = int(os.environ.get("MOVREK_KILL_COUNT", "0"))
        iterations = kills = 0
        while time.monotonic() < deadline or iterations < 5 or kills < want_kills:
            iterations += 1
            with open(m.ini_path, "wb") as f:
                f.write(old)
            # The killed copy is gone only once Wine has cleaned up after it; a copy started
            # before then would meet its leftovers.
            poll(lambda: not windows("TFMovrek"), 20, what="the killed copy's window to go")
            m.hwnd = None
            m.start(wait=False)
            # Only the window's handle is needed here, not its agreement with X (no click
            # follows): waiting for that cost about a fifth of each iteration.
            try:
                m.wait_window(agree=False, relaunch=True)
            except harness.Timeout as e:
                raise harness.Timeout("iteration %d: %s" % (iterations, e)) from None
            # The close is posted by a probe of its own, and the kill comes at a random
            # moment after it was started: before, during or after the save.
            poster = subprocess.Popen(["wine", harness.PROBE, "post", str(m.hwnd), str(WM_CLOSE), "0", "0"],
                                      env=harness.wine_env(), stdin=subprocess.DEVNULL,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            delay = rng.uniform(lo, hi)
            deadline_kill = time.monotonic() + delay
            while time.monotonic() < deadline_kill and m.running():
                time.sleep(0.002)
            kills += m.running()
            m.kill()
            poster.wait(timeout=20)
            with open(m.ini_path, "rb") as f:
                now = f.read()
            self.assertIn(now, (old, new), "iteration %d left a damaged file" % iterations)
            outcomes["old" if now == old else "new"] += 1
            if now == old:
                lo = delay
            else:
                hi = delay
            if hi - lo < 0.01:  # timing jitter: widen again around the last moment
                lo, hi = max(0.0, delay - 0.05), delay + 0.05
            # A save cut short may leave its scratch file; the settings file itself is whole.
            if leftovers(m.folder):
                outcomes["leftover"] += 1
        took = time.monotonic() - began
        print("kill during save: %d iterations, %d kills in %.0f s (%.1f kills a minute), outcomes %r"
              % (iterations, kills, took, 60 * kills / took, outcomes))
        self.assertGreater(outcomes["new"], 0)
        self.assertGreater(outcomes["old"], 0)
        # The next complete save clears away what the killed ones left.
        if not leftovers(m.folder):
            with open(m.ini_path + ".4000000-1.tmp", "wb") as f:
                f.write(b"half")
        m.hwnd = None
        m.start()
        harness.post(m.hwnd, WM_CLOSE)
        self.assertEqual(m.wait_exit(20), 0)
        self.assertEqual(leftovers(m.folder), [])
