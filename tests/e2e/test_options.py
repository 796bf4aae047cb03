"""The options dialog as the main window opens it: from the popup menu and from the gear
button of the settings panel, modal over the disabled main window, opened once however often
it is asked for. OK stores what the dialog shows and applies it in the mode the window had;
Cancel leaves everything as it was. The settings file written at exit tells what was stored."""
import os

import audio
import harness
from harness import MovrekTest, poll, windows, all_children
from test_main_window import size, open_menu_on, panel, AWAY, WS_DISABLED, CB_SETCURSEL
from test_settings import ini_lines

MENU_BASE = 0x100
CMD_OPTIONS = 8
WM_COMMAND = 0x0111
ID_CHOOSER_CANCEL = 2  # IDCANCEL
# Control ids of the dialog's parts: 100 + the part's place in creation order.
GEAR_ID = 1002  # BN_CLICKED from the gear button
ID_FONT_SIZE = 111
ID_FORM_COLOR = 120
ID_VOL_VOICE = 129
ID_OK = 130
ID_CANCEL = 131

CUSTOM = "\n".join(["Movrek=0.3", "AutoStart=1", "TimeHeight=24", "TimeFontName=Tahoma",
                    "TimeColor=65535", "FormColor=8388608", "TimeLabel=残り", "AlarmLine=10",
                    "VolumeVoice=80", "VolumeAlarm=70", ""])


def dialogs(m):
    """This copy's options dialogs among the top-level windows (the cheap listing)."""
    return [w for w in m.top_windows() if w["class"] == "TFormOption"]


def settings(path):
    return dict(line.split("=", 1) for line in ini_lines(path) if "=" in line)


def child(win, ident):
    return next(c for c in all_children(win) if c["id"] == ident)


