#!/usr/bin/env python3
"""End-to-end runs of kestrova.exe under Wine, each scenario in its own prefix
copy, Xvfb and virtual desktop, with e2e_driver.exe recording message boxes.
Only what a real process shows is checked here; the rules themselves are the
Win32 and native tests' business. Exit code 0 when all passed, 77 when all
were skipped, else 1.

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
# Top left, top right, bottom left, bottom right: a picture a person can tell on a screenshot.
QUADRANTS = ((220, 30, 30), (30, 200, 60), (40, 60, 220), (240, 220, 40))
IDC_NOW, IDC_CHANGE_AT_START, IDC_PICTURE_SIZE, IDOK, IDCANCEL = 1007, 1003, 1012, 1, 2
WM_COMMAND, IDM_EXIT = 0x111, 40001


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


def wait_until(what, condition, timeout):
    deadline = time.monotonic() + timeout
    while not condition():
        check(time.monotonic() < deadline, what)
        time.sleep(0.2)


def picture(name, width, height):
    """The four-colour pattern as a 24-bit BMP, or for a .jpg name as cjpeg encodes it."""
    jpeg, half = name.endswith(".jpg"), width // 2
    colours = [bytes(q if jpeg else q[::-1]) for q in QUADRANTS]  # a BMP's pixels are blue, green, red
    rows = [colours[2 * (y >= height // 2)] * half + colours[2 * (y >= height // 2) + 1] * (width - half)
            for y in range(height)]
    if jpeg:
        made = subprocess.run(["cjpeg", "-quality", "90", "-sample", "2x2"], capture_output=True, check=False,
                              input=b"P6\n%d %d\n255\n" % (width, height) + b"".join(rows))
        check(made.returncode == 0, "cjpeg failed: " + made.stderr.decode(errors="replace"))
        return made.stdout
    pixels = b"".join(row + bytes(-width * 3 % 4) for row in reversed(rows))  # bottom up, rows padded to 4 bytes
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54) + info + pixels


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def wine_environment():
    """This environment plus what scripts/wine-env.sh sets, so there is one definition."""
    dump = subprocess.run(["bash", "-c", f"source '{SCRIPTS / 'wine-env.sh'}' && "
                           'export KESTROVA_WINE_TEMPLATE="$kestrova_template" && env -0'],
                          stdout=subprocess.PIPE, check=True).stdout
    return dict(item.decode(errors="replace").split("=", 1) for item in dump.split(b"\0") if b"=" in item)


class Scenario:
    """A scenario's folder (app/ with kestrova.exe and kestrova.ini, pictures/) and its desktop: a prefix
    copy with its own X server, as large as the virtual desktop."""

    def __init__(self, config, name, pictures, ini="", screen=(1024, 768), depth=24, first_line=b"100"):
        self.config, self.folder = config, config.work / name
        shutil.rmtree(self.folder, ignore_errors=True)
        self.exe, self.pictures = self.folder / "app" / "kestrova.exe", self.folder / "pictures"
        self.exe.parent.mkdir(parents=True)
        self.pictures.mkdir()
        shutil.copy2(config.kestrova, self.exe)
        for name, content in pictures.items():
            (self.pictures / name).parent.mkdir(parents=True, exist_ok=True)
            (self.pictures / name).write_bytes(content if isinstance(content, bytes) else picture(name, *content))
        if ini is not None:  # as the program writes it: "%d%d%d\n%s" in text mode
            (self.exe.parent / "kestrova.ini").write_bytes(
                first_line + b"\r\n" + windows_path(self.pictures / ini).encode("cp932"))
        self.env = dict(config.wine_env, KESTROVA_WINE_DESKTOP="%dx%d" % screen,
                        WINEPREFIX=str(self.folder / "prefix"))
        self.xvfb = None
        check(subprocess.run([str(SCRIPTS / "wine-prefix.sh"), "copy", self.env["WINEPREFIX"]], env=self.env,
                             check=False).returncode == 0, "could not make a Wine prefix for the scenario")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                      "%dx%dx%d" % (*screen, depth), "-nolisten", "tcp"], pass_fds=(write_end,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            self.env["DISPLAY"] = ":" + pipe.readline().strip()
        check(self.env["DISPLAY"] != ":", "Xvfb did not start")

    def start(self, program, *arguments):
        return subprocess.Popen(["wine", str(program), *arguments], env=self.env, cwd=self.exe.parent,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, *arguments):
        """kestrova.exe run to its end; its exit code."""
        return ended(self.start(self.exe, *arguments), PROGRAM_TIMEOUT, f"kestrova.exe {' '.join(arguments)}")

    def screenshot(self, name):
        """Left for a person to look at."""
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", str(self.folder / name)],
                       check=False, stderr=subprocess.DEVNULL)

    def __enter__(self):
        return self

    def __exit__(self, *failure):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL, check=False, timeout=60)
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            self.xvfb.wait()
        shutil.rmtree(self.env["WINEPREFIX"], ignore_errors=True)


class Driver:
    """One run of e2e_driver.exe; its findings are read back from its folder."""

    def __init__(self, scenario, name="out", *options):
        self.out, self.commands = scenario.folder / name, 0
        self.out.mkdir()
        self.process = scenario.start(scenario.config.driver, windows_path(self.out), *options)
        wait_until("the test driver did not reach the desktop",
                   lambda: (self.out / "ready").exists() or self.process.poll() is not None, 90)
        check((self.out / "ready").exists(), f"the test driver ended at start (code {self.process.returncode})")

    def boxes(self):
        """The texts of the boxes recorded so far."""
        return [p.read_bytes().decode("cp932", errors="replace") for p in
                sorted(self.out.glob("box-*.txt"), key=lambda p: int(p.stem[4:]))]

    def stop(self):
        """The driver's end: the texts of the boxes it saw."""
        (self.out / "stop").write_text("stop\n")
        ended(self.process, 30, "the test driver")
        return self.boxes()

    def command(self, text, timeout=30):
        """One command carried out by the driver (see e2e_driver.cpp); its output."""
        self.commands += 1
        done = self.out / f"done-{self.commands}.txt"
        (self.out / "cmd.part").write_text(text + "\n", encoding="utf-8")
        (self.out / "cmd.part").rename(self.out / f"cmd-{self.commands}.txt")
        wait_until(f"the driver did not carry out {text!r}", lambda: done.exists() or self.process.poll() is not None,
                   timeout)
        check(done.exists(), f"the driver ended before {text!r}")
        return done.read_text(encoding="utf-8")

    def dialog(self):
        """The settings dialog's owner and control texts by id, or None."""
        lines = self.command("dialog").splitlines()
        if lines[0] == "none":
            return None
        return dict([("owner", lines[0])] + [(int(k), v) for k, v in (line.split(" ", 1) for line in lines[1:])])

    def desktop(self):
        """The wallpaper's registry values."""
        return dict(line.split("=", 1) for line in self.command("desktop").splitlines())


