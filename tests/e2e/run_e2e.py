#!/usr/bin/env python3
"""End-to-end runs of the real kestrova.exe under Wine.

Each scenario gets its own copy of the template Wine prefix, its own Xvfb
(so the colour depth can differ) and a virtual desktop of a known size. The
test driver (e2e_driver.exe) runs beside the program: it records and
dismisses every message box captioned with the program's title, and reports
the desktop registry values and the screen size when it ends.

  run_e2e.py --kestrova EXE --driver EXE [--jpeg2bmp TOOL] [--work DIR] [SCENARIO ...]
  run_e2e.py --list

Without scenario names every scenario runs. The exit code is 0 when all
passed, 77 when every scenario asked for was skipped, else 1. What each run left (screenshots, box texts, pictures) stays in the
work folder; only the Wine prefix is removed.
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

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
SCRIPTS = ROOT / "scripts"

TITLE = "ミルフォス"
MSG_SETTINGS_MISSING = "設定ファイル(kestrova.ini)が見つかりません"
MSG_SETTINGS_BROKEN = "設定ファイル(kestrova.ini)が壊れています"
MSG_NO_PICTURES = "壁紙フォルダに画像ファイルがありません"
MSG_PICTURE_INVALID = "無効な画像ファイルが指定されました"
MSG_COLOUR_DEPTH = "24bit以上のカラーモードでご使用ください"

PROGRAM_TIMEOUT = 60      # seconds a run of kestrova.exe may take under a loaded machine
DRIVER_READY_TIMEOUT = 90
HANDOVER_LIMIT = 20       # seconds; a second copy only looks for the first and ends
TASKBAR_HEIGHT = 32
PAINT_TIMEOUT = 5         # the desktop repaints a moment after the wallpaper is set

# Quadrant colours of the test pictures: none is near Wine's desktop background.
RED = (220, 30, 30)
GREEN = (30, 200, 60)
BLUE = (40, 60, 220)
YELLOW = (240, 220, 40)
QUADRANTS = (RED, GREEN, BLUE, YELLOW)  # top left, top right, bottom left, bottom right


SKIPPED_EXIT_CODE = 77     # every scenario asked for was skipped (CTest's SKIP_RETURN_CODE)


class ScenarioFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise ScenarioFailed(message)


def log(text):
    print(text, flush=True)


# ---------------------------------------------------------------- pictures

def quadrant_colour(x, y, width, height):
    return QUADRANTS[(2 if y >= height // 2 else 0) + (1 if x >= width // 2 else 0)]


def write_quadrant_bmp(path, width, height):
    """A 24-bit bottom-up BMP, four coloured quadrants, top-left red."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom row first
        half = [quadrant_colour(0, y, width, height), quadrant_colour(width - 1, y, width, height)]
        left = bytes((half[0][2], half[0][1], half[0][0])) * (width // 2)
        right = bytes((half[1][2], half[1][1], half[1][0])) * (width - width // 2)
        rows.append(left + right + bytes(stride - width * 3))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    path.write_bytes(header + info + pixels)


def write_quadrant_jpeg(path, width, height):
    """A baseline 4:2:0 JPEG of the same pattern, made by cjpeg."""
    rows = []
    for y in range(height):
        left = bytes(quadrant_colour(0, y, width, height)) * (width // 2)
        right = bytes(quadrant_colour(width - 1, y, width, height)) * (width - width // 2)
        rows.append(left + right)
    ppm = b"P6\n%d %d\n255\n" % (width, height) + b"".join(rows)
    result = subprocess.run(["cjpeg", "-quality", "90", "-sample", "2x2"], input=ppm,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    check(result.returncode == 0, "cjpeg failed: " + result.stderr.decode(errors="replace"))
    path.write_bytes(result.stdout)


def bmp_dimensions(path):
    data = path.read_bytes()
    check(len(data) >= 54 and data[:2] == b"BM", f"{path.name} is not a bitmap file")
    size, = struct.unpack_from("<I", data, 2)
    bi_size, width, height, _, bits = struct.unpack_from("<IiiHH", data, 14)
    image_size, = struct.unpack_from("<I", data, 34)
    check(size == len(data), f"{path.name}: the file header says {size} bytes, the file has {len(data)}")
    check(size == 14 + bi_size + image_size,
          f"{path.name}: size {size} is not 14 + biSize {bi_size} + biSizeImage {image_size}")
    return width, height, bits


def windows_path(path):
    """The path as a program under Wine sees it, through the Z: drive."""
    return "Z:" + str(path).replace("/", "\\")


def write_ini(app_dir, first_line, folder):
    """kestrova.ini as the program writes it: "%d%d%d\\n%s" in text mode."""
    (app_dir / "kestrova.ini").write_bytes(first_line.encode("ascii") + b"\r\n" +
                                           windows_path(folder).encode("cp932"))


# ---------------------------------------------------------------- Wine session

def wine_environment():
    """This process's environment with what scripts/wine-env.sh sets, so the
    shell scripts and this runner keep one definition."""
    dump = subprocess.run(["bash", "-c", f"source '{SCRIPTS / 'wine-env.sh'}' && "
                           'export KESTROVA_WINE_TEMPLATE="$kestrova_template" && env -0'],
                          stdout=subprocess.PIPE, check=True).stdout
    env = {}
    for item in dump.split(b"\0"):
        if b"=" in item:
            key, value = item.split(b"=", 1)
            env[key.decode()] = value.decode(errors="replace")
    return env


class WineDesktop:
    """A prefix copy with its own X server and virtual desktop of a given size."""

    def __init__(self, config, folder, width, height, depth=24):
        self.folder = folder
        self.width, self.height = width, height
        self.prefix = folder / "prefix"
        self.keep_prefix = config.keep_prefix
        self.xvfb = None
        self.env = dict(config.wine_env)
        self.env["KESTROVA_WINE_DESKTOP"] = f"{width}x{height}"
        copied = subprocess.run([str(SCRIPTS / "wine-prefix.sh"), "copy", str(self.prefix)], env=self.env,
                                check=False)
        check(copied.returncode == 0, "could not make a Wine prefix for the scenario")
        self.env["WINEPREFIX"] = str(self.prefix)
        try:
            self.env["DISPLAY"] = self._start_xvfb(depth)
        except Exception:
            self.close()
            raise

    def _start_xvfb(self, depth):
        # The X screen is the desktop's size, so screenshot pixels are desktop pixels.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{self.width}x{self.height}x{depth}",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        check(number.isdigit(), "Xvfb did not start")
        return ":" + number

    def start(self, program, *arguments, cwd=None):
        return subprocess.Popen(["wine", str(program), *arguments], env=self.env, cwd=cwd,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def screenshot(self, name):
        path = self.folder / name
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", str(path)],
                       check=True, stderr=subprocess.DEVNULL)
        raw = subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"],
                             stdout=subprocess.PIPE, check=True).stdout
        check(len(raw) == self.width * self.height * 3,
              f"screenshot {name} is not {self.width}x{self.height}")
        return raw

    def pixel(self, raw, x, y):
        offset = (y * self.width + x) * 3
        return tuple(raw[offset:offset + 3])

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL, check=False,
                       timeout=60)
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            self.xvfb.wait()
        if not self.keep_prefix:
            shutil.rmtree(self.prefix, ignore_errors=True)


class Driver:
    """One run of e2e_driver.exe; its findings are read back from its folder."""

    def __init__(self, desktop, config, name, *options):
        self.out = desktop.folder / name
        shutil.rmtree(self.out, ignore_errors=True)
        self.out.mkdir(parents=True)
        self.process = desktop.start(config.driver, windows_path(self.out), *options)
        deadline = time.monotonic() + DRIVER_READY_TIMEOUT
        while not (self.out / "ready").exists():
            check(self.process.poll() is None, f"the test driver ended at start (code {self.process.returncode})")
            check(time.monotonic() < deadline, "the test driver did not reach the desktop")
            time.sleep(0.1)

    def wait(self, timeout):
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise ScenarioFailed("the test driver did not end")
        return self.results()

    def stop(self):
        (self.out / "stop").write_text("stop\n")
        return self.wait(30)

    def results(self):
        count = int((self.out / "count.txt").read_text())
        boxes = [((self.out / f"box-{k}.txt").read_bytes(), (self.out / f"box-{k}.pid").read_text().strip())
                 for k in range(1, count + 1)]
        registry = {}
        for line in (self.out / "registry.txt").read_text(encoding="utf-8").splitlines():
            if "=" in line:
                name, value = line.split("=", 1)
                registry[name] = value
        display = (self.out / "display.txt").read_text().strip()
        return boxes, registry, display


def run_program(desktop, exe, *arguments):
    process = desktop.start(exe, *arguments, cwd=exe.parent)
    try:
        return process.wait(timeout=PROGRAM_TIMEOUT)
    except subprocess.TimeoutExpired:
        process.kill()
        raise ScenarioFailed(f"kestrova.exe {' '.join(arguments)} did not end within {PROGRAM_TIMEOUT} s "
                             "(a window the driver does not dismiss?)")


# ---------------------------------------------------------------- checks

def show(text_bytes):
    return text_bytes.decode("cp932", errors="replace")


def expect_boxes(boxes, texts):
    shown = [show(text) for text, _ in boxes]
    check(len(boxes) == len(texts), f"expected {len(texts)} message box(es) {texts}, saw {len(boxes)}: {shown}")
    for (text, _), wanted in zip(boxes, texts):
        check(text == wanted.encode("cp932"), f"box text {show(text)!r} ({text.hex()}) is not {wanted!r}")


def expect_unchanged_wallpaper(registry):
    check(registry.get("Wallpaper", "") == "",
          f"the wallpaper was changed to {registry.get('Wallpaper')!r} although the run failed")


def expect_registry(registry, wallpaper, origin):
    expected = {"Wallpaper": wallpaper, "TileWallpaper": "0", "WallpaperStyle": "0",
                "WallPaperOriginX": str(origin[0]), "WallPaperOriginY": str(origin[1])}
    for name, value in expected.items():
        check(registry.get(name) == value, f"registry {name} is {registry.get(name)!r}, expected {value!r}")


def near(colour, wanted, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, wanted))


def expect_picture_on_screen(desktop, origin, size, tolerance, name="screenshot.png"):
    """Quadrant centres show their colours, and just outside the picture does not."""
    x0, y0 = origin
    width, height = size
    inside = [((x0 + width // 4, y0 + height // 4), RED), ((x0 + 3 * width // 4, y0 + height // 4), GREEN),
              ((x0 + width // 4, y0 + 3 * height // 4), BLUE), ((x0 + 3 * width // 4, y0 + 3 * height // 4), YELLOW),
              ((x0 + 3, y0 + 3), RED), ((x0 + width - 4, y0 + height - 4), YELLOW)]
    # Wine's taskbar covers the bottom of the desktop.
    inside = [(point, colour) for point, colour in inside if point[1] < desktop.height - TASKBAR_HEIGHT]
    outside = []
    if x0 >= 4:
        outside.append((x0 - 4, y0 + height // 2))
    if y0 >= 4:
        outside.append((x0 + width // 2, y0 - 4))
    deadline = time.monotonic() + PAINT_TIMEOUT
    while True:
        raw = desktop.screenshot(name)
        wrong = [f"({x},{y}) shows {desktop.pixel(raw, x, y)}, expected {c}" for (x, y), c in inside
                 if not near(desktop.pixel(raw, x, y), c, tolerance)]
        wrong += [f"({x},{y}) outside the picture shows a picture colour {desktop.pixel(raw, x, y)}"
                  for x, y in outside if any(near(desktop.pixel(raw, x, y), c, 60) for c in QUADRANTS)]
        if not wrong or time.monotonic() > deadline:
            break
        time.sleep(0.5)
    check(not wrong, "the screen does not show the picture where expected: " + "; ".join(wrong))


# ---------------------------------------------------------------- scenarios

class Scenario:
    def __init__(self, config, name, width=1024, height=768, depth=24):
        self.folder = config.work / name
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        self.app = self.folder / "app"
        self.app.mkdir()
        self.exe = self.app / "kestrova.exe"
        shutil.copy2(config.kestrova, self.exe)
        self.pictures = self.folder / "pictures"
        self.pictures.mkdir()
        self.desktop = WineDesktop(config, self.folder, width, height, depth)
        self.config = config

    def run(self, *arguments):
        """kestrova.exe with the driver watching; the exit code and the driver's findings."""
        driver = Driver(self.desktop, self.config, "out", "--timeout", str(1000 * (PROGRAM_TIMEOUT + 60)))
        code = run_program(self.desktop, self.exe, *arguments)
        return code, driver

    def close(self):
        self.desktop.close()


def centred(screen, picture):
    return ((screen[0] - picture[0]) // 2, (screen[1] - picture[1]) // 2)


def scenario_auto_bmp(config, name, width, height):
    s = Scenario(config, name, width, height)
    try:
        write_quadrant_bmp(s.pictures / "quadrants.bmp", 200, 150)
        write_ini(s.app, "100", s.pictures)
        code, driver = s.run("auto")
        check(code == 0, f"exit code {code}, expected 0")
        expect_picture_on_screen(s.desktop, centred((width, height), (200, 150)), (200, 150), tolerance=0)
        boxes, registry, display = driver.stop()
        check(display == f"{width}x{height}x32" or display == f"{width}x{height}x24",
              f"the desktop is {display}, expected {width}x{height}")
        expect_boxes(boxes, [])
        # A BMP that needs no shrinking is the wallpaper itself; no kestrova.bmp is written.
        expect_registry(registry, windows_path(s.pictures / "quadrants.bmp"), centred((width, height), (200, 150)))
        check(not (s.pictures / "kestrova.bmp").exists(), "kestrova.bmp was written for a BMP that fits")
    finally:
        s.close()


def scenario_auto_bmp_1024x768(config):
    """Automatic start, Center mode: the picture is the wallpaper, centred."""
    scenario_auto_bmp(config, "auto_bmp_1024x768", 1024, 768)


def scenario_auto_bmp_800x600(config):
    """The same on a smaller desktop: the centring follows the screen size."""
    scenario_auto_bmp(config, "auto_bmp_800x600", 800, 600)


def scenario_auto_bmp_shrunk(config):
    """A BMP larger than the screen both ways is shrunk into kestrova.bmp, in a
    folder whose name ends in a double-byte character with 0x5C as second byte."""
    s = Scenario(config, "auto_bmp_shrunk", 1024, 768)
    try:
        folder = s.pictures / "写真表"
        folder.mkdir()
        write_quadrant_bmp(folder / "large.bmp", 2048, 1536)
        write_ini(s.app, "100", folder)
        code, driver = s.run("auto")
        check(code == 0, f"exit code {code}, expected 0")
        written = folder / "kestrova.bmp"
        check(written.exists(), f"no kestrova.bmp in {folder}; the folder holds {sorted(p.name for p in s.pictures.rglob('*'))}")
        width, height, _ = bmp_dimensions(written)
        check((width, abs(height)) == (1024, 768), f"kestrova.bmp is {width}x{height}, expected 1024x768")
        expect_picture_on_screen(s.desktop, (0, 0), (1024, 768), tolerance=0)
        boxes, registry, _ = driver.stop()
        expect_boxes(boxes, [])
        expect_registry(registry, windows_path(written), (0, 0))
    finally:
        s.close()


def scenario_auto_jpeg(config):
    """A JPEG picture becomes the wallpaper through kestrova.bmp, which holds
    exactly what the decoder gives (jpeg2bmp writes the same file)."""
    if not config.jpeg2bmp or not Path(config.jpeg2bmp).is_file():
        log(f"SKIPPED auto_jpeg: the native tool jpeg2bmp is not built ({config.jpeg2bmp or 'no path given'}); "
            "build the native preset first")
        return "skipped"
    s = Scenario(config, "auto_jpeg", 1024, 768)
    try:
        picture = s.pictures / "quadrants.jpg"
        write_quadrant_jpeg(picture, 192, 144)
        reference = s.folder / "reference.bmp"
        tool = subprocess.run([str(config.jpeg2bmp), str(picture), str(reference)],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
        check(tool.returncode == 0, f"jpeg2bmp failed: {tool.stdout.decode(errors='replace')}")
        write_ini(s.app, "100", s.pictures)
        code, driver = s.run("auto")
        check(code == 0, f"exit code {code}, expected 0")
        written = s.pictures / "kestrova.bmp"
        check(written.exists(), "no kestrova.bmp was written for the JPEG picture")
        expected, actual = reference.read_bytes(), written.read_bytes()
        if actual != expected:
            first = next((i for i in range(min(len(actual), len(expected))) if actual[i] != expected[i]),
                         min(len(actual), len(expected)))
            raise ScenarioFailed(f"kestrova.bmp ({len(actual)} bytes) differs from the decoder's output "
                                 f"({len(expected)} bytes) from byte {first}")
        expect_picture_on_screen(s.desktop, centred((1024, 768), (192, 144)), (192, 144), tolerance=40)
        boxes, registry, _ = driver.stop()
        expect_boxes(boxes, [])
        expect_registry(registry, windows_path(written), centred((1024, 768), (192, 144)))
    finally:
        s.close()


def scenario_message(config, name, message, prepare, arguments=("auto",), depth=24):
    """A run that must show exactly one box with the given text, end with 0 and leave the desktop alone."""
    s = Scenario(config, name, depth=depth)
    try:
        prepare(s)
        code, driver = s.run(*arguments)
        boxes, registry, display = driver.stop()
        check(code == 0, f"exit code {code}, expected 0")
        expect_boxes(boxes, [message])
        expect_unchanged_wallpaper(registry)
        return display
    finally:
        s.close()


def prepare_good_settings(s):
    write_quadrant_bmp(s.pictures / "quadrants.bmp", 200, 150)
    write_ini(s.app, "100", s.pictures)


def scenario_missing_ini(config):
    """Automatic start without kestrova.ini."""
    scenario_message(config, "missing_ini", MSG_SETTINGS_MISSING,
                     lambda s: write_quadrant_bmp(s.pictures / "quadrants.bmp", 200, 150))


def scenario_corrupt_ini(config):
    """Automatic start with a settings file that has no folder line."""
    def prepare(s):
        write_quadrant_bmp(s.pictures / "quadrants.bmp", 200, 150)
        (s.app / "kestrova.ini").write_bytes(b"\x81\x40garbage\xff")
    scenario_message(config, "corrupt_ini", MSG_SETTINGS_BROKEN, prepare)


def scenario_empty_folder(config):
    """The folder holds no picture: a text file and the program's own kestrova.bmp do not count."""
    def prepare(s):
        (s.pictures / "readme.txt").write_text("no pictures here\n")
        write_quadrant_bmp(s.pictures / "kestrova.bmp", 64, 48)
        write_ini(s.app, "100", s.pictures)
    scenario_message(config, "empty_folder", MSG_NO_PICTURES, prepare)


def scenario_invalid_picture(config):
    """The only picture is a .bmp that is not a bitmap."""
    def prepare(s):
        (s.pictures / "broken.bmp").write_bytes(b"this is not a bitmap at all, just text. " * 4)
        write_ini(s.app, "100", s.pictures)
    scenario_message(config, "invalid_picture", MSG_PICTURE_INVALID, prepare)


def scenario_display_16bit(config):
    """A 16-bit display is refused before anything else happens."""
    display = scenario_message(config, "display_16bit", MSG_COLOUR_DEPTH, prepare_good_settings, depth=16)
    check(display.endswith("x16"), f"the display was {display}, not 16 bits per pixel")


def scenario_manual_start(config):
    """A start by the user (no `auto`) ends with 0, shows nothing and changes nothing."""
    s = Scenario(config, "manual_start")
    try:
        prepare_good_settings(s)
        code, driver = s.run()
        boxes, registry, _ = driver.stop()
        check(code == 0, f"exit code {code}, expected 0")
        expect_boxes(boxes, [])
        expect_unchanged_wallpaper(registry)
    finally:
        s.close()


def scenario_second_start(config):
    """A second start while the first copy shows a box hands over: it ends at
    once with 0 and shows nothing; the first copy's box is the only one."""
    s = Scenario(config, "second_start")
    try:
        (s.pictures / "readme.txt").write_text("no pictures here\n")
        write_ini(s.app, "100", s.pictures)
        # The first copy stops in its box, which the driver leaves up.
        waiter = Driver(s.desktop, config, "out-first", "--until", "1", "--keep",
                        "--timeout", str(1000 * PROGRAM_TIMEOUT))
        first = s.desktop.start(s.exe, "auto", cwd=s.app)
        first_boxes, _, _ = waiter.wait(PROGRAM_TIMEOUT + 30)
        expect_boxes(first_boxes, [MSG_NO_PICTURES])
        check(first.poll() is None, "the first copy ended although its box is up")

        # The second copy runs while a recorder watches without dismissing.
        recorder = Driver(s.desktop, config, "out-second", "--keep", "--timeout", str(1000 * (PROGRAM_TIMEOUT + 60)))
        started = time.monotonic()
        code = run_program(s.desktop, s.exe, "auto")
        took = time.monotonic() - started
        time.sleep(1.0)  # a box of the second copy would show by now
        second_boxes, _, _ = recorder.stop()
        check(code == 0, f"the second copy's exit code is {code}, expected 0")
        check(took < HANDOVER_LIMIT, f"the second copy took {took:.1f} s to end, not at once")
        first_pid = first_boxes[0][1]
        strangers = [show(text) for text, pid in second_boxes if pid != first_pid]
        check(not strangers, f"the second copy showed a box of its own: {strangers}")
        check(len(second_boxes) == 1, f"expected the first copy's box alone, saw {len(second_boxes)}")
        log(f"  the second copy ended after {took:.1f} s")

        # Dismissing the box lets the first copy end normally.
        closer = Driver(s.desktop, config, "out-close", "--until", "1", "--timeout", "30000")
        closer.wait(60)
        try:
            first_code = first.wait(timeout=PROGRAM_TIMEOUT)
        except subprocess.TimeoutExpired:
            first.kill()
            raise ScenarioFailed("the first copy did not end after its box was dismissed")
        check(first_code == 0, f"the first copy's exit code is {first_code}, expected 0")
    finally:
        s.close()


SCENARIOS = {
    "auto_bmp_1024x768": scenario_auto_bmp_1024x768,
    "auto_bmp_800x600": scenario_auto_bmp_800x600,
    "auto_bmp_shrunk": scenario_auto_bmp_shrunk,
    "auto_jpeg": scenario_auto_jpeg,
    "missing_ini": scenario_missing_ini,
    "corrupt_ini": scenario_corrupt_ini,
    "empty_folder": scenario_empty_folder,
    "invalid_picture": scenario_invalid_picture,
    "second_start": scenario_second_start,
    "display_16bit": scenario_display_16bit,
    "manual_start": scenario_manual_start,
}


# ---------------------------------------------------------------- main

def parse_arguments():
    parser = argparse.ArgumentParser(description="End-to-end runs of kestrova.exe under Wine")
    parser.add_argument("--list", action="store_true", help="print the scenario names and exit")
    parser.add_argument("--kestrova", type=Path, help="kestrova.exe (win64 build)")
    parser.add_argument("--driver", type=Path, help="e2e_driver.exe (win64 build)")
    parser.add_argument("--jpeg2bmp", default=os.environ.get("KESTROVA_JPEG2BMP", ""),
                        help="the native jpeg2bmp tool; without it the JPEG scenario is skipped")
    parser.add_argument("--work", type=Path, help="folder for the scenarios' files (default: a temporary one)")
    parser.add_argument("--template", type=Path, help="template Wine prefix (default: the scripts' one)")
    parser.add_argument("--keep-prefix", action="store_true", help="keep each scenario's Wine prefix")
    parser.add_argument("scenarios", nargs="*", help="scenario names (default: all)")
    return parser.parse_args()


def main():
    config = parse_arguments()
    if config.list:
        print("\n".join(SCENARIOS))
        return 0
    unknown = [name for name in config.scenarios if name not in SCENARIOS]
    if unknown or not config.kestrova or not config.driver:
        print(f"need --kestrova and --driver; known scenarios: {', '.join(SCENARIOS)}", file=sys.stderr)
        return 2
    for tool in ("wine", "wineserver", "Xvfb", "import", "convert", "cjpeg"):
        if not shutil.which(tool):
            print(f"'{tool}' is missing: run scripts/install-deps.sh", file=sys.stderr)
            return 2
    config.kestrova = config.kestrova.resolve()
    config.driver = config.driver.resolve()
    if config.template:
        os.environ["KESTROVA_WINE_TEMPLATE"] = str(config.template.resolve())
    config.wine_env = wine_environment()
    if config.work is None:
        config.work = Path(tempfile.mkdtemp(prefix="kestrova-e2e."))
    config.work = config.work.resolve()

    names = config.scenarios or list(SCENARIOS)
    failed = []
    skipped = []
    for name in names:
        log(f"--- {name}: {' '.join((SCENARIOS[name].__doc__ or '').split())}")
        started = time.monotonic()
        try:
            outcome = SCENARIOS[name](config) or "passed"
            if outcome == "skipped":
                skipped.append(name)
        except ScenarioFailed as failure:
            outcome = "FAILED"
            failed.append(name)
            log(f"  {failure}")
        except (OSError, subprocess.SubprocessError) as error:
            outcome = "FAILED"
            failed.append(name)
            log(f"  the harness could not run the scenario: {error!r}")
        log(f"{outcome} {name} ({time.monotonic() - started:.1f} s; files in {config.work / name})")
    log(f"{len(names) - len(failed) - len(skipped)} of {len(names)} scenario(s) passed" +
        (f"; skipped: {', '.join(skipped)}" if skipped else "") +
        (f"; failed: {', '.join(failed)}" if failed else ""))
    if failed:
        return 1
    return SKIPPED_EXIT_CODE if len(skipped) == len(names) else 0


if __name__ == "__main__":
    sys.exit(main())
