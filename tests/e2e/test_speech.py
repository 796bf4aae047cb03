"""What Movrek says, heard through the ALSA file sink: the start phrase, the spoken count-in, the
minute announcement, the message for a missing sound folder, and a click or F3 silencing a
phrase. Each program copy writes its own capture; audio.py finds the clips of the sound folder
in it by correlation.

The sink is not paced in real time (here it ran 3 to 11 times faster), so the tests check what
is said and in which order, never how long it took."""
import array
import math
import os
import re
import struct
import tempfile
import time
import unittest
import wave

import audio
import harness
from harness import MovrekTest, Movrek, poll, windows, find_child, all_children

SOUND = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "sound")
TIME_RE = re.compile(r"^(\d\d):(\d\d):(\d\d)$")
COMPACT_HEIGHT = 22        # TimeHeight 16 + 6
START_PHRASE = "きどうしました"  # said at the first activation with the default settings
LONG_CLIP_SECONDS = 180    # a stand-in phrase that cannot end by itself within a test
CB_GETITEMHEIGHT = 0x0154
WM_COMMAND, BM_CLICK = 0x0111, 0x00F5
MENU_START = 0x100 + 4     # タイマー スタート(&R)
NO_DEVICE = "pcm.!default { type hw; card 9 }\n"  # an ALSA card that is not there


def mixer_running(m):
    """Whether Wine's DirectSound mixer thread runs in the program:
    from the device's open to its close."""
    for pid in m.unix_pids():
        try:
            for t in os.listdir("/proc/%s/task" % pid):
                with open("/proc/%s/task/%s/comm" % (pid, t)) as f:
                    if f.read().startswith("wine_dsound_mix"):
                        return True
        except OSError:
            pass
    return False


def height(m):
    r = harness.top_rect(m.hwnd)
    return r[3] - r[1]


def time_label(m):
    """The handle of the time label: looked up once, then read cheaply."""
    for c in all_children(m.window(), "Static"):
        if TIME_RE.match(c["text"]):
            return c["hwnd"]
    raise AssertionError("no time label")


def elapsed(label):
    h, m, s = map(int, TIME_RE.match(harness.window_text(label)).groups())
    return h * 3600 + m * 60 + s


def capture_size(m):
    try:
        return os.path.getsize(m.audio_path)
    except FileNotFoundError:
        return 0


def write_tone(path, secs):
    """A steady 441 Hz tone, 44.1 kHz mono 16-bit, standing in for a spoken clip."""
    one = array.array("h", (int(6000 * math.sin(2 * math.pi * i / 100)) for i in range(44100)))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(one.tobytes() * secs)


