#!/usr/bin/python3
"""Acceptance test: a whole song made with the real program on a real X
server, driven only by input events and window queries.

    run_song.py BUILD_DIR [--keep]

Screenshots of every screen land in BUILD_DIR/screenshots/acceptance/. The
user's own settings are never touched: HOME, MELODRIFT_HOME and the config
folder point into a temporary folder that is removed at the end (kept with
--keep, for a look at the files and logs)."""
import argparse
import configparser
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import project  # noqa: E402
import xdesk  # noqa: E402

# The frame: 810x590, borderless; pages sit below a 90-pixel band.
MAIN_SIZE = (810, 590)
BAND = 90
MESSAGE_SIZE = (360, 170)
CLOSE_BOX = (792, 14)


def step_button(step):
    """Centre of step button 1..5 in the band."""
    return 205 + 100 * (step - 1), 58


def page(x, y):
    """A point of the page area in window coordinates."""
    return x, BAND + y


# The song setup screen (page coordinates of its controls).
SETUP_METRE = {"4/4": (119, 270), "3/4": (207, 270), "2/4": (295, 270), "6/8": (383, 270)}
SETUP_TEMPO_DOWN = (213, 347)
SETUP_TEMPO_UP = (347, 347)
SETUP_CAROUSEL = (405, 80)
SETUP_NEXT = (748, 473)
MIN_TEMPO = 50
MAX_TEMPO = 200

# The help page's "返回" button (window coordinates).
HELP_BACK = (514, 564)

TEMPO = 96          # the generated take is sung at 96 beats a minute in 4/4


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)
    print(f"ok   {what}", flush=True)