def expect_boxes(boxes, *texts):
    check(boxes == list(texts), f"message boxes {boxes}, expected {list(texts)}")


def scenario_auto_jpeg(config):
    """The automatic start on an 800x600 desktop: kestrova.ini found beside the exe, a JPEG in a folder whose
    name has 0x5C as a trail byte, kestrova.bmp byte for byte the native decoder's, centred on this screen."""
    if not Path(config.jpeg2bmp or "-").is_file():
        print(f"SKIPPED auto_jpeg: the native jpeg2bmp is not built ({config.jpeg2bmp or 'no path'})")
        return "skipped"
    with Scenario(config, "auto_jpeg", {"写真表/quadrants.jpg": (192, 144)}, ini="写真表", screen=(800, 600)) as s:
        driver = Driver(s)
        check(s.run("auto") == 0, "exit code not 0")
        reference = s.folder / "reference.bmp"
        subprocess.run([config.jpeg2bmp, s.pictures / "写真表/quadrants.jpg", reference], check=True,
                       capture_output=True)
        written = s.pictures / "写真表/kestrova.bmp"
        check(written.exists() and written.read_bytes() == reference.read_bytes(),
              "kestrova.bmp is missing or differs from the decoder's output")
        values = dict(Wallpaper=windows_path(written), TileWallpaper="0", WallpaperStyle="0",
                      WallPaperOriginX=str((800 - 192) // 2), WallPaperOriginY=str((600 - 144) // 2))
        check(driver.desktop() == values, f"desktop values {driver.desktop()}, expected {values}")
        s.screenshot("desktop.png")
        expect_boxes(driver.stop())


def scenario_display_16bit(config):
    """On a 16-bit display the automatic start is refused with its message, the exit code still 0."""
    with Scenario(config, "display_16bit", {}, depth=16) as s:
        driver = Driver(s)
        check(s.run("auto") == 0, "exit code not 0")
        expect_boxes(driver.stop(), "24bit以上のカラーモードでご使用ください")


def scenario_second_start(config):
    """Without kestrova.ini beside it the first copy shows its message; a second start meanwhile ends at once
    with no box of its own (the driver keeps boxes up, so one would keep that start from ending); both copies
    end with 0."""
    with Scenario(config, "second_start", {}, ini=None) as s:
        keeper = Driver(s, "out-first", "--keep")
        first = s.start(s.exe, "auto")
        wait_until("no box from the first copy", keeper.boxes, PROGRAM_TIMEOUT)
        check(s.run("auto") == 0, "the second copy's exit code is not 0")
        expect_boxes(keeper.stop(), "設定ファイル(kestrova.ini)が見つかりません")
        closer = Driver(s, "out-close")
        check(ended(first, PROGRAM_TIMEOUT, "the first copy") == 0, "the first copy's exit code is not 0")
        closer.stop()


def scenario_manual_start(config):
    """A manual start's dialog, OK with the start-up change on: the shortcut in the real Startup folder, and its
    own run takes the automatic road with the kestrova.ini the dialog wrote beside the exe."""
    with Scenario(config, "manual_start", {"quadrants.bmp": (200, 150)}, first_line=b"000") as s:
        driver = Driver(s)
        program = s.start(s.exe)
        wait_until("the dialog did not open with its picture",
                   lambda: (driver.dialog() or {}).get(IDC_PICTURE_SIZE) == "200 x 150", 60)
        check(driver.dialog()["owner"] == "owner=none", "the manual start's dialog has an owner")
        s.screenshot("dialog.png")
        for ident in (IDC_NOW, IDC_CHANGE_AT_START, IDOK):  # posted, so taken in this order
            driver.command(f"click {ident}")
        check(ended(program, PROGRAM_TIMEOUT, "kestrova.exe after OK") == 0, "exit code not 0")
        links = list((s.folder / "prefix" / "drive_c" / "users").rglob("ミルフォス.lnk"))
        check(len(links) == 1 and "startup" in str(links[0]).lower(), f"shortcuts: {links}")
        check(driver.desktop().get("Wallpaper", "") == "", "the wallpaper changed before the shortcut ran")
        s.start("start", "/unix", str(links[0]))
        wait_until("the shortcut's run did not change the wallpaper", lambda: driver.desktop().get("Wallpaper") ==
                   windows_path(s.pictures / "quadrants.bmp"), PROGRAM_TIMEOUT)
        expect_boxes(driver.stop())


def scenario_resident(config):
    """A one-minute interval: the resident copy changes the wallpaper after a real minute and keeps taking
    ticks over small and large BMP and JPEG pictures; a second start opens its dialog; 終了 with the dialog
    up ends the program with 0."""
    pictures = {"small.bmp": (200, 150), "large.bmp": (2048, 1536), "small.jpg": (320, 240), "large.jpg": (2400, 1800)}
    with Scenario(config, "resident", pictures, first_line=b"001") as s:
        driver = Driver(s)
        started = time.monotonic()
        program = s.start(s.exe, "auto")
        wait_until("no resident window", lambda: driver.command("post kestrova4095 0 0 0") == "1\n", 60)
        wait_until("no change within two minutes", lambda: driver.desktop().get("Wallpaper"), 120)
        check(time.monotonic() - started > 55, "the wallpaper changed before the first minute was up")
        ticks = 20
        check(driver.command(f"ticks kestrova4095 {ticks}", 60 + 10 * ticks) == f"sent={ticks}\n",
              "the program stopped taking ticks")
        check(s.run() == 0, "the second start's exit code is not 0")
        wait_until("no dialog from the second start", driver.dialog, 30)
        check(driver.dialog()["owner"] == "owner=resident", "the dialog is not the resident copy's")
        driver.command(f"post kestrova4095 {WM_COMMAND} {IDM_EXIT} 0")
        check(ended(program, PROGRAM_TIMEOUT, "kestrova.exe after 終了") == 0, "exit code not 0")
        expect_boxes(driver.stop())


SCENARIOS = {name[len("scenario_"):]: run for name, run in globals().items() if name.startswith("scenario_")}


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
    outcomes = {}
    for name in config.scenarios or list(SCENARIOS):
        started = time.monotonic()
        try:
            outcomes[name] = SCENARIOS[name](config) or "passed"
        except (ScenarioFailed, OSError, subprocess.SubprocessError) as failure:
            outcomes[name] = "FAILED"
            print(f"  {failure}")
        print(f"{outcomes[name]} {name} ({time.monotonic() - started:.1f} s; files in {config.work / name})",
              flush=True)
    outcome_set = set(outcomes.values())
    return 1 if "FAILED" in outcome_set else 77 if outcome_set == {"skipped"} else 0


if __name__ == "__main__":
    sys.exit(main())
