"""Moving the borderless window by its surface, telling a click from a drag, and docking it to
another copy of the program (or a window of the program family) when a drag ends; a window of
any other program, or the bare desktop, takes no docking.

Two copies of the real program run side by side, each in a folder of its own; the windows of
other programs come from foreign.exe, which shows a top-level window of a class given on its
command line, with a control directly on it and another one nested two levels deep."""
import json
import os
import signal
import subprocess
import time

import harness
from harness import (MovrekTest, poll, windows, move, press, click, drag, inside, COMPACT_HEIGHT,
                     EXPANDED_SIZE)

SHOTS = os.path.join(harness.BUILD, "screenshots")
FOREIGN = os.path.join(harness.BUILD, "foreign.exe")

GRAB = (30, 11)          # on the time label: the window's own surface in either mode
WM_CLOSE = 0x0010
FRAME_LIGHT = (159, 188, 216)  # the window's frame around its default colour 0x984E00
FRAME_DARK = (0, 29, 57)


def rect(m):
    """The window's screen rectangle. `probe top` reads only the top-level windows: the full
    description of a window with its seventy controls takes a second or more."""
    text = harness.probe("top").strip()
    for w in json.loads(text) if text.startswith("[") else []:
        if w["hwnd"] == m.hwnd:
            return tuple(w["rect"])
    return None


def size_of(r):
    return r[2] - r[0], r[3] - r[1]


def settled(m, expected=None, timeout=10.0, quiet=0.6):
    """The window's rectangle once it has stopped changing: the same reading for `quiet`
    seconds (and equal to `expected`, or accepted by it when it is a function). Docking and
    clicks are carried out by messages the window posts to itself, so a rectangle is only
    final once it holds still."""
    deadline = time.monotonic() + timeout
    last, since = None, time.monotonic()
    while True:
        now_rect = rect(m)
        now = time.monotonic()
        if now_rect != last:
            last, since = now_rect, now
        elif now - since >= quiet and now_rect and (
                expected is None or (expected(now_rect) if callable(expected)
                                     else now_rect == tuple(expected))):
            return now_rect
        if now > deadline:
            raise harness.Timeout("the window did not settle at %r (last: %r)" % (expected, last))
        time.sleep(0.05)


def drag_window_to(m, left, top):
    """Drags the window by its surface so that its top-left corner ends at (left, top)."""
    r = rect(m)
    x0, y0 = r[0] + GRAB[0], r[1] + GRAB[1]
    drag(x0, y0, x0 + left - r[0], y0 + top - r[1])


def ini(left, top, auto_start=1):
    # AutoStart=1 opens compact and counting, 0 opens expanded.
    return "Movrek=0.3\nLeft=%d\nTop=%d\nAutoStart=%d\n" % (left, top, auto_start)


