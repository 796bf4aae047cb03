"""The program starts under Wine and Xvfb and its main window is found by its class."""
from harness import MovrekTest, WS_EX_TOOLWINDOW


class Smoke(MovrekTest):
    def test_starts_and_shows_its_window(self):
        m = self.launch()
        w = m.window()
        self.assertIsNotNone(w)
        self.assertTrue(w["visible"])
        self.assertTrue(w["exstyle"] & WS_EX_TOOLWINDOW)
        self.assertTrue(m.running())
