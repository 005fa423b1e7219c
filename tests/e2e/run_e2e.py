#!/usr/bin/env python3
"""End-to-end runs of kestrova.exe under Wine, each scenario in its own prefix
copy, Xvfb and virtual desktop, with e2e_driver.exe recording message boxes.
Exit code 0 when all passed, 77 when all were skipped, else 1.

  run_e2e.py --kestrova EXE --driver EXE [--jpeg2bmp TOOL] [--work DIR] [SCENARIO ...]
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parent.parent.parent / "scripts"
PROGRAM_TIMEOUT = 60  # seconds, on a loaded machine
TASKBAR_HEIGHT = 32
# Top left, top right, bottom left, bottom right: none near Wine's desktop background.
QUADRANTS = ((220, 30, 30), (30, 200, 60), (40, 60, 220), (240, 220, 40))
MSG_NO_PICTURES = "壁紙フォルダに画像ファイルがありません"


class ScenarioFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise ScenarioFailed(message)


def ended(process, timeout, what):
    """The exit code, or a failure naming what did not end."""
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        raise ScenarioFailed(f"{what} did not end")


def quadrant_rows(width, height, order=1):
    """Top-down rows of the four-colour test pattern, RGB (order 1) or BGR (-1)."""
    colours, half = [bytes(q[::order]) for q in QUADRANTS], width // 2
    return [colours[2 * (y >= height // 2)] * half + colours[2 * (y >= height // 2) + 1] * (width - half)
            for y in range(height)]


def quadrant_bmp(width, height):
    pad = bytes(-width * 3 % 4)
    pixels = b"".join(row + pad for row in reversed(quadrant_rows(width, height, -1)))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54) + info + pixels


def quadrant_jpeg(width, height):
    ppm = b"P6\n%d %d\n255\n" % (width, height) + b"".join(quadrant_rows(width, height))
    made = subprocess.run(["cjpeg", "-quality", "90", "-sample", "2x2"], input=ppm, capture_output=True, check=False)
    check(made.returncode == 0, "cjpeg failed: " + made.stderr.decode(errors="replace"))
    return made.stdout


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def show(text):
    return text.decode("cp932", errors="replace")


def wine_environment():
    """This environment plus what scripts/wine-env.sh sets, so there is one definition."""
    dump = subprocess.run(["bash", "-c", f"source '{SCRIPTS / 'wine-env.sh'}' && "
                           'export KESTROVA_WINE_TEMPLATE="$kestrova_template" && env -0'],
                          stdout=subprocess.PIPE, check=True).stdout
    return dict(item.decode(errors="replace").split("=", 1) for item in dump.split(b"\0") if b"=" in item)


class WineDesktop:
    """A prefix copy with its own X server, as large as the virtual desktop, so
    screenshot pixels are desktop pixels."""

    def __init__(self, config, folder, width, height, depth=24):
        self.folder, self.width, self.height, self.xvfb = folder, width, height, None
        self.env = dict(config.wine_env, KESTROVA_WINE_DESKTOP=f"{width}x{height}", WINEPREFIX=str(folder / "prefix"))
        check(subprocess.run([str(SCRIPTS / "wine-prefix.sh"), "copy", self.env["WINEPREFIX"]], env=self.env,
                             check=False).returncode == 0, "could not make a Wine prefix for the scenario")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                      f"{width}x{height}x{depth}", "-nolisten", "tcp"], pass_fds=(write_end,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            self.env["DISPLAY"] = ":" + pipe.readline().strip()
        check(self.env["DISPLAY"] != ":", "Xvfb did not start")

    def start(self, program, *arguments, cwd=None):
        return subprocess.Popen(["wine", str(program), *arguments], env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def screenshot(self, name):
        path = self.folder / name
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", str(path)], check=True,
                       stderr=subprocess.DEVNULL)
        raw = subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, check=True).stdout
        check(len(raw) == self.width * self.height * 3, f"screenshot {name} is not {self.width}x{self.height}")
        return lambda x, y: tuple(raw[(y * self.width + x) * 3:(y * self.width + x) * 3 + 3])

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL, check=False, timeout=60)
        if self.xvfb.poll() is None:
            self.xvfb.terminate()
            self.xvfb.wait()
        shutil.rmtree(self.env["WINEPREFIX"], ignore_errors=True)


class Driver:
    """One run of e2e_driver.exe; its findings are read back from its folder."""

    def __init__(self, desktop, config, name, *options):
        self.out = desktop.folder / name
        shutil.rmtree(self.out, ignore_errors=True)
        self.out.mkdir(parents=True)
        self.process = desktop.start(config.driver, windows_path(self.out), *options)
        deadline = time.monotonic() + 90
        while not (self.out / "ready").exists():
            check(self.process.poll() is None, f"the test driver ended at start (code {self.process.returncode})")
            check(time.monotonic() < deadline, "the test driver did not reach the desktop")
            time.sleep(0.1)

    def wait(self, timeout):
        """The boxes as (text, pid), the registry values and the display."""
        ended(self.process, timeout, "the test driver")
        found = dict(line.split("=", 1) for line in show((self.out / "result.txt").read_bytes()).splitlines())
        boxes = [tuple((self.out / f"box-{k}.txt").read_bytes().split(b"\n", 1)[::-1])
                 for k in range(1, int(found.pop("count")) + 1)]
        return boxes, found, found.pop("display")

    def stop(self):
        (self.out / "stop").write_text("stop\n")
        return self.wait(30)

    def command(self, text, timeout=30):
        """One command carried out by the driver (see e2e_driver.cpp); its output."""
        self.commands = getattr(self, "commands", 0) + 1
        done = self.out / f"done-{self.commands}.txt"
        (self.out / f"cmd-{self.commands}.part").write_text(text + "\n", encoding="utf-8")
        (self.out / f"cmd-{self.commands}.part").rename(self.out / f"cmd-{self.commands}.txt")
        deadline = time.monotonic() + timeout
        while not done.exists():
            check(self.process.poll() is None and time.monotonic() < deadline, f"the driver did not carry out {text!r}")
            time.sleep(0.05)
        time.sleep(0.05)  # the file is written in one call; give it a moment to be closed
        return done.read_text(encoding="utf-8")

    def dialog(self):
        """The settings dialog's controls by id: (class, enabled, checked, text, extra), or None."""
        lines = self.command("dialog").splitlines()
        if not lines or lines[0] == "none":
            return None
        controls = {"owner": lines[0]}
        for line in lines[1:]:
            ident, cls, enabled, checked, rest = (line.split(" ", 4) + [""])[:5]
            controls.setdefault(int(ident), (cls, enabled == "1", checked == "1", rest))
        return controls

    def wait_for(self, what, condition, timeout=30):
        """Polls the dialog until condition(controls) holds; the controls."""
        deadline = time.monotonic() + timeout
        while True:
            controls = self.dialog()
            if condition(controls):
                return controls
            check(time.monotonic() < deadline, f"{what}: the dialog shows {controls}")
            time.sleep(0.2)