class Speech(MovrekTest):
    def click_time(self, m, dx=30):
        """A click on the time label: the window's own surface (a label takes no clicks).
        (xdotool's synchronous move waits for the pointer to move: a second click on the same
        spot needs another dx.)"""
        left, top = harness.top_rect(m.hwnd)[:2]
        harness.click(left + dx, top + COMPACT_HEIGHT // 2)

    def expect_sequence(self, m, names, from_byte=0, timeout=40, alone=True):
        """Polls the capture until the clips sound one after another, then checks (alone)
        that nothing else sounds between and after them. Returns the capture and the
        matches."""
        state = {}

        def heard():
            cap = audio.Capture(m.audio_path, from_byte)
            clips = state.setdefault("clips", audio.load_clips(SOUND, names, cap))
            matches, missing = audio.find_sequence(cap, clips)
            state["last"] = (matches, missing)
            return (cap, matches) if missing is None else None

        try:
            cap, matches = poll(heard, timeout, interval=0.5, what="the clips %r" % names)
        except harness.Timeout:
            matches, missing = state.get("last", ([], names[0]))
            self.fail("heard %r, then no %r" % (matches, missing))
        if alone:
            self.assertEqual(audio.unexplained(cap, matches, start=matches[0].start), [],
                             "sound besides %r" % matches)
        return cap, matches

    def wait_start_phrase_said(self, m):
        """The start phrase of the first activation, complete and followed by silence (a click
        while it sounds would only silence it)."""
        cap, matches = self.expect_sequence(m, [START_PHRASE], timeout=20)
        self.assertEqual(audio.unexplained(cap, matches), [], "sound before the start phrase")
        poll(lambda: not audio.sounding_at_end(m.audio_path), 10, what="silence after it")

    def select(self, m, combo_index, item):
        """Opens drop-down number combo_index of the settings panel with a click and clicks
        its item."""
        combo = all_children(m.window(), "ComboBox")[combo_index]
        left, top, right, bottom = combo["rect"]
        harness.click((left + right) // 2, (top + bottom) // 2)
        lists = poll(lambda: [x for x in windows("ComboLBox") if x["visible"]], 10,
                     what="the open list of %r" % combo["items"])
        lb = lists[0]["rect"]
        item_height = int(harness.send(combo["hwnd"], CB_GETITEMHEIGHT, 0, 0))
        self.assertGreater(item_height, 5)
        harness.click((lb[0] + lb[2]) // 2, lb[1] + 1 + item * item_height + item_height // 2)
        poll(lambda: not [x for x in windows("ComboLBox") if x["visible"]], 10,
             what="the list to close")
        self.assertEqual(harness.window_text(combo["hwnd"]), combo["items"][item])

    def launch_with_long_start_phrase(self):
        m = Movrek()
        self.addCleanup(m.cleanup)
        write_tone(os.path.join(m.folder, "sound", START_PHRASE + ".wav"), LONG_CLIP_SECONDS)
        m.start()
        poll(lambda: audio.sounding_at_end(m.audio_path), 20, what="the long phrase to sound")

        def heard_a_while():
            cap = audio.Capture(m.audio_path)
            runs = cap.sound_runs()
            return runs and cap.seconds(runs[-1][1]) - cap.seconds(runs[0][0]) > 0.7
        poll(heard_a_while, 20, what="the long phrase to be under way")
        return m

    def assert_cut_short(self, m, label):
        """The long phrase has stopped well before its end and stays silent."""
        poll(lambda: not audio.sounding_at_end(m.audio_path), 20, what="the phrase to stop")
        # Let the program run on a little: an uncut phrase would sound again by then.
        before = elapsed(label)
        poll(lambda: elapsed(label) >= before + 2, 10, what="two more seconds")
        self.assertFalse(audio.sounding_at_end(m.audio_path), "the phrase sounds again")
        cap = audio.Capture(m.audio_path)
        runs = cap.sound_runs()
        self.assertEqual(len(runs), 1, "sound stretches %r" % runs)
        heard = cap.seconds(runs[0][1]) - cap.seconds(runs[0][0])
        self.assertGreater(heard, 0.5)
        self.assertLess(heard, LONG_CLIP_SECONDS - 30, "the phrase was not cut short")

    def answer_boxes(self, count, timeout=20):
        """The texts of the next `count` message boxes, each closed with OK as it comes."""
        texts = []
        for _ in range(count):
            def box():
                for b in windows("#32770"):
                    if b["visible"]:
                        return b
                return None
            b = poll(box, timeout, what="message box %d after %r" % (len(texts) + 1, texts))
            texts.extend(c["text"] for c in all_children(b, "Static") if c["text"])
            ok = [c for c in all_children(b, "Button") if c["visible"]]
            self.assertEqual([c["text"] for c in ok], ["OK"])
            harness.post(ok[0]["hwnd"], BM_CLICK)
            poll(lambda: harness.top_rect(b["hwnd"]) is None, 10, what="the box to close")
        return texts

    # ------------------------------------------------------------------ tests

    def test_start_with_count_in_says_start_then_ten_seconds_before_and_five_to_one(self):
        m = self.launch()
        self.wait_start_phrase_said(m)
        self.click_time(m)
        poll(lambda: height(m) > 100, 15, what="the expanded window")
        self.select(m, 0, 1)  # カウント: 10秒前
        self.select(m, 1, 2)  # 起動: スタート
        mark = capture_size(m)
        button = find_child(m.window(), cls="Button", text="タイマー\u3000スタート")
        left, top, right, bottom = button["rect"]
        harness.click((left + right) // 2, (top + bottom) // 2)
        # The whole capture: the clicks that expanded the window and chose the items (each
        # may activate it again) say nothing.
        cap, matches = self.expect_sequence(
            m, [START_PHRASE, "すたーと", "10びょう", "まえ", "5", "4", "3", "2", "1"])
        self.assertGreaterEqual(matches[1].start, cap.samples_before(mark),
                                "すたーと before the Start button was pressed")
        for match in matches:
            self.assertGreater(match.score, 0.9, matches)
            self.assertAlmostEqual(match.gain, 1.0, delta=0.1, msg=matches)  # VolumeVoice 100
        self.assertEqual(height(m), COMPACT_HEIGHT)

    def test_alarm_rows_speak_at_their_seconds_with_the_alarm_and_voice_volumes(self):
        # Row 1 at 0:00:03 rings ピンポン (alarm3), row 2 in the same second says 右スタート,
        # row 3 at 0:00:05 says おしまい and ends the run.
        m = self.launch(ini_text="\n".join([
            "Movrek=0.3", "AutoStart=1", "StartSound=1", "VolumeVoice=70", "VolumeAlarm=30",
            "B0=\\10\\20\\30\\43\\73",
            "B1=\\10\\20\\30\\43\\76",
            "B2=\\11\\20\\30\\45\\78",
            ""]))
        cap, matches = self.expect_sequence(
            m, [START_PHRASE, "alarm3", "みぎ", "すたーと", "おしまい"], timeout=30)
        # The rows fired from the settings file alone: the panel was never shown, and none of
        # its lists was ever made.
        self.assertEqual([c["class"] for c in all_children(m.window())
                          if c["class"] in ("MovrekPanel", "ComboBox")], [])
        # Volume settings are -6.19 dB (70) and -20.91 dB (30).
        voice, alarm = 10 ** (-6.19 / 20), 10 ** (-20.91 / 20)
        for match in matches:
            expected = alarm if match.name.startswith("alarm") else voice
            self.assertAlmostEqual(match.gain / expected, 1.0, delta=0.12, msg=matches)

    def test_a_row_chosen_in_the_panel_fires_at_its_second_without_reopening_it(self):
        # Opened expanded and idle, with no start phrase: row 1 is set to end the run at
        # 0:00:03 with ピンポン by choosing its items, and the run is started at once.
        m = self.launch(ini_text="Movrek=0.3\nAutoStart=0\nStartSound=0\n")
        poll(lambda: height(m) > 100, 15, what="the expanded window")
        row1 = 3  # the panel's own three lists come first
        self.select(m, row1 + 0, 1)  # 終了
        self.select(m, row1 + 3, 3)  # 3 s
        self.select(m, row1 + 4, 3)  # ピンポン
        button = find_child(m.window(), cls="Button", text="タイマー\u3000スタート")
        left, top, right, bottom = button["rect"]
        harness.click((left + right) // 2, (top + bottom) // 2)
        poll(lambda: height(m) == COMPACT_HEIGHT, 15, what="the compact window")
        self.expect_sequence(m, ["alarm3"], timeout=30)
        label = time_label(m)
        poll(lambda: harness.window_text(label) == "00:00:03", 10, what="the run's end at 0:00:03")
        # Ended there: the count stands still.
        deadline = time.monotonic() + 2.5
        while time.monotonic() < deadline:
            self.assertEqual(harness.window_text(label), "00:00:03")
            time.sleep(0.25)

    def test_start_after_an_ending_row_drops_the_start_phrase_and_says_the_next_phrase_whole(self):
        # Row 1 at 0:00:01 says 右スタート (みぎ, すたーと); row 2 at 0:00:03 plays a long alarm1
        # and ends the run. A start while that sounds queues すたーと behind it, and the compact
        # layout that follows drops it: the run ended by a row in its last second. The new
        # run's row 1 then replaces the long alarm; the stop of the replaced buffer must not
        # cut みぎ short.
        m = Movrek(ini_text="\n".join([
            "Movrek=0.3", "AutoStart=1", "StartSound=2",
            "B0=\\10\\20\\30\\41\\76",
            "B1=\\11\\20\\30\\43\\71",
            ""]))
        self.addCleanup(m.cleanup)
        write_tone(os.path.join(m.folder, "sound", "alarm1.wav"), LONG_CLIP_SECONDS)
        m.start()
        self.expect_sequence(m, ["すたーと", "みぎ", "すたーと"], timeout=20, alone=False)
        poll(lambda: audio.sounding_at_end(m.audio_path), 20, what="the long alarm")
        # The popup menu's start item, as its command.
        harness.post(m.hwnd, WM_COMMAND, MENU_START)
        cap, matches = self.expect_sequence(
            m, ["すたーと", "みぎ", "すたーと", "みぎ", "すたーと"], timeout=30, alone=False)
        first_end, second = matches[2].end, matches[3]
        alarm = [(a, z) for a, z in cap.sound_runs() if first_end <= a < second.start]
        self.assertEqual(len(alarm), 1, "between the runs: %r" % cap.sound_runs())
        self.assertLess(cap.seconds(alarm[0][1] - alarm[0][0]), LONG_CLIP_SECONDS - 30)
        # The dropped すたーと is not said between the alarm and みぎ, and nothing but the new
        # run's phrase follows.
        start_clip = audio.load_clips(SOUND, ["すたーと"], cap)[0]
        self.assertGreater(audio.find_clip(cap, start_clip, first_end).start, second.start)
        self.assertEqual(audio.unexplained(cap, matches[3:], start=second.start), [],
                         "sound besides %r" % matches[3:])

    def test_missing_sound_folder_beeps_shows_the_message_and_counting_goes_on(self):
        m = self.launch(with_sound=False)
        label = time_label(m)

        def box():
            for b in windows("#32770"):
                if b["visible"] and any(c["text"] == "音声ファイルが見つかりません！"
                                        for c in all_children(b, "Static")):
                    return b
            return None
        b = poll(box, 20, what="the missing-file message")
        ok = [c for c in all_children(b, "Button") if c["visible"]]
        self.assertEqual([c["text"] for c in ok], ["OK"])
        # The count goes on behind the message box.
        first = elapsed(label)
        poll(lambda: elapsed(label) > first, 10, what="the time to advance under the message")
        left, top, right, bottom = ok[0]["rect"]
        harness.click((left + right) // 2, (top + bottom) // 2)
        poll(lambda: harness.top_rect(b["hwnd"]) is None, 10, what="the message to close")
        after = elapsed(label)
        poll(lambda: elapsed(label) >= after + 2, 10, what="the time to advance after it")
        self.assertTrue(m.running())
        self.assertEqual([x for x in windows("#32770") if x["visible"]], [],
                         "one missing clip gives one message")
        # Nothing reached the sound device (Wine's beep does not go through it).
        self.assertEqual(audio.Capture(m.audio_path).sound_runs(), [])

    def test_without_a_sound_device_each_phrase_reports_itself_once(self):
        # DirectSoundCreate8 fails here. The start-up says so as it always has; a phrase then
        # tries one quiet reopen and, finding no device either, shows the clip's two messages.
        # (Wine lists the audio endpoints once per process, so a device that appears later is
        # never found here: the recovery itself is shown by the announcer's tests.)
        m = Movrek(ini_text="\n".join(["Movrek=0.3", "AutoStart=0", "StartSound=2", ""]))
        self.addCleanup(m.cleanup)
        with open(os.path.join(m.home, ".asoundrc"), "w") as f:
            f.write(NO_DEVICE)
        m.start(wait=False)
        self.assertEqual(self.answer_boxes(2),
                         ["サウンドオブジェクト作成失敗", "プライマリサウンドバッファ作成失敗"])
        m.wait_window()
        harness.post(m.hwnd, WM_COMMAND, MENU_START)
        self.assertEqual(self.answer_boxes(2), ["サウンドバッファの作成エラー", "CreateSoundBuffer error"])
        label = time_label(m)
        after = elapsed(label)
        poll(lambda: elapsed(label) >= after + 2, 10, what="the count to go on")
        self.assertTrue(m.running())
        self.assertEqual([x for x in windows("#32770") if x["visible"]], [],
                         "one phrase gives its messages once")

    def test_a_phrase_after_the_device_closed_for_silence_is_heard_whole_without_a_message(self):
        # The device opened at start is closed a few seconds after the launch's phrase. The
        # start command's phrase (すたーと, then the count-in, a clip a second) opens it again,
        # quietly, keeps it open while it lasts, and every clip is heard.
        m = self.launch(ini_text="\n".join(
            ["Movrek=0.3", "AutoStart=1", "StartSound=2", "BeforeSound=1", ""]))
        poll(lambda: not mixer_running(m), 40, what="the device to close after the silence")
        mark = capture_size(m)
        harness.post(m.hwnd, WM_COMMAND, MENU_START)
        poll(lambda: mixer_running(m), 10, interval=0.1, what="the device open again")
        cap, matches = self.expect_sequence(
            m, ["すたーと", "10びょう", "まえ", "5", "4", "3", "2", "1"], from_byte=mark)
        for match in matches:
            self.assertGreater(match.score, 0.9, matches)
        self.assertEqual([x for x in windows("#32770") if x["visible"]], [],
                         "the reopen showed a message")

    def test_click_while_a_phrase_sounds_only_silences_it(self):
        m = self.launch_with_long_start_phrase()
        self.click_time(m)
        label = time_label(m)
        self.assert_cut_short(m, label)
        self.assertEqual(height(m), COMPACT_HEIGHT, "the click switched the mode")
        # With nothing sounding the next click switches.
        self.click_time(m, dx=40)
        poll(lambda: height(m) > 100, 15, what="the expanded window")

    def test_f3_silences_a_phrase_and_the_first_minute_is_announced(self):
        m = self.launch_with_long_start_phrase()
        left, top = harness.top_rect(m.hwnd)[:2]
        # Keys go to the window with X's keyboard focus.
        harness.move(left + 30, top + COMPACT_HEIGHT // 2)
        m.give_keyboard()
        harness.key("F3")
        label = time_label(m)
        self.assert_cut_short(m, label)
        self.assertEqual(height(m), COMPACT_HEIGHT, "F3 switched the mode")

        # The count started at launch; the elapsed minute is announced as it completes.
        poll(lambda: elapsed(label) >= 57, 70, interval=0.5, what="the end of the first minute")
        mark = capture_size(m)
        self.assertLess(elapsed(label), 60, "the mark came too late")
        poll(lambda: elapsed(label) >= 61, 15, interval=0.5, what="the first minute")
        self.expect_sequence(m, ["1ふん", "けいか"], from_byte=mark, timeout=20)


class Analysis(unittest.TestCase):
    """The clip finder on a capture made here: it must accept the clips where they are and
    refuse them in another order or where another clip sounds."""

    @classmethod
    def setUpClass(cls):
        fd, cls.path = tempfile.mkstemp(suffix=".raw")
        os.close(fd)
        names = ["すたーと", "10びょう", "まえ", "5", "4"]
        # Written like the sink: 48 kHz stereo 32-bit floats under a header that says integer
        # PCM with zero lengths; each clip resampled by its nearest sample (not the finder's
        # way), scaled, and put at a place that is no whole number of working samples.
        frames = array.array("f")
        for i, name in enumerate(names):
            frames.extend([0.0] * (2 * (9001 + 1237 * i)))
            with wave.open(os.path.join(SOUND, name + ".wav"), "rb") as w:
                src = array.array("h", w.readframes(w.getnframes()))
            gain = 0.4 / 32768
            for j in range(len(src) * 48000 // 44100):
                v = src[j * 44100 // 48000] * gain
                frames.extend((v, v))
        frames.extend([0.0] * 20000)
        header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36, b"WAVE", b"fmt ", 16, 1, 2,
                             48000, 384000, 8, 32, b"data", 0)
        with open(cls.path, "wb") as f:
            f.write(header + frames.tobytes())
        cls.names = names

    @classmethod
    def tearDownClass(cls):
        os.unlink(cls.path)

    def test_finds_clips_in_order_and_refuses_other_orders_and_clips(self):
        cap = audio.Capture(self.path)
        self.assertTrue(cap.floating)
        self.assertEqual((cap.rate, cap.channels, cap.bits), (48000, 2, 32))
        clips = {c.name: c for c in audio.load_clips(SOUND, self.names + ["3", "きどうしました"], cap)}
        matches, missing = audio.find_sequence(cap, [clips[n] for n in self.names])
        self.assertIsNone(missing, matches)
        self.assertEqual(audio.unexplained(cap, matches), [])
        self.assertTrue(all(m.score > 0.9 for m in matches), matches)

        swapped = ["すたーと", "10びょう", "まえ", "4", "5"]
        self.assertEqual(audio.find_sequence(cap, [clips[n] for n in swapped])[1], "5")
        self.assertEqual(audio.find_sequence(cap, [clips["3"]])[1], "3")
        self.assertEqual(audio.find_sequence(cap, [clips["きどうしました"]])[1], "きどうしました")
        # A clip left out of the expected list is sound nobody explains.
        partial, _ = audio.find_sequence(cap, [clips[n] for n in ["すたーと", "10びょう", "5", "4"]])
        self.assertEqual(len(audio.unexplained(cap, partial)), 1)

    def test_capture_read_from_a_later_point_keeps_its_times(self):
        whole = audio.Capture(self.path)
        size = os.path.getsize(self.path)
        later = audio.Capture(self.path, from_byte=size // 2)
        clip = audio.load_clips(SOUND, ["4"], whole)[0]
        a = audio.find_clip(whole, clip)
        b = audio.find_clip(later, clip)
        self.assertAlmostEqual(a.at, b.at, places=3)


if __name__ == "__main__":
    unittest.main()
