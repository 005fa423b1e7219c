#!/usr/bin/env python3
"""The demo's Wine part: kestrova.exe auto on a 1024x768 virtual desktop with the
pictures of PICTURES (kestrova.ini: change at Windows start, centred, no timed
change), then a screenshot of that desktop; then a manual start, whose settings
dialog is left as a second screenshot with the picture it opens on in its
preview, and cancelled. The scenario's folder is WORK/demo.

  demo_desktop.py KESTROVA_EXE DRIVER_EXE PICTURES WORK SCREENSHOT DIALOG_SHOT
"""

import shutil
import subprocess
import sys
import time
import types
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import run_e2e  # noqa: E402  (the end-to-end runner's Wine session and driver)


def main():
    if len(sys.argv) != 7:
        print(__doc__, file=sys.stderr)
        return 2
    kestrova, driver_exe, pictures, work, screenshot, dialog_shot = (Path(arg).resolve() for arg in sys.argv[1:])
    config = types.SimpleNamespace(kestrova=kestrova, driver=driver_exe, work=work,
                                   wine_env=run_e2e.wine_environment())
    try:
        with run_e2e.Scenario(config, "demo", {p.name: p.read_bytes() for p in pictures.iterdir()}, ini="") as s:
            # The help page sits beside the program, as in the archive users download.
            shutil.copy2(kestrova.with_name("ReadMe.htm"), s.exe.with_name("ReadMe.htm"))
            driver = run_e2e.Driver(s)
            code = s.run("auto")
            time.sleep(2)  # the desktop repaints a moment after the change
            s.screenshot(screenshot.name)
            wallpaper = driver.desktop().get("Wallpaper", "(none)")
            program = s.start(s.exe)
            run_e2e.wait_until("the settings dialog did not show a picture",
                               lambda: (driver.dialog() or {}).get(run_e2e.IDC_PICTURE_SIZE, "").strip(), 60)
            time.sleep(1)  # the pane paints once the load's messages are handled
            s.screenshot("full-" + dialog_shot.name)
            # The dialog opens at the desktop's top-left corner.
            subprocess.run(["convert", str(s.folder / ("full-" + dialog_shot.name)), "-crop", "460x384+0+0",
                            "+repage", str(dialog_shot)], check=True)
            driver.command(f"click {run_e2e.IDCANCEL}")
            run_e2e.ended(program, run_e2e.PROGRAM_TIMEOUT, "kestrova.exe after ｷｬﾝｾﾙ")
            boxes = driver.stop()
            shutil.copy2(s.folder / screenshot.name, screenshot)
    except run_e2e.ScenarioFailed as failure:
        print(f"demo: {failure}", file=sys.stderr)
        return 1
    print(f"kestrova.exe auto ended with exit code {code}")
    for text in boxes:
        print(f"it showed the message: {text}")
    print(f"wallpaper: {wallpaper}")
    return 0 if code == 0 and not boxes else 1


if __name__ == "__main__":
    sys.exit(main())