def run_program(desktop, exe, *arguments):
    process = desktop.start(exe, *arguments, cwd=exe.parent)
    return ended(process, PROGRAM_TIMEOUT, f"kestrova.exe {' '.join(arguments)}")


def expect_boxes(boxes, texts):
    check([text for text, _ in boxes] == [t.encode("cp932") for t in texts],
          f"message boxes {[show(text) for text, _ in boxes]}, expected {texts}")


def near(colour, wanted, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, wanted))


def expect_picture_on_screen(desktop, origin, size, tolerance):
    """Quadrant centres and inner corners show their colours; just outside the picture none does."""
    (x0, y0), (w, h) = origin, size
    inside = [((x0 + w // 4 + w // 2 * (k % 2), y0 + h // 4 + h // 2 * (k // 2)), QUADRANTS[k]) for k in range(4)]
    inside += [((x0 + 3, y0 + 3), QUADRANTS[0]), ((x0 + w - 4, y0 + h - 4), QUADRANTS[3])]
    inside = [(p, c) for p, c in inside if p[1] < desktop.height - TASKBAR_HEIGHT]
    outside = [p for p, ok in (((x0 - 4, y0 + h // 2), x0 >= 4), ((x0 + w // 2, y0 - 4), y0 >= 4)) if ok]
    deadline = time.monotonic() + 5  # the desktop repaints a moment after the change
    while True:
        pixel = desktop.screenshot("screenshot.png")
        wrong = [f"{p} shows {pixel(*p)}, expected {c}" for p, c in inside if not near(pixel(*p), c, tolerance)]
        wrong += [f"{p} outside the picture shows {pixel(*p)}" for p in outside
                  if any(near(pixel(*p), c, 60) for c in QUADRANTS)]
        if not wrong or time.monotonic() > deadline:
            break
        time.sleep(0.5)
    check(not wrong, "the screen does not show the picture where expected: " + "; ".join(wrong))


class Scenario:
    """A scenario's folder: app/ with kestrova.exe, pictures/, and its desktop."""

    def __init__(self, config, name, pictures, ini="", screen=(1024, 768), depth=24, first_line=b"100"):
        self.config, self.folder = config, config.work / name
        shutil.rmtree(self.folder, ignore_errors=True)
        self.exe, self.pictures = self.folder / "app" / "kestrova.exe", self.folder / "pictures"
        self.exe.parent.mkdir(parents=True)
        shutil.copy2(config.kestrova, self.exe)
        for name, content in pictures.items():
            (self.pictures / name).parent.mkdir(parents=True, exist_ok=True)
            if isinstance(content, tuple):
                content = (quadrant_jpeg if name.endswith(".jpg") else quadrant_bmp)(*content)
            (self.pictures / name).write_bytes(content)
        if isinstance(ini, str):  # as the program writes it: "%d%d%d\n%s" in text mode
            ini = first_line + b"\r\n" + windows_path(self.pictures / ini).encode("cp932")
        if ini is not None:
            (self.exe.parent / "kestrova.ini").write_bytes(ini)
        self.desktop = WineDesktop(config, self.folder, *screen, depth)

    def driver(self, name="out", *options):
        return Driver(self.desktop, self.config, name, "--timeout", str(1000 * (PROGRAM_TIMEOUT + 60)), *options)


QUADRANT_BMP = {"quadrants.bmp": (200, 150)}
SCENARIOS = {  # name: files in pictures/, settings, start arguments, screen, expected outcome
    "auto_bmp_1024x768": dict(pictures=QUADRANT_BMP, shown="quadrants.bmp"),
    "auto_bmp_800x600": dict(pictures=QUADRANT_BMP, screen=(800, 600), shown="quadrants.bmp"),
    # Larger both ways: shrunk into kestrova.bmp in a folder ending in a 0x5C-second-byte character.
    "auto_bmp_shrunk": dict(pictures={"写真表/large.bmp": (2048, 1536)}, ini="写真表", shown="写真表/kestrova.bmp"),
    "auto_jpeg": dict(pictures={"quadrants.jpg": (192, 144)}, shown="kestrova.bmp"),
    "missing_ini": dict(pictures=QUADRANT_BMP, ini=None, message="設定ファイル(kestrova.ini)が見つかりません"),
    "corrupt_ini": dict(pictures=QUADRANT_BMP, ini=b"\x81\x40garbage\xff",
                        message="設定ファイル(kestrova.ini)が壊れています"),
    # Neither a text file nor the program's own kestrova.bmp is a picture to choose.
    "empty_folder": dict(pictures={"readme.txt": b"no pictures\n", "kestrova.bmp": (64, 48)}, message=MSG_NO_PICTURES),
    "invalid_picture": dict(pictures={"broken.bmp": b"this is not a bitmap at all, just text. " * 4},
                            message="無効な画像ファイルが指定されました"),
    "display_16bit": dict(pictures=QUADRANT_BMP, depth=16, message="24bit以上のカラーモードでご使用ください"),
    "second_start": None,
    "manual_start": None,
    "resident": None,
    "timed_failure": None,
    "soak": None,
}


def run_scenario(config, name, pictures, ini="", screen=(1024, 768), depth=24, arguments=("auto",), message=None,
                 shown=None):
    """kestrova.exe ends with 0 and shows the message once, or sets `shown` as the centred wallpaper."""
    source = next(iter(pictures))
    if source.endswith(".jpg") and not Path(config.jpeg2bmp or "-").is_file():
        print(f"SKIPPED {name}: the native jpeg2bmp is not built ({config.jpeg2bmp or 'no path'})")
        return "skipped"
    s = Scenario(config, name, pictures, ini, screen, depth)
    try:
        driver = s.driver()
        code = run_program(s.desktop, s.exe, *arguments)
        if shown:
            size = pictures[source]
            if shown.endswith("kestrova.bmp"):
                data = (s.pictures / shown).read_bytes() if (s.pictures / shown).exists() else b""
                check(len(data) >= 54 and data[:2] == b"BM", f"no bitmap {shown} (code {code})")
                bf_size, bi_size, width, height = struct.unpack_from("<I8xIii", data, 2)
                check(bf_size == len(data) == 14 + bi_size + struct.unpack_from("<I", data, 34)[0],
                      f"{shown}: the header's sizes do not add up to its {len(data)} bytes")
                size = (min(size[0], screen[0]), min(size[1], screen[1]))
                check((width, abs(height)) == size, f"{shown} is {width}x{height}, expected {size}")
            else:
                check(not list(s.pictures.rglob("kestrova.bmp")), "kestrova.bmp was written for a BMP that fits")
            if source.endswith(".jpg"):
                reference = s.folder / "reference.bmp"
                subprocess.run([config.jpeg2bmp, s.pictures / source, reference], check=True, capture_output=True)
                check(data == reference.read_bytes(), "kestrova.bmp differs from the decoder's output")
            origin = ((screen[0] - size[0]) // 2, (screen[1] - size[1]) // 2)
            expect_picture_on_screen(s.desktop, origin, size, 40 if source.endswith(".jpg") else 0)
        boxes, registry, display = driver.stop()
        check(code == 0, f"exit code {code}, expected 0")
        expect_boxes(boxes, [message] if message else [])
        check(display in [f"{screen[0]}x{screen[1]}x{b}" for b in ((24, 32) if depth == 24 else (depth,))],
              f"the display is {display}")
        expected = dict(Wallpaper="") if not shown else dict(
            Wallpaper=windows_path(s.pictures / shown), TileWallpaper="0", WallpaperStyle="0",
            WallPaperOriginX=str(origin[0]), WallPaperOriginY=str(origin[1]))
        wrong = {k: registry.get(k) for k, v in expected.items() if registry.get(k, "") != v}
        check(not wrong, f"registry values {wrong}, expected {expected}")
        return "passed"
    finally:
        s.desktop.close()


def scenario_second_start(config):
    """A second start while the first copy shows a box ends at once, with 0 and no box of its own."""
    s = Scenario(config, "second_start", {"readme.txt": b"no pictures\n"})
    try:
        waiter = s.driver("out-first", "--until", "1", "--keep")
        first = s.desktop.start(s.exe, "auto", cwd=s.exe.parent)
        first_boxes, _, _ = waiter.wait(PROGRAM_TIMEOUT + 90)
        expect_boxes(first_boxes, [MSG_NO_PICTURES])
        check(first.poll() is None, "the first copy ended although its box is up")
        recorder = s.driver("out-second", "--keep")
        started = time.monotonic()
        code = run_program(s.desktop, s.exe, "auto")
        took = time.monotonic() - started
        time.sleep(1.0)  # a box of the second copy would show by now
        second_boxes, _, _ = recorder.stop()
        check(code == 0 and took < 20, f"the second copy ended with {code} after {took:.1f} s")
        check(second_boxes == first_boxes, f"boxes while the second copy ran: {second_boxes}")
        s.driver("out-close", "--until", "1").wait(60)
        check(ended(first, PROGRAM_TIMEOUT, "the first copy") == 0, "the first copy's exit code is not 0")
        return "passed"
    finally:
        s.desktop.close()


IDC_FOLDER, IDC_NOW, IDC_CHANGE_AT_START, IDC_PICTURE_LIST, IDC_PICTURE_SIZE, IDOK, IDCANCEL, IDC_RESET = (
    1005, 1007, 1003, 1000, 1012, 1, 2, 1010)
WM_COMMAND, WM_TIMER = 0x111, 0x113


def scenario_manual_start(config):
    """The dialog opens on a manual start; OK with the start-up change on saves, makes the shortcut and
    ends; the shortcut then takes the automatic road."""
    s = Scenario(config, "manual_start", QUADRANT_BMP, first_line=b"000")
    try:
        driver = s.driver()
        program = s.desktop.start(s.exe, cwd=s.exe.parent)
        controls = driver.wait_for("the dialog opens with its picture",
                                   lambda c: c and c[IDC_PICTURE_SIZE][3] == "200 x 150")
        check(controls["owner"].startswith("owner=none"), f"owned by {controls['owner']}")
        check(controls[IDC_FOLDER][3] == windows_path(s.pictures), f"folder {controls[IDC_FOLDER]}")
        check(controls[IDC_PICTURE_LIST][3].strip() == "items=quadrants.bmp sel=0", f"list {controls[IDC_PICTURE_LIST]}")
        check(controls[IDC_NOW][2] and not controls[IDC_CHANGE_AT_START][1], "今すぐ is not checked alone")
        s.desktop.screenshot("dialog.png")
        for ident in (IDC_NOW, IDC_CHANGE_AT_START, IDOK):  # posted, so taken in this order
            driver.command(f"click {ident}")
        check(ended(program, PROGRAM_TIMEOUT, "kestrova.exe after OK") == 0, "exit code not 0")
        ini = (s.exe.parent / "kestrova.ini").read_bytes()
        check(ini == b"100\r\n" + windows_path(s.pictures).encode("cp932"), f"kestrova.ini holds {ini!r}")
        links = list((s.folder / "prefix" / "drive_c" / "users").rglob("ミルフォス.lnk"))
        check(len(links) == 1 and "startup" in str(links[0]).lower(), f"shortcuts: {links}")
        check(driver.command("wallpaper").strip() == "", "the wallpaper changed before the shortcut ran")
        s.desktop.start("start", "/unix", str(links[0]))
        wait_until("the shortcut's run did not change the wallpaper", lambda: driver.command("wallpaper").strip() ==
                   windows_path(s.pictures / "quadrants.bmp"), PROGRAM_TIMEOUT)
        boxes, _, _ = driver.stop()
        expect_boxes(boxes, [])
        return "passed"
    finally:
        s.desktop.close()


def wait_until(what, condition, timeout):
    deadline = time.monotonic() + timeout
    while not condition():
        check(time.monotonic() < deadline, what)
        time.sleep(0.5)


def start_resident(s, driver):
    """kestrova.exe auto, once its resident window is up; the process and the window's description."""
    program = s.desktop.start(s.exe, "auto", cwd=s.exe.parent)
    wait_until("no resident window", lambda: driver.command("window kestrova4095").startswith("found=1"), 60)
    return program, driver.command("window kestrova4095")


def scenario_resident(config):
    """An interval keeps the program resident: a hidden window and a tray icon, a real one-minute tick,
    the About box, a second start that opens the dialog, the stop question, and 終了 with the dialog up."""
    s = Scenario(config, "resident", QUADRANT_BMP, first_line=b"001")
    try:
        driver = s.driver("out", "--timeout", "300000")
        started = time.monotonic()
        program, window = start_resident(s, driver)
        check(window.startswith("found=1 visible=0 caption= "), f"resident window: {window}")
        time.sleep(2)  # the tray draws its icon
        s.desktop.screenshot("tray.png")
        wait_until("no change within a minute and a half", lambda: driver.command("wallpaper").strip() ==
                   windows_path(s.pictures / "quadrants.bmp"), 100)
        check(time.monotonic() - started > 50, "the wallpaper changed before the first minute was up")
        driver.command(f"post kestrova4095 {WM_COMMAND} 40002 0")
        wait_until("no About box", lambda: (driver.out / "box-1.txt").exists(), 30)
        code = run_program(s.desktop, s.exe)  # the second start
        check(code == 0, f"the second start ended with {code}")
        controls = driver.wait_for("the dialog from the second start", lambda c: c is not None)
        check(controls["owner"].startswith("owner=resident"), f"owned by {controls['owner']}")
        driver.command(f"click {IDCANCEL}")  # the stop question, answered no
        wait_until("no stop question", lambda: (driver.out / "box-2.txt").exists(), 30)
        check(driver.dialog() is not None, "the dialog closed although the answer was no")
        driver.command(f"post kestrova4095 {WM_COMMAND} 40001 0")
        check(ended(program, PROGRAM_TIMEOUT, "kestrova.exe after 終了") == 0, "exit code not 0")
        boxes, _, _ = driver.stop()
        expect_boxes(boxes, ["ミルフォス\u3000V1.2\n\nフォルダの画像から壁紙を選んで変更します", "ミルフォスを中止しますか？"])
        return "passed"
    finally:
        s.desktop.close()


def scenario_timed_failure(config):
    """A timed change that fails shows its message once, and the program ends when it is dismissed."""
    s = Scenario(config, "timed_failure", {"readme.txt": b"no pictures\n"}, first_line=b"001")
    try:
        driver = s.driver()
        program, _ = start_resident(s, driver)
        driver.command(f"post kestrova4095 {WM_TIMER} 1 0")
        check(ended(program, PROGRAM_TIMEOUT, "kestrova.exe after the failed change") == 0, "exit code not 0")
        check(driver.command("window kestrova4095").startswith("found=0"), "the resident window is still there")
        boxes, _, _ = driver.stop()
        expect_boxes(boxes, [MSG_NO_PICTURES])
        return "passed"
    finally:
        s.desktop.close()


def scenario_soak(config):
    """Timer ticks over small and large BMP and JPEG pictures leave the resident program's memory and
    handle counts where the first ticks put them (KESTROVA_SOAK_TICKS ticks, 100 unless set)."""
    ticks = int(os.environ.get("KESTROVA_SOAK_TICKS", "100"))
    pictures = {"small.bmp": (200, 150), "large.bmp": (2048, 1536), "small.jpg": (320, 240), "large.jpg": (2400, 1800)}
    s = Scenario(config, "soak", pictures, first_line=b"001")
    try:
        driver = s.driver("out", "--timeout", str(1000 * (600 + ticks)))
        program, window = start_resident(s, driver)
        pid = window.split("pid=")[1].strip()
        unix_pid = subprocess.run(["pgrep", "-n", "-f", "kestrova.exe auto"], capture_output=True, text=True).stdout.split()

        def counts():
            """Wine counts only the working set of another process; the Linux process behind it shows the
            rest: its data segment and open descriptors."""
            found = dict(item.split("=") for item in driver.command(f"counters {pid}").split())
            if unix_pid:
                status = Path(f"/proc/{unix_pid[0]}/status").read_text()
                found["vmdata"] = next(line.split()[1] for line in status.splitlines() if line.startswith("VmData"))
                found["fds"] = str(len(os.listdir(f"/proc/{unix_pid[0]}/fd")))
            return found
        before, warm = counts(), ticks // 10
        driver.command(f"ticks kestrova4095 {warm}", timeout=600)
        settled = counts()
        sent = driver.command(f"ticks kestrova4095 {ticks - warm}", timeout=60 + 10 * ticks)
        after = counts()
        for name, row in (("start", before), (f"after {warm} ticks", settled), (f"after {ticks} ticks", after)):
            print(f"  {name:>16}: " + " ".join(f"{k}={v}" for k, v in row.items()))
        print(f"  {sent.strip()} for the last {ticks - warm} ticks")
        check(sent.startswith(f"sent={ticks - warm} "), f"the program stopped taking ticks: {sent}")
        grows = {name: int(after[name]) - int(settled[name]) for name in after}
        limits = dict(handles=10, gdi=10, user=10, fds=10, private=16 << 20, workingset=16 << 20, vmdata=16 << 10)
        check(all(grows[name] <= limit for name, limit in limits.items() if name in grows), f"counts grow: {grows}")
        driver.command(f"post kestrova4095 {WM_COMMAND} 40001 0")
        check(ended(program, PROGRAM_TIMEOUT, "kestrova.exe after 終了") == 0, "exit code not 0")
        boxes, _, _ = driver.stop()
        expect_boxes(boxes, [])
        return "passed"
    finally:
        s.desktop.close()


CUSTOM_SCENARIOS = {"second_start": scenario_second_start, "manual_start": scenario_manual_start,
                    "resident": scenario_resident, "timed_failure": scenario_timed_failure, "soak": scenario_soak}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--kestrova", type=Path)
    parser.add_argument("--driver", type=Path)
    parser.add_argument("--jpeg2bmp", default=os.environ.get("KESTROVA_JPEG2BMP", ""))
    parser.add_argument("--work", type=Path, default=Path(tempfile.gettempdir()) / "kestrova-e2e")
    parser.add_argument("scenarios", nargs="*")
    config = parser.parse_args()
    if config.list:
        print("\n".join(SCENARIOS))
        return 0
    if not config.kestrova or not config.driver or set(config.scenarios) - set(SCENARIOS):
        parser.error(f"need --kestrova and --driver; known scenarios: {', '.join(SCENARIOS)}")
    config.kestrova, config.driver, config.work = (p.resolve() for p in (config.kestrova, config.driver, config.work))
    config.wine_env = wine_environment()
    names, outcomes = config.scenarios or list(SCENARIOS), {}
    for name in names:
        started = time.monotonic()
        try:
            row = SCENARIOS[name]
            outcomes[name] = run_scenario(config, name, **row) if row else CUSTOM_SCENARIOS[name](config)
        except (ScenarioFailed, OSError, subprocess.SubprocessError) as failure:
            outcomes[name] = "FAILED"
            print(f"  {failure}")
        print(f"{outcomes[name]} {name} ({time.monotonic() - started:.1f} s; files in {config.work / name})",
              flush=True)
    outcome_set = set(outcomes.values())
    return 1 if "FAILED" in outcome_set else 77 if outcome_set == {"skipped"} else 0


if __name__ == "__main__":
    sys.exit(main())
