"""The help file and the distribution: the compiled help reads as Japanese in the viewer's code
page and covers every clip and message, `make dist` packs a complete program whose Japanese
file names survive, the unpacked program starts, and its help command opens the help viewer."""
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile

import harness
from harness import MovrekTest, poll

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHM = os.path.join(harness.DIST, "movrek.chm")
TOP = "movrek-0.3"
RESULTS = os.path.join(harness.BUILD, "results")


def clip_names():
    """The clip base names the program can ask for, read from its own table."""
    with open(os.path.join(ROOT, "src", "sound", "ClipNames.cpp"), encoding="utf-8") as f:
        text = f.read()
    table = text[text.index("kClipNames[]"):]
    table = table[:table.index("};")]
    return re.findall(r'u"([^"]+)"', table)


def program_messages():
    """The fixed texts the sound device, the announcer and the settings record show, read from
    their sources, and the one the window shows when the program ends at start."""
    found = []
    for rel, pattern in (("src/sound/Kdsound_win.cpp", r'Fail\(u"([^"]+)"\)'),
                         ("src/sound/Ktalk.cpp", r'ShowMessage\(u"([^"]+)"\)')):
        with open(os.path.join(ROOT, rel), encoding="utf-8") as f:
            found += re.findall(pattern, f.read())
    with open(os.path.join(ROOT, "src/app/S01.h"), encoding="utf-8") as f:
        found += re.findall(r'k\w+Message =\s*u"([^"]+)"', f.read())
    return sorted(set(found)) + ["Movrek を終了します"]