class Scenario:
    def __init__(self, build, work):
        self.build = build
        self.bin = os.path.join(build, "bin")
        self.work = work
        self.shots = os.path.join(build, "screenshots", "acceptance")
        # Pictures of an earlier run would pass for this one's.
        shutil.rmtree(self.shots, ignore_errors=True)
        os.makedirs(self.shots)
        self.home = os.path.join(work, "home")
        self.config = os.path.join(self.home, ".config")
        for folder in (self.home, self.config, os.path.join(work, "tmp"), os.path.join(work, "songs")):
            os.makedirs(folder, exist_ok=True)
        self.take = os.path.join(work, "take.wav")
        self.heard = os.path.join(work, "heard.wav")
        self.desk = xdesk.Desktop(os.path.join(build, "tools", "melodrift-screenshot"), work)
        self.program = None
        self.main = None
        self.starts = []

    # ---- the program ----------------------------------------------------------

    def environment(self):
        return {
            "HOME": self.home,
            "MELODRIFT_HOME": os.path.join(self.home, "data"),
            "XDG_CONFIG_HOME": self.config,
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "TMPDIR": os.path.join(self.work, "tmp"),
            # No online service is needed for a song; a closed port fails fast.
            "MELODRIFT_SERVICE": "127.0.0.1:9",
            "MELODRIFT_INSTANCE": f"melodrift-acceptance-{os.getpid()}",
            "MELODRIFT_AUDIO": f"file:{self.take};out={self.heard}",
        }

    def start_program(self):
        started = time.monotonic()
        self.program = self.desk.launch([os.path.join(self.bin, "melodrift")], self.environment(),
                                        f"melodrift-{len(self.starts) + 1}.log")
        self.main = self.desk.wait_window("main window", 60, name="^Melodrift", size=MAIN_SIZE,
                                          process=self.program)
        self.starts.append(time.monotonic() - started)
        print(f"main window shown after {self.starts[-1]:.2f} s, resident memory {self.resident_kb()} kB",
              flush=True)
        self.desk.activate(self.main)
        self.settle()

    def resident_kb(self):
        try:
            with open(f"/proc/{self.program.pid}/status") as status:
                for line in status:
                    if line.startswith("VmRSS:"):
                        return int(line.split()[1])
        except OSError:
            pass
        return None

    def quit_by_close_box(self):
        self.click(*CLOSE_BOX)
        try:
            code = self.program.wait(30)
        except subprocess.TimeoutExpired:
            self.shot("stuck-at-exit")
            raise Failure("the program did not end after the close box")
        check(code == 0, f"the close box ends the program with status 0 (got {code})")
        self.program = None

    def title(self):
        return self.desk._run(["xdotool", "getwindowname", str(self.main.wid)], check=False).strip()

    def wait_title(self, pattern, timeout=60):
        self.main = self.desk.wait_window(f"caption {pattern!r}", timeout, name="^Melodrift", size=MAIN_SIZE,
                                          title=pattern, process=self.program)

    # ---- input ------------------------------------------------------------------

    def click(self, x, y, repeat=1):
        self.desk.click(self.main, x, y, repeat=repeat)

    def click_page(self, at, repeat=1):
        self.click(*page(*at), repeat=repeat)

    def key(self, *keys):
        self.desk.key(self.main, *keys)

    def settle(self, seconds=0.6):
        """Time for the window to repaint after an input."""
        time.sleep(seconds)

    def shot(self, name, window=None):
        path = os.path.join(self.shots, f"{name}.png")
        self.desk.screenshot(path, window or self.main)
        return path

    def messages(self):
        return [w for w in self.desk.windows("^Melodrift") if (w.w, w.h) == MESSAGE_SIZE]

    def answer_message(self, name, key="Return", timeout=60):
        """Waits for the program's message box, pictures it and answers it."""
        box = self.desk.wait_window(f"message box ({name})", timeout, name="^Melodrift", size=MESSAGE_SIZE,
                                    process=self.program)
        self.settle(0.3)
        self.shot(f"message-{name}", box)
        self.desk.key(box, key)
        self.desk.wait_gone(f"message box ({name})", box, 10)

    def file_dialog(self, title, path, timeout=30):
        """Qt's own file dialog: the file name typed in full, then Enter."""
        dialog = self.desk.wait_window(f"file dialog {title}", timeout, title=title, process=self.program)
        self.settle(0.5)
        self.shot(f"dialog-{title}", dialog)
        self.desk.key(dialog, "ctrl+a")
        self.desk.type_text(dialog, path)
        self.desk.key(dialog, "Return")
        self.desk.wait_gone(f"file dialog {title}", dialog, 15)

    # ---- the song -----------------------------------------------------------------

    def make_take(self):
        generator = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                 "cli", "tools", "make_sample_take.py")
        subprocess.run([sys.executable, generator, self.take], check=True, timeout=300, capture_output=True)
        check(os.path.getsize(self.take) > 100000, "the sung take is generated")

    def setup_screen(self, metre):
        self.click(*step_button(1))
        self.settle()
        self.shot("setup")
        self.click_page(SETUP_METRE[metre])
        self.click_page(SETUP_CAROUSEL)
        self.settle(1.5)
        # A chosen style brings its own tempo: count down to the slowest
        # tempo, then up to the take's.
        self.click_page(SETUP_TEMPO_DOWN, repeat=MAX_TEMPO - MIN_TEMPO)
        self.click_page(SETUP_TEMPO_UP, repeat=TEMPO - MIN_TEMPO)
        self.settle(1.0)
        self.shot("setup-chosen")

    def settings(self):
        parser = configparser.ConfigParser(interpolation=None, strict=False)
        parser.read(os.path.join(self.config, "Korvane", "Melodrift.ini"), encoding="utf-8")
        values = {}
        for section in parser.sections():
            for name, value in parser.items(section):
                values[name.split("\\")[-1].lower()] = value
        return values

    def run(self):
        self.make_take()
        self.desk.start()

        # First session: the frame, the setup screen, a project opened and saved.
        self.start_program()
        check(self.title().startswith("Melodrift - "), f"a new song at start ({self.title()!r})")
        self.shot("mainwindow")
        self.key("F6")
        self.settle()
        check(not self.messages(), "a new song over an empty one asks nothing")
        self.setup_screen("3/4")
        self.click_page(SETUP_NEXT)
        self.settle()
        self.shot("record")
        self.key("F1")
        self.settle(1.5)
        self.shot("help")
        self.click(*HELP_BACK)
        self.settle()

        # The project made from the same take by the command-line tool,
        # opened with F2: the setup's choices are in the settings by then.
        made = os.path.join(self.work, "songs", "made.cpj")
        subprocess.run([os.path.join(self.bin, "melodrift-cli"), "compose", self.take, "--tempo", str(TEMPO),
                        "--metre", "4/4", "--style", "2001", "-o", made], check=True, timeout=300,
                       capture_output=True)
        self.key("F2")
        dialog = self.desk.wait_window("open dialog", 30, title="打开工程", process=self.program)
        values = self.settings()
        check(values.get("timesignature") == "1", f"the setup screen set 3/4 ({values.get('timesignature')})")
        check(values.get("tempo") == str(TEMPO), f"the setup screen set the tempo {TEMPO} ({values.get('tempo')})")
        del dialog
        self.file_dialog("打开工程", made)
        # The tool's project names no timbre library: the program says it
        # takes the default one.
        self.answer_message("timbre-default")
        self.wait_title(r"Melodrift - made\.cpj")
        self.settle(1.5)
        for step, name in ((3, "base"), (4, "songform"), (5, "complete"), (2, "record-opened")):
            self.click(*step_button(step))
            self.settle(1.5)
            self.shot(name)

        saved = os.path.join(self.work, "songs", "song.cpj")
        self.key("F4")
        self.file_dialog("保存工程", saved)
        self.answer_message("saved")
        self.wait_title(r"Melodrift - song\.cpj")
        check(os.path.getsize(saved) > 0, "F4 saves the project under the name typed")
        self.quit_by_close_box()

        # Second session: the project opened again and saved under another name.
        self.start_program()
        self.key("F2")
        self.file_dialog("打开工程", saved)
        self.wait_title(r"Melodrift - song\.cpj")
        self.settle(1.5)
        self.shot("reopened")
        again = os.path.join(self.work, "songs", "again.cpj")
        self.key("F4")
        self.file_dialog("保存工程", again)
        self.answer_message("saved-again")
        self.quit_by_close_box()

        first, second, origin = (project.read_project(p) for p in (saved, again, made))
        check(project.chords(second) == project.chords(first) == project.chords(origin),
              "the reopened project has the same chords")
        check(project.form_outline(second) == project.form_outline(first) == project.form_outline(origin),
              "the reopened project has the same song form")
        check((second["metre"], second["tempo"], second["style"]) == (0, TEMPO, 2001),
              "the reopened project keeps metre, tempo and style")

    def close(self):
        self.desk.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", help="the build folder (holding bin/ and tools/)")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="melodrift-acceptance.")
    scenario = Scenario(os.path.abspath(args.build), work)
    status = 1
    try:
        scenario.run()
        status = 0
        print("acceptance: a song from start to finish: ok")
    except (Failure, xdesk.DesktopError, project.ProjectError, subprocess.SubprocessError, OSError) as error:
        print(f"FAIL {error}", file=sys.stderr)
        try:
            scenario.desk.screenshot(os.path.join(scenario.shots, "failure-screen.png"))
        except Exception:   # the display may be the thing that failed
            pass
        for name in sorted(os.listdir(work)):
            if name.endswith(".log") and name.startswith("melodrift"):
                with open(os.path.join(work, name), errors="replace") as log:
                    lines = [line for line in log if not line.startswith("ALSA lib")]
                print(f"--- {name}\n{''.join(lines[-40:])}", file=sys.stderr)
    finally:
        scenario.close()
        if args.keep:
            print(f"kept {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
