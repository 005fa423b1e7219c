#!/usr/bin/env python3
"""The demo's Wine part: kestrova.exe auto on a 1024x768 virtual desktop,
then a screenshot of that desktop; then a manual start, whose settings dialog
is left as a second screenshot (DIALOG_SHOT) with the demo's largest picture
in its preview, and cancelled.

  demo_desktop.py KESTROVA_EXE DRIVER_EXE DEMO_FOLDER SCREENSHOT DIALOG_SHOT

DEMO_FOLDER holds app/ (where kestrova.exe, its help page ReadMe.htm and
kestrova.ini go) and pictures/. Any message box the program shows is read,
dismissed and printed.
"""

import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import run_e2e  # noqa: E402  (the end-to-end runner's Wine session and driver)

WIDTH, HEIGHT = 1024, 768


class DemoConfig:
    keep_prefix = False


def show_dialog(desktop, driver, exe, shot):
    """The settings dialog of a manual start, cropped to the dialog, with the sunset in its preview."""
    program = desktop.start(exe, cwd=exe.parent)
    controls = driver.wait_for("the settings dialog", lambda c: c is not None and "sel=" in c[1000][3], 60)
    items = controls[1000][3].split("items=")[1].split(" sel=")[0].split("|")
    driver.command(f"select 1000 {items.index('sunset-2400x1800.jpg')}")
    driver.wait_for("the sunset's size", lambda c: c[1012][3] == "2400 x 1800", 60)
    time.sleep(1)  # the pane paints once the load's messages are handled
    desktop.screenshot("full-" + shot.name)
    # The dialog opens at the desktop's top-left corner.
    subprocess.run(["convert", str(shot.parent / ("full-" + shot.name)), "-crop", "460x384+0+0", "+repage", str(shot)],
                   check=True)
    driver.command("click 2")
    run_e2e.ended(program, run_e2e.PROGRAM_TIMEOUT, "kestrova.exe after ｷｬﾝｾﾙ")


def main():
    if len(sys.argv) != 6:
        print(__doc__, file=sys.stderr)
        return 2
    kestrova, driver_exe, folder, screenshot, dialog_shot = (Path(arg).resolve() for arg in sys.argv[1:])
    config = DemoConfig()
    config.driver = driver_exe
    config.wine_env = run_e2e.wine_environment()
    exe = folder / "app" / "kestrova.exe"
    shutil.copy2(kestrova, exe)
    # The help page sits beside the program, as in the archive users download.
    shutil.copy2(kestrova.with_name("ReadMe.htm"), exe.with_name("ReadMe.htm"))

    desktop = run_e2e.WineDesktop(config, folder, WIDTH, HEIGHT)
    try:
        driver = run_e2e.Driver(desktop, config, "driver-out", "--timeout", "120000")
        code = run_e2e.run_program(desktop, exe, "auto")
        time.sleep(2)  # the desktop repaints a moment after the change
        desktop.screenshot(screenshot.name)
        show_dialog(desktop, driver, exe, folder / dialog_shot.name)
        boxes, registry, display = driver.stop()
    except run_e2e.ScenarioFailed as failure:
        print(f"demo: {failure}", file=sys.stderr)
        return 1
    finally:
        desktop.close()

    shutil.move(str(folder / screenshot.name), str(screenshot))
    shutil.move(str(folder / dialog_shot.name), str(dialog_shot))
    print(f"kestrova.exe auto ended with exit code {code} on a {display} desktop")
    for text, _ in boxes:
        print(f"it showed the message: {run_e2e.show(text)}")
    print(f"wallpaper: {registry.get('Wallpaper', '(none)')}")
    return 0 if code == 0 and not boxes else 1


if __name__ == "__main__":
    sys.exit(main())
