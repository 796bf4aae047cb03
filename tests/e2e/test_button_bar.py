"""The button bar on the main window: the state button beside the time in compact mode, green
while counting and red once an end row has finished the run; a click on it acknowledges and
opens the settings panel; a click that arrives while its command is still running is dropped;
the close button of the expanded window ends the program and saves the settings."""
import os
import signal

import harness
from harness import MovrekTest, poll, probe, windows, popup_menus, all_children, accessible, WinEvents
from test_main_window import time_label, size, AWAY
from test_settings import ini_lines

SHOTS = os.path.join(harness.BUILD, "screenshots")
GREEN = (0, 255, 0)
RED = (255, 0, 0)
WM_LBUTTONDOWN = 0x0201
WM_LBUTTONUP = 0x0202
MK_LBUTTON = 0x0001
WM_COMMAND = 0x0111
MENU_START = 0x100 + 4  # the popup menu's start item
ROLE_PUSHBUTTON = 43
ROLE_STATICTEXT = 41
STATE_INVISIBLE = 0x8000
STATE_EXPANDED = 0x200
STATE_COLLAPSED = 0x400
EVENT_NAMECHANGE = 0x800C
EVENT_STATECHANGE = 0x800A

# Row 1 ends the run at 0:00:02 without a sound; no count-in; the timer starts by itself.
END_AT_TWO = "\n".join(["Movrek=0.3", "AutoStart=1", "BeforeSound=0", "StartSound=0",
                        "B0=\\11\\20\\30\\42\\70", ""])


def maps_library(m, name):
    """Whether the running copy has the library mapped."""
    for pid in m.unix_pids():
        try:
            with open("/proc/%s/maps" % pid) as f:
                return any(line.rstrip().lower().endswith("/" + name) for line in f)
        except OSError:
            pass
    raise AssertionError("no movrek.exe process")


def bar_buttons(w):
    """The bar's buttons in creation order (Index 1, 2, 3)."""
    return all_children(w, "TKButton")


def colours_in(shot, rect):
    left, top, right, bottom = rect
    return {shot.pixel(x, y) for y in range(top, bottom) for x in range(left, right)}


def shows(m, colour, path=None):
    """The state button's rectangle when a screenshot shows the colour inside it."""
    w = m.window()
    b = bar_buttons(w)[0]
    shot = harness.screenshot(path)
    return colour in colours_in(shot, b["rect"]) and b["rect"]