class OptionsDialog(MovrekTest):
    def window_high(self, m, height, width=None):
        return poll(lambda: (w := m.window()) and size(w)[1] == height and
                    (width is None or size(w)[0] == width) and w, 15,
                    what="the window %s high" % height)

    def open_from_menu(self, m):
        open_menu_on(m)
        m.menu_key("o")  # オプション(&O)...
        return self.opened(m)

    def opened(self, m):
        top = poll(lambda: dialogs(m), 15, what="the options dialog")[0]
        self.assertEqual(top["text"], "オプション")
        full = [d for d in windows("TFormOption") if d["hwnd"] == top["hwnd"]][0]
        self.assertEqual(full["client"], [229, 379])
        # Modal: the main window takes no input meanwhile.
        self.assertTrue(m.window()["style"] & WS_DISABLED)
        return full

    def press(self, m, dialog, ident):
        r = child(dialog, ident)["rect"]
        harness.click((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)
        poll(lambda: not dialogs(m), 15, what="the dialog to close")
        harness.move(*AWAY)

    def exit_and_read(self, m):
        open_menu_on(m)
        m.menu_key("x")  # 終了(&X)
        self.assertEqual(m.wait_exit(20), 0)
        return settings(m.ini_path)

    def test_menu_ok_without_changes_keeps_every_setting(self):
        m = self.launch(ini_text=CUSTOM)
        self.window_high(m, 30)  # compact: TimeHeight + 6
        d = self.open_from_menu(m)
        self.assertEqual(child(d, ID_FONT_SIZE)["cursel"], 1)  # "24"
        # The form colour's swatch opens the platform's colour chooser over the dialog (its
        # library is loaded only now); closed with Cancel, it changes nothing.
        r = child(d, ID_FORM_COLOR)["rect"]
        harness.click((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)
        choosers = lambda: [w for w in m.top_windows() if w["class"] == "#32770"]
        chooser = poll(choosers, 15, what="the colour chooser")[0]
        harness.send(chooser["hwnd"], WM_COMMAND, ID_CHOOSER_CANCEL, 0)
        poll(lambda: not choosers(), 15, what="the colour chooser to close")
        self.assertEqual(len(dialogs(m)), 1)
        self.press(m, d, ID_OK)
        w = self.window_high(m, 30)
        self.assertFalse(w["style"] & WS_DISABLED)
        s = self.exit_and_read(m)
        self.assertEqual({k: s[k] for k in ("AutoStart", "TimeHeight", "TimeFontName", "TimeColor",
                                            "FormColor", "TimeLabel", "AlarmLine", "VolumeVoice",
                                            "VolumeAlarm")},
                         {"AutoStart": "1", "TimeHeight": "24", "TimeFontName": "Tahoma",
                          "TimeColor": "65535", "FormColor": "8388608", "TimeLabel": "残り",
                          "AlarmLine": "10", "VolumeVoice": "80", "VolumeAlarm": "70"})

    def test_cancel_leaves_the_height_and_ok_applies_it_compact(self):
        m = self.launch()
        self.window_high(m, 22)
        d = self.open_from_menu(m)
        size_list = child(d, ID_FONT_SIZE)
        self.assertEqual(size_list["items"], ["16", "24", "32", "40"])
        harness.send(size_list["hwnd"], CB_SETCURSEL, 3, 0)
        self.press(m, d, ID_CANCEL)
        self.window_high(m, 22)

        d = self.open_from_menu(m)
        # Cancel dropped the choice: the list shows the stored height again.
        self.assertEqual(child(d, ID_FONT_SIZE)["cursel"], 0)
        harness.send(child(d, ID_FONT_SIZE)["hwnd"], CB_SETCURSEL, 3, 0)
        self.press(m, d, ID_OK)
        self.window_high(m, 46)
        self.assertEqual(self.exit_and_read(m)["TimeHeight"], "40")

    def test_gear_button_opens_it_once_and_ok_keeps_the_expanded_mode(self):
        m = self.launch(ini_text="Movrek=0.3\nAutoStart=0\n")
        w = self.window_high(m, 364, 402)
        p = panel(w)["rect"]
        harness.click(p[0] + 367 + 11, p[1] + 53 + 11)
        d = self.opened(m)
        harness.move(*AWAY)

        # Asked again while it is open, from the menu command and the gear: still one dialog.
        harness.post(m.hwnd, WM_COMMAND, MENU_BASE + CMD_OPTIONS, 0)
        harness.post(m.hwnd, WM_COMMAND, GEAR_ID, 0)
        harness.send(m.hwnd, 0, 0, 0)  # both requests have been handled
        self.assertEqual([x["hwnd"] for x in dialogs(m)], [d["hwnd"]])

        harness.send(child(d, ID_FONT_SIZE)["hwnd"], CB_SETCURSEL, 2, 0)
        self.press(m, d, ID_OK)
        # Expanded still, grown by the new height: 25 * 10 rows + 32 + 98.
        w = self.window_high(m, 380, 402)
        self.assertFalse(w["style"] & WS_DISABLED)

        # Closed, it opens again.
        p = panel(w)["rect"]
        harness.click(p[0] + 367 + 11, p[1] + 53 + 11)
        d = self.opened(m)
        self.assertEqual(child(d, ID_FONT_SIZE)["cursel"], 2)
        self.press(m, d, ID_CANCEL)
        self.assertEqual(self.exit_and_read(m)["TimeHeight"], "32")

    def test_voice_volume_50_makes_the_next_phrase_quieter_than_100(self):
        # The voice volume chosen in the dialog reaches the next clip the announcer plays.
        sound = os.path.join(harness.DIST, "sound")
        m = self.launch(ini_text="\n".join(["Movrek=0.3", "AutoStart=1", "StartSound=2",
                                            "VolumeVoice=100", "VolumeAlarm=100", ""]))

        def heard(count):
            def check():
                cap = audio.Capture(m.audio_path)
                clips = audio.load_clips(sound, ["すたーと"] * count, cap)
                matches, missing = audio.find_sequence(cap, clips)
                return matches if missing is None else None
            return poll(check, 40, interval=0.5, what="すたーと said %d times" % count)

        first = heard(1)[0]
        self.assertAlmostEqual(first.gain, 1.0, delta=0.1)
        d = self.open_from_menu(m)
        self.assertEqual(child(d, ID_VOL_VOICE)["cursel"], 0)  # "100"
        harness.send(child(d, ID_VOL_VOICE)["hwnd"], CB_SETCURSEL, 5, 0)  # "50"
        self.press(m, d, ID_OK)
        open_menu_on(m)
        m.menu_key("r")  # タイマー スタート(&R): says the start phrase again
        second = heard(2)[1]
        # 50 maps to -12.04 dB: an amplitude of about a quarter.
        self.assertAlmostEqual(second.gain / first.gain, 10 ** (-1204 / 2000), delta=0.05)
        self.assertEqual(self.exit_and_read(m)["VolumeVoice"], "50")


if __name__ == "__main__":
    import unittest
    unittest.main()