def chm_member(name):
    """One file of the compiled help, extracted by Free Pascal's chmls."""
    with tempfile.TemporaryDirectory() as d:
        out = os.path.join(d, "member")
        subprocess.run(["chmls", "extract", CHM, name, out], check=True, timeout=60,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        with open(out, "rb") as f:
            return f.read()


def system_records(data):
    """The #SYSTEM file: a version, then records of (code, length, bytes)."""
    records = {}
    pos = 4
    while pos + 4 <= len(data):
        code, length = struct.unpack_from("<HH", data, pos)
        records[code] = data[pos + 4:pos + 4 + length]
        pos += 4 + length
    return records


def page_text(html):
    return re.sub(r"<[^>]+>", " ", html)


class HelpFile(unittest.TestCase):
    def test_compiled_help_reads_as_japanese(self):
        with open(CHM, "rb") as f:
            head = f.read(8)
        self.assertEqual(head[:4], b"ITSF")
        self.assertEqual(struct.unpack_from("<I", head, 4)[0], 3)

        # The viewer decodes the contents, index and title in the code page of the file's
        # language, so the language must be Japanese and the texts code page 932.
        system = system_records(chm_member("/#SYSTEM"))
        self.assertEqual(struct.unpack_from("<I", system[4], 0)[0], 0x411)
        self.assertEqual(system[3].rstrip(b"\0").decode("cp932"), "Movrek ヘルプ")

        index = chm_member("/index.html").decode("cp932")
        self.assertIn("<title>Movrek について</title>", index)
        self.assertIn("charset=Shift_JIS", index)

        contents = chm_member("/movrek.hhc").decode("cp932")
        for title in ("Movrek について", "画面と表示モード", "タイマーと音声", "時報の設定",
                      "設定ファイル movrek.ini", "メッセージと対処"):
            self.assertIn(f'value="{title}"', contents)
        listing = subprocess.run(["chmls", "-n", "-p", "list", CHM], check=True, timeout=60,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 stdin=subprocess.DEVNULL).stdout.decode()
        members = set(listing.split())
        pages = re.findall(r'name="Local" value="([^"]+)"', contents)
        self.assertGreaterEqual(len(pages), 10)
        for page in pages:
            self.assertIn("/" + page, members)

    def test_help_names_every_clip_and_every_message(self):
        sounds = page_text(chm_member("/sounds.html").decode("cp932"))
        words = set(re.split(r"[、\s]+", sounds))
        missing = [n for n in clip_names() if n not in words]
        self.assertEqual(missing, [], "clips the help does not list")

        text = (chm_member("/messages.html") + chm_member("/settings.html")).decode("cp932")
        missing = [m for m in program_messages() if m not in text]
        self.assertEqual(missing, [], "messages the help does not explain")

        credit = page_text(chm_member("/license.html").decode("cp932"))
        for needed in ("tohoku-f01", "CC BY 4.0", "http://creativecommons.org/licenses/by/4.0/",
                       "Tohoku University"):
            self.assertIn(needed, credit)


class VersionInfo(unittest.TestCase):
    def test_program_names_its_product_and_version(self):
        with open(os.path.join(harness.DIST, "movrek.exe"), "rb") as f:
            data = f.read()

        def entry(key, value):
            # A version string entry: the key, its terminator and padding, then the value.
            k = key.encode("utf-16-le") + b"\0\0"
            return re.search(re.escape(k) + b"(?:\0\0)?" + re.escape(value.encode("utf-16-le")) + b"\0\0", data)

        self.assertTrue(entry("ProductName", "Movrek"))
        self.assertTrue(entry("ProductVersion", "0.3"))
        self.assertTrue(entry("FileVersion", "0.3"))


class Distribution(MovrekTest):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="movrek-dist-")
        cls.zip_path = os.path.join(cls.work, f"{TOP}.zip")
        # The build itself is ctest's business: -o win takes the Windows world as built and
        # runs only the packing recipe of `make dist`.
        log = os.path.join(cls.work, "make.log")
        with open(log, "wb") as out:
            rc = subprocess.call(["make", "-s", "-o", "win", "dist", f"WIN_BUILD={harness.BUILD}",
                                  f"DIST_ZIP={cls.zip_path}"], cwd=ROOT, stdout=out,
                                 stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=300)
        if rc != 0:
            with open(log, encoding="utf-8", errors="replace") as f:
                raise AssertionError("make dist failed:\n" + f.read())

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def unpack(self):
        """The archive unpacked by Info-ZIP's unzip in a folder of its own; the program's folder."""
        folder = tempfile.mkdtemp(prefix="movrek-unzip-")
        self.addCleanup(shutil.rmtree, folder, True)
        subprocess.run(["unzip", "-q", self.zip_path, "-d", folder], check=True, timeout=120,
                       stdin=subprocess.DEVNULL)
        return os.path.join(folder, TOP)

    def test_archive_holds_the_whole_program_with_utf8_names(self):
        with zipfile.ZipFile(self.zip_path) as z:
            infos = z.infolist()
            names = {i.filename for i in infos}
            readme = z.read(f"{TOP}/readme.txt")
        self.assertTrue(all(n.startswith(TOP + "/") for n in names))
        expected = {f"{TOP}/{n}" for n in (
            "movrek.exe", "movrek.chm", "readme.txt", "license/tohoku-f01-COPYRIGHT.txt",
            "license/gcc-runtime.txt", "license/mingw-w64.txt")}
        expected |= {f"{TOP}/sound/{c}.wav" for c in clip_names()}
        self.assertEqual(expected - names, set())
        self.assertFalse(any(n.endswith(".ini") for n in names))
        # Windows' extractor reads names as UTF-8 only with the flag; without it the clip
        # names would come out in the legacy code page, and no clip would be found.
        unflagged = [i.filename for i in infos if not i.filename.isascii() and not i.flag_bits & 0x800]
        self.assertEqual(unflagged, [])

        # Notepad: UTF-8 with a byte-order mark, CR LF lines; the voice credit is there.
        self.assertTrue(readme.startswith(b"\xef\xbb\xbf"))
        text = readme[3:].decode("utf-8")
        self.assertNotIn("\n", text.replace("\r\n", ""))
        for needed in ("tohoku-f01", "CC BY 4.0", "http://creativecommons.org/licenses/by/4.0/"):
            self.assertIn(needed, text)

    def test_unpacked_program_starts_with_every_clip(self):
        folder = self.unpack()
        clips = set(os.listdir(os.path.join(folder, "sound")))
        self.assertEqual({c + ".wav" for c in clip_names()} - clips, set())
        m = self.launch(folder=folder, copy_program=False)
        w = m.window()
        self.assertTrue(w["visible"])
        self.assertTrue(m.running())

    def test_help_menu_opens_the_help_viewer(self):
        folder = self.unpack()
        # Wine's help viewer needs its HTML engine to build its window; without Gecko the
        # pages stay blank, but the window, its contents tree and its index appear.
        m = self.launch(folder=folder, copy_program=False, env={"WINEDLLOVERRIDES": "mscoree="})
        self.assertEqual(harness.windows("HH Parent"), [])
        left, top, right, bottom = m.window()["rect"]
        harness.click(left + 3, top + 3, button=3)
        poll(harness.popup_menus, 10, what="the popup menu")
        # Wine keeps a menu's items in the process that made it, so the probe cannot read
        # their places: the item is chosen by its access key, H of "ヘルプ(&H)...".
        m.menu_key("h")
        viewer = poll(lambda: [v for v in harness.windows("HH Parent") if v["visible"]], 20,
                      what="the help viewer")
        self.assertEqual(viewer[0]["pid"], m.window()["pid"])
        # Opened for the desktop, not owned by the stay-on-top panel: it does not cover the
        # user's other windows.
        self.assertFalse(viewer[0]["topmost"])
        self.assertTrue(harness.find_child(viewer[0], cls="SysTreeView32"))
        os.makedirs(RESULTS, exist_ok=True)
        harness.screenshot(os.path.join(RESULTS, "help-viewer.png"))


if __name__ == "__main__":
    unittest.main()