class ButtonBar(MovrekTest):
    def test_compact_layout_green_while_counting_and_drag_free(self):
        m = self.launch()
        w = self.compact(m)
        buttons = bar_buttons(w)
        self.assertEqual(len(buttons), 3)
        state, help_, close = buttons
        left, top = w["rect"][:2]
        lw = size(time_label(w))[0]
        # [10][time][8][16][4]
        self.assertEqual(state["rect"], [left + lw + 18, top + 3, left + lw + 34, top + 19])
        self.assertEqual(size(w)[0], lw + 38)
        self.assertTrue(state["visible"])
        self.assertFalse(help_["visible"])
        self.assertFalse(close["visible"])
        os.makedirs(SHOTS, exist_ok=True)
        harness.move(*AWAY)
        shot = harness.screenshot(os.path.join(SHOTS, "bar-compact-green.png"))
        inside = colours_in(shot, state["rect"])
        self.assertIn(GREEN, inside)
        self.assertNotIn(RED, inside)

        # A right click on it opens the window's menu.
        cx, cy = left + lw + 26, top + 11
        harness.click(cx, cy, button=3)
        poll(popup_menus, 10, what="the popup menu over the state button")
        harness.click(*AWAY)
        poll(lambda: not popup_menus(), 10, what="the menu to close")
        self.assertEqual(size(m.window())[1], 22)

        # The button is no part of the window's draggable surface: a press on it and a move
        # leave the window where it is. The button keeps the pointer while it is held, and
        # its release anywhere is its one click: the window expands where it was.
        harness.press(cx, cy)
        harness.move(cx + 60, cy + 60)
        harness.move(cx + 120, cy + 120)
        harness.release()
        harness.move(*AWAY)
        w = self.expanded(m)
        self.assertEqual(w["rect"][:2], [left, top])

    def test_end_row_turns_it_red_a_click_acknowledges_and_close_saves(self):
        m = self.launch(ini_text=END_AT_TWO)
        self.compact(m)
        os.makedirs(SHOTS, exist_ok=True)
        harness.move(*AWAY)
        rect = poll(lambda: shows(m, RED, os.path.join(SHOTS, "bar-finished-red.png")), 15,
                    what="the red state button")
        # The run stopped at the end row's time.
        self.assertEqual(time_label(m.window())["text"], "00:00:02")
        # A screen reader, asking from another process, hears it too. Until one asks, the
        # program has not loaded the library that answers it.
        self.assertFalse(maps_library(m, "oleacc.dll"))
        state_hwnd = bar_buttons(m.window())[0]["hwnd"]
        read = accessible(state_hwnd)[0]
        self.assertEqual((read["name"], read["role"], read["action"]), ("タイマー 終了", ROLE_PUSHBUTTON, "確認"))
        self.assertEqual(read["state"] & (STATE_EXPANDED | STATE_COLLAPSED), STATE_COLLAPSED)
        self.assertTrue(maps_library(m, "oleacc.dll"))

        harness.click((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)
        w = self.expanded(m)
        harness.move(*AWAY)
        poll(lambda: shows(m, GREEN, os.path.join(SHOTS, "bar-expanded.png")), 10,
             what="the green state button")
        state, help_, close = bar_buttons(w)
        # Acknowledged and open: the reader's names for the bar and the panel's lists.
        lists = all_children(w, "ComboBox")
        gear = all_children(w, "MovrekPictureButton")[0]
        clock = time_label(w)
        reads = accessible(gear["hwnd"], clock["hwnd"])
        self.assertEqual((reads[0]["name"], reads[0]["role"]), ("オプション", ROLE_PUSHBUTTON))
        self.assertEqual((reads[1]["name"], reads[1]["role"]), (clock["text"], ROLE_STATICTEXT))
        reads = accessible(state["hwnd"], help_["hwnd"], close["hwnd"], *[c["hwnd"] for c in lists])
        self.assertEqual(reads[0]["name"], "タイマー 停止中")
        self.assertEqual(reads[0]["state"] & (STATE_EXPANDED | STATE_COLLAPSED), STATE_EXPANDED)
        self.assertTrue(reads[1]["state"] & STATE_INVISIBLE)
        self.assertEqual((reads[2]["name"], reads[2]["role"]), ("閉じる", ROLE_PUSHBUTTON))
        names = [r["name"] for r in reads[3:]]
        self.assertEqual(names[:3], ["カウント", "起動", "経過"])
        self.assertEqual(names[3:8], ["時報 1 終了", "時報 1 時", "時報 1 分", "時報 1 秒", "時報 1 音"])
        self.assertEqual(names[-1], "時報 10 音")

        # Started again from the menu, the run ends again: the state button tells readers of
        # the mode switch and of each change of its name, with the voice or without it.
        events = WinEvents(state_hwnd, 20, until=3).start()
        harness.post(m.hwnd, WM_COMMAND, MENU_START)
        heard = events.heard()
        rect = poll(lambda: shows(m, RED), 15, what="the red state button again")
        self.assertIsNotNone(heard)
        self.assertGreaterEqual(heard.count(EVENT_STATECHANGE), 1, heard)  # expanded -> compact
        self.assertGreaterEqual(heard.count(EVENT_NAMECHANGE), 2, heard)  # counting, then finished
        self.assertEqual(accessible(state_hwnd)[0]["name"], "タイマー 終了")
        harness.click((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)
        w = self.expanded(m)
        state, help_, close = bar_buttons(w)
        left, top = w["rect"][:2]
        self.assertEqual(state["rect"], [left + 364, top + 3, left + 380, top + 19])
        self.assertEqual(close["rect"], [left + 382, top + 3, left + 398, top + 19])
        self.assertTrue(close["visible"])
        self.assertFalse(help_["visible"])
        self.assertTrue(m.running())

        harness.click(left + 390, top + 11)
        self.assertEqual(m.wait_exit(20), 0)
        lines = ini_lines(m.ini_path)
        self.assertEqual(len(lines), 27)
        self.assertEqual(lines[17], "B0=\\11\\20\\30\\42\\70")
        self.assertEqual(lines[1:3], ["Top=%d" % top, "Left=%d" % left])

    def test_a_second_click_while_the_first_command_runs_is_dropped(self):
        m = self.launch()
        w = self.compact(m)
        m.wait_said()
        state = bar_buttons(w)[0]
        # The program is held still while two clicks on the state button are queued, so
        # both are waiting when it resumes. The first click's command lets pending messages
        # run before it acts, so the second click arrives inside it. Dropped, the window
        # switches once, to expanded; were it run, it would switch there first and the
        # first command would switch back to compact.
        os.killpg(m.proc.pid, signal.SIGSTOP)
        try:
            for _ in range(2):
                harness.post(state["hwnd"], WM_LBUTTONDOWN, MK_LBUTTON, (8 << 16) | 8)
                harness.post(state["hwnd"], WM_LBUTTONUP, 0, (8 << 16) | 8)
        finally:
            os.killpg(m.proc.pid, signal.SIGCONT)
        self.expanded(m)
        # Two round trips through the program's message queue: the second is answered only
        # once every command the clicks started has ended.
        harness.send(m.hwnd, 0, 0, 0)
        harness.send(m.hwnd, 0, 0, 0)
        self.assertEqual(size(m.window()), (402, 364))

        # Clicks one after the other each switch.
        for expected in (22, 364):
            harness.post(state["hwnd"], WM_LBUTTONDOWN, MK_LBUTTON, (8 << 16) | 8)
            harness.post(state["hwnd"], WM_LBUTTONUP, 0, (8 << 16) | 8)
            poll(lambda: (x := m.window()) and size(x)[1] == expected, 10,
                 what="the window %d high" % expected)
            # State button moved with the mode: find it again.
            state = bar_buttons(m.window())[0]