class Foreign:
    """A window of another program: foreign.exe CLASS LEFT TOP WIDTH HEIGHT. Its height is
    split in three bands: the window's own surface, a button on it, and a container holding
    a button (two levels deep)."""

    def __init__(self, cls, left, top, width, height):
        self.cls = cls
        self.rect = (left, top, left + width, top + height)
        band = height // 3
        # The probe points go in the window's last column, so a window dropped there lies
        # beside it. Wine shows this window unmanaged, and X keeps it above every window the
        # window manager stacks, topmost or not: a window dropped onto it could not be
        # pressed again for the next drag.
        self.last_x = left + width - 1
        self.surface_y = top + band // 2
        self.child_y = top + band + band // 2
        self.grandchild_y = top + 2 * band + band // 2
        self.proc = subprocess.Popen(
            ["wine", FOREIGN, cls, str(left), str(top), str(width), str(height)],
            env=harness.wine_env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        w = poll(lambda: [x for x in windows(cls) if x["visible"]], 20,
                 what="the %s window" % cls)[0]
        self.hwnd = w["hwnd"]
        assert tuple(w["rect"]) == self.rect, w["rect"]

    def close(self):
        if self.proc.poll() is None:
            harness.post(self.hwnd, WM_CLOSE)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait(timeout=10)


class Docking(MovrekTest):
    def copy_at(self, left, top, expanded=False):
        """A copy of the program whose window's top-left corner is at (left, top), where its
        settings file places it."""
        m = self.launch(ini_text=ini(left, top, 0 if expanded else 1))
        h = EXPANDED_SIZE[1] if expanded else COMPACT_HEIGHT
        r = settled(m, lambda r: r[:2] == (left, top) and r[3] - r[1] == h)
        self.assertEqual(r[:2], (left, top))
        if expanded:
            self.assertEqual(size_of(r), EXPANDED_SIZE)
        else:
            self.assertEqual(r[3] - r[1], COMPACT_HEIGHT)
        return m

    def foreign(self, cls, left, top, width, height):
        f = Foreign(cls, left, top, width, height)
        self.addCleanup(f.close)
        return f

    def drop_probe_at(self, m, x, y):
        """Drags the window so that its probe point (one pixel up and left of its top-left
        corner) ends at (x, y); returns the rectangle it was dropped at."""
        r = rect(m)
        drag_window_to(m, x + 1, y + 1)
        w, h = size_of(r)
        return (x + 1, y + 1, x + 1 + w, y + 1 + h)

    def assert_docked(self, m, left, top, size):
        expected = (left, top, left + size[0], top + size[1])
        self.assertEqual(settled(m, expected), expected)

    def test_a_click_switches_the_mode_and_a_one_pixel_drag_moves_by_one_pixel(self):
        m = self.copy_at(200, 150)
        r = rect(m)
        x, y = r[0] + GRAB[0], r[1] + GRAB[1]
        click(x, y)
        expanded = (200, 150, 200 + 402, 150 + 364)
        self.assertEqual(settled(m, expanded), expanded)

        drag(x, y, x + 1, y, steps=1)
        moved = (201, 150, 201 + 402, 150 + 364)
        self.assertEqual(settled(m, moved), moved)

        drag(x + 1, y, x + 1, y + 1, steps=1)
        moved = (201, 151, 201 + 402, 151 + 364)
        self.assertEqual(settled(m, moved), moved)

        # A quick click (press and release back to back) switches back.
        move(x + 1, y + 1)
        harness.xdo("click", 1)
        r = settled(m, lambda r: r[3] - r[1] == COMPACT_HEIGHT)
        self.assertEqual(r[:2], (201, 151))

    def test_docks_under_or_beside_another_copy_by_its_vertical_middle(self):
        s = self.copy_at(300, 300)
        a = self.copy_at(100, 100)
        sr = rect(s)
        middle = sr[1] + (sr[3] - sr[1]) // 2
        size = size_of(rect(a))

        # Probe point in the sibling's lower half: the middle is above the window's top.
        self.drop_probe_at(a, sr[0] + 20, middle)
        self.assert_docked(a, sr[0], sr[3], size)
        os.makedirs(SHOTS, exist_ok=True)
        shot = harness.screenshot(os.path.join(SHOTS, "docked-below.png"))
        # The sibling's dark bottom frame line, then the window's light top one.
        self.assertEqual(shot.pixel(sr[0] + 40, sr[3] - 1), FRAME_DARK)
        self.assertEqual(shot.pixel(sr[0] + 40, sr[3]), FRAME_LIGHT)

        # Away onto the bare desktop: it stays where it was dropped.
        dropped = self.drop_probe_at(a, 700, 600)
        self.assertEqual(settled(a, dropped), dropped)

        # Probe point one row above the middle: the middle is at the window's top, so it
        # docks to the right, top edges aligned.
        self.drop_probe_at(a, sr[0] + 20, middle - 1)
        self.assert_docked(a, sr[2], sr[1], size)
        self.assertEqual(rect(s), sr)
        # On screen too: the sibling's dark right frame line, then the window's light left one.
        shot = harness.screenshot(os.path.join(SHOTS, "docked-right.png"))
        for y in (sr[1] + 2, sr[3] - 3):
            self.assertEqual(shot.pixel(sr[2] - 1, y), FRAME_DARK)
            self.assertEqual(shot.pixel(sr[2], y), FRAME_LIGHT)

    def test_a_one_pixel_drag_into_another_copy_docks(self):
        s = self.copy_at(300, 300)
        sr = rect(s)
        # The probe point just right of the sibling: nothing there.
        a = self.copy_at(sr[2] + 1, sr[1] + 5)
        size = size_of(rect(a))
        ar = rect(a)
        x, y = ar[0] + GRAB[0], ar[1] + GRAB[1]
        drag(x, y, x - 1, y, steps=1)
        self.assert_docked(a, sr[2], sr[1], size)

    def test_over_the_settings_panel_of_an_expanded_copy(self):
        s = self.copy_at(300, 100, expanded=True)
        sr = rect(s)
        a = self.copy_at(100, 600)
        size = size_of(rect(a))
        panel = harness.find_child(s.window(), cls="MovrekPanel")
        pr = panel["rect"]
        controls = [c["rect"] for c in panel["children"]]
        rows = [c for c in panel["children"] if c["class"] == "MovrekPanel"]
        # The panel's bare surface, between the Start button and the first alarm row, and
        # under the last row: the panel's parent is the sibling, whose middle decides.
        upper = (pr[0] + 200, pr[1] + 40)
        lower = (pr[0] + 200, pr[3] - 2)
        for x, y in (upper, lower):
            self.assertFalse([c for c in controls if inside(c, x, y)], (x, y))
        self.drop_probe_at(a, *upper)
        self.assert_docked(a, sr[2], sr[1], size)
        self.drop_probe_at(a, *lower)
        self.assert_docked(a, sr[0], sr[3], size)
        # A drop-down of an alarm row sits three levels deep: the climb ends at the row.
        row = rows[6]["rect"]
        dropped = self.drop_probe_at(a, pr[0] + 100, (row[1] + row[3]) // 2)
        self.assertEqual(settled(a, dropped), dropped)

    def test_at_the_screen_top_the_probe_point_still_finds_a_sibling_there(self):
        s = self.copy_at(300, 0)
        sr = rect(s)
        a = self.copy_at(100, 100)
        size = size_of(rect(a))
        # The window's top at 0 puts its probe point at y = -1, raised to 0: inside the sibling.
        drag_window_to(a, sr[0] + 20, 0)
        self.assert_docked(a, sr[2], 0, size)

    def test_windows_of_other_programs_and_the_desktop_take_no_docking(self):
        f = self.foreign("ForeignWnd", 600, 100, 300, 150)
        a = self.copy_at(100, 100)
        for y in (f.surface_y, f.child_y, f.grandchild_y):
            dropped = self.drop_probe_at(a, f.last_x, y)
            self.assertEqual(settled(a, dropped), dropped, "probe over y=%d" % y)
        dropped = self.drop_probe_at(a, 300, 700)
        self.assertEqual(settled(a, dropped), dropped)

    def test_a_control_on_a_family_window_leads_to_it_but_only_one_level_deep(self):
        f = self.foreign("TFGastin", 600, 450, 300, 150)
        a = self.copy_at(100, 100)
        size = size_of(rect(a))
        fr = f.rect
        # Two levels deep: the container's class is no family name.
        dropped = self.drop_probe_at(a, f.last_x, f.grandchild_y)
        self.assertEqual(settled(a, dropped), dropped)
        # One level deep: the button's parent is the family window, whose middle (525) is
        # above the window's top (526): under it, left edges aligned.
        self.drop_probe_at(a, f.last_x, f.child_y)
        self.assert_docked(a, fr[0], fr[3], size)
        # The family window's own surface, probe point in its upper half: to the right too.
        self.drop_probe_at(a, 700, f.surface_y)
        self.assert_docked(a, fr[2], fr[1], size)

    def test_a_window_dragged_above_the_screen_comes_back_to_the_top_edge(self):
        a = self.copy_at(400, 200)
        r = rect(a)
        x, y = r[0] + GRAB[0], r[1] + 16
        press(x, y)
        # The move starts with the first motion and follows the pointer from there.
        move(x + 1, y)
        move(x + 25, 100)
        move(x + 50, 4)
        # While the button is held the window follows the pointer past the screen's top edge.
        # Where the window manager runs the move, Wine learns the place only at its end:
        # the screen tells.
        poll(lambda: a.x_rect()[1] == -12, 10, what="the window's top at -12 on screen")
        harness.release()
        move(x + 50, 6)  # a pointer move over the window: a hit test at the latest
        expected = (450, 0, r[2] + 50, COMPACT_HEIGHT)
        self.assertEqual(settled(a, expected), expected)


if __name__ == "__main__":
    import unittest
    unittest.main()
