"""Commands that arrive while another command waits on the user or lets messages run: an exit,
starts and mode switches behind a question, the options dialog, a message, the popup menu and a
spoken count-in; and a person clicking everything on the window as fast as the mouse allows.
The program never crashes, ends cleanly when told to, and saves a whole settings file."""
import time

import harness
from harness import MovrekTest, poll, all_children
from test_main_window import size, time_label, open_menu_on, message_box, seconds
from test_options import dialogs
from test_settings import ini_lines

WM_COMMAND = 0x0111
WM_CLOSE = 0x0010
MENU_BASE = 0x100
CMD_SWITCH, CMD_EXIT, CMD_START, CMD_CLEAR, CMD_STOP_VOICE, CMD_OPTIONS = 1, 3, 4, 6, 7, 8
CMD_HELP = 2
ID_START, ID_GEAR = 1001, 1002

# Expanded at start, so every control can be reached; a spoken count-in before each start.
EXPANDED = "\n".join(["Movrek=0.3", "Top=120", "Left=200", "AutoStart=0", "BeforeSound=1",
                      "StartSound=1", "PassSound=1", ""])


def command(m, number):
    harness.post(m.hwnd, WM_COMMAND, MENU_BASE + number, 0)


def own_size(m):
    """This copy's main window size from the cheap listing; None once it has gone."""
    w = next((w for w in m.top_windows() if w["hwnd"] == m.hwnd), None)
    if w is None:
        return None
    r = w["rect"]
    return r[2] - r[0], r[3] - r[1]


class Reentrancy(MovrekTest):
    def assert_ends_cleanly(self, m):
        self.assertEqual(m.wait_exit(30), 0)
        lines = ini_lines(m.ini_path)
        self.assertEqual(len(lines), 27)
        self.assertEqual(lines[:3], ["Movrek=0.3", "Top=120", "Left=200"])

    def test_an_exit_while_a_command_waits_on_the_user_ends_the_program_cleanly(self):
        def question(m):
            open_menu_on(m)
            m.menu_key("c")  # 時報のクリア(&C)
            message_box("時報をクリアしますか")

        def options(m):
            command(m, CMD_OPTIONS)
            poll(lambda: dialogs(m), 15, what="the options dialog")

        def help_message(m):
            command(m, CMD_HELP)  # no help file beside this copy
            message_box("ヘルプファイルが見つかりません")

        def menu(m):
            open_menu_on(m)

        def count_in(m):
            command(m, CMD_START)
            poll(lambda: (l := time_label(m.window())) and l["text"].startswith("00:00:0"), 15,
                 what="the count-in")

        for name, enter in (("question", question), ("options dialog", options),
                            ("help message", help_message), ("popup menu", menu),
                            ("spoken count-in", count_in)):
            with self.subTest(waiting_in=name):
                m = self.launch(ini_text=EXPANDED)
                self.expanded(m)
                enter(m)
                # Starts and switches pile up behind the waiting command, then the exit.
                for c in (CMD_START, CMD_SWITCH, CMD_START, CMD_SWITCH, CMD_STOP_VOICE, CMD_EXIT,
                          CMD_START, CMD_SWITCH):
                    command(m, c)
                self.assert_ends_cleanly(m)

    def test_starts_and_switches_behind_a_question_take_effect_once_it_is_answered(self):
        m = self.launch(ini_text=EXPANDED)
        self.expanded(m)
        open_menu_on(m)
        m.menu_key("c")
        box = message_box("時報をクリアしますか")
        for c in (CMD_START, CMD_SWITCH, CMD_START, CMD_SWITCH, CMD_SWITCH, CMD_OPTIONS, CMD_CLEAR):
            command(m, c)
        # Everything asked for meanwhile has run or is waiting on the user; answer every
        # question No and cancel the options dialog, as often as they come.
        for _ in range(6):
            for w in m.top_windows():
                if w["class"] == "#32770":
                    harness.post(w["hwnd"], WM_COMMAND, 7, 0)  # IDNO
                elif w["class"] == "TFormOption":
                    harness.post(w["hwnd"], WM_CLOSE, 0, 0)
            time.sleep(1)
        poll(lambda: not [w for w in m.top_windows() if w["class"] in ("#32770", "TFormOption")],
             20, what="every question and dialog to be gone")
        self.assertTrue(m.running())
        # A switch that arrives while the count-in speaks only stops the voice, so the mode
        # depends on timing; the window has one of its two sizes and the count goes on.
        self.assertIn(own_size(m), ((402, 364), (size(m.window())[0], 22)))
        readings = []

        def counting():
            readings.append(seconds(time_label(m.window())["text"]))
            return len(readings) > 1 and readings[-1] > readings[-2]
        poll(counting, 30, interval=0.5, what="the count to go on")
        harness.post(m.hwnd, WM_CLOSE)
        self.assert_ends_cleanly(m)

    def test_clicking_everything_as_fast_as_possible_leaves_a_working_program(self):
        m = self.launch(ini_text=EXPANDED)
        w = self.expanded(m)
        left, top = w["rect"][:2]
        close = all_children(w, "TKButton")[2]  # ends the program: clicked last
        targets = [(left + 5, top + 11)]  # the window itself: switches the mode
        for c in all_children(w):
            if c["visible"] and c["hwnd"] != close["hwnd"] and (
                    c["class"] in ("ComboBox", "TKButton") or c["id"] in (ID_START, ID_GEAR)):
                r = c["rect"]
                targets.append(((r[0] + r[2]) // 2, (r[1] + r[3]) // 2))
        self.assertGreater(len(targets), 55)  # 53 lists, Start, the gear, two bar buttons
        clicks = 0
        for n, (x, y) in enumerate(targets):
            harness.xdo("mousemove", str(x), str(y), "click", "--repeat", "3", "--delay", "15", "1")
            clicks += 3
            # Whatever the clicks opened is dismissed the way a person would, at once.
            harness.key("Escape")
            self.dismiss_extras(m)
            # A start or a click on the window made it compact; a click while the voice
            # speaks only stops the voice, so click until it opens again.
            deadline = time.monotonic() + 30
            while own_size(m) not in ((402, 364), None) and time.monotonic() < deadline:
                harness.click(left + 5, top + 11)
                clicks += 1
                try:
                    poll(lambda: own_size(m) in ((402, 364), None), 3)
                except harness.Timeout:
                    pass
            if own_size(m) != (402, 364):
                break
        self.assertTrue(m.running(), "the program ended under %d clicks" % clicks)
        # Still answering, with a readable time label, and the close button still works.
        w = self.expanded(m)
        self.assertIsNotNone(time_label(w))
        r = all_children(w, "TKButton")[2]["rect"]
        harness.click((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)
        self.assert_ends_cleanly(m)

    def dismiss_extras(self, m):
        for _ in range(10):
            extra = [x for x in m.top_windows() if x["hwnd"] != m.hwnd and
                     x["class"] in ("#32770", "TFormOption")]
            if not extra:
                return
            for x in extra:
                harness.post(x["hwnd"], WM_CLOSE, 0, 0)
            time.sleep(0.3)
