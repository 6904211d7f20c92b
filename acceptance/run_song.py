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

# The record screen.
RECORD_BUTTON = (56, 433)

# The base accompaniment screen (window coordinates): the first chord slot
# of bar 2, the generate button, the next step.
CHANGED_BAR = 1
BASE_SLOT = (185, 176)
BASE_GENERATE = (36, 111)
BASE_NEXT = (752, 565)
BASE_PLAY = (96, 111)
BASE_STOP = (66, 111)

# The complete screen (window coordinates) and its export dialog.
COMPLETE_RECORD = (31, 111)
COMPLETE_STOP = (78, 111)
COMPLETE_SAVE = (746, 566)
EXPORT_SIZE = (300, 131)
EXPORT_NAME = (160, 46)
TAKE_SECONDS = 23   # the generated take: a silent count-in bar and eight bars at 96

# The help page's "返回" button (window coordinates).
HELP_BACK = (514, 564)
HELP_MANUAL = (594, 564)

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

    def environment(self, realtime):
        # The first session records, which a real device does in real time;
        # the second one only plays, and its speaker file must hold the
        # whole song however briefly it plays.
        audio = f"file:{self.take};out={self.heard}" + (";realtime" if realtime else "")
        return {
            "HOME": self.home,
            "MELODRIFT_HOME": os.path.join(self.home, "data"),
            "XDG_CONFIG_HOME": self.config,
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "TMPDIR": os.path.join(self.work, "tmp"),
            # No online service is needed for a song; a closed port fails fast.
            "MELODRIFT_SERVICE": "127.0.0.1:9",
            "MELODRIFT_INSTANCE": f"melodrift-acceptance-{os.getpid()}",
            "MELODRIFT_AUDIO": audio,
        }

    def start_program(self, realtime):
        started = time.monotonic()
        self.program = self.desk.launch([os.path.join(self.bin, "melodrift")], self.environment(realtime),
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

    def click_button_times(self, at, times):
        """Clicks a 34-pixel page button that many times, alternating between
        its left and right side."""
        x, y = page(*at)
        self.desk.click_many(self.main, [(x - 9 if i % 2 else x + 9, y) for i in range(times)])

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

    def setup_screen(self):
        self.click(*step_button(1))
        self.settle()
        self.shot("setup")
        # Another metre and back: a metre change drops the style.
        self.click_page(SETUP_METRE["3/4"])
        self.settle()
        self.click_page(SETUP_METRE["4/4"])
        self.settle()
        self.click_page(SETUP_CAROUSEL)
        self.settle(1.5)
        # A chosen style brings its own tempo: count down to the slowest
        # tempo, then up to the take's.
        self.click_button_times(SETUP_TEMPO_DOWN, MAX_TEMPO - MIN_TEMPO)
        self.click_button_times(SETUP_TEMPO_UP, TEMPO - MIN_TEMPO)
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
        # The same take made into a song by the command-line tool: the
        # program's recognition must find the same chords.
        made = os.path.join(self.work, "songs", "made.cpj")
        subprocess.run([os.path.join(self.bin, "melodrift-cli"), "compose", self.take, "--tempo", str(TEMPO),
                        "--metre", "4/4", "--style", "2001", "-o", made], check=True, timeout=300,
                       capture_output=True)
        self.desk.start()

        # First session: a new song from setup to the finished steps, saved.
        self.start_program(realtime=True)
        check(self.title().startswith("Melodrift - "), f"a new song at start ({self.title()!r})")
        self.shot("mainwindow")
        self.key("F6")
        self.settle()
        check(not self.messages(), "a new song over an empty one asks nothing")
        self.setup_screen()
        self.key("F1")
        self.settle(1.5)
        self.shot("help")
        self.manual()
        self.click(*HELP_BACK)
        self.settle()
        self.click_page(SETUP_NEXT)
        self.settle()
        self.shot("record-empty")
        self.record_take()
        self.base_screen()
        self.click(*BASE_NEXT)
        self.settle(2)
        self.shot("songform")
        self.click(*step_button(5))
        self.settle(2)
        self.shot("complete")
        self.final_take()
        mp3 = os.path.join(self.work, "songs", "song.mp3")
        self.export_song(mp3)

        saved = os.path.join(self.work, "songs", "song.cpj")
        self.key("F3")
        self.file_dialog("保存工程", saved)
        self.answer_message("saved")
        self.wait_title(r"Melodrift - song\.cpj")
        check(os.path.getsize(saved) > 0, "F3 saves the new song under the name typed")
        self.quit_by_close_box()

        # Second session: the project opened, played, and saved under another name.
        if os.path.exists(self.heard):
            os.remove(self.heard)
        self.start_program(realtime=False)
        self.key("F2")
        self.file_dialog("打开工程", saved)
        self.wait_title(r"Melodrift - song\.cpj")
        self.settle(2)
        self.shot("reopened")
        self.play_base()
        again = os.path.join(self.work, "songs", "again.cpj")
        self.key("F4")
        self.file_dialog("保存工程", again)
        self.answer_message("saved-again")
        self.wait_title(r"Melodrift - again\.cpj")
        self.quit_by_close_box()

        first, second, origin = (project.read_project(p) for p in (saved, again, made))
        self.check_heard(len(first["bars"]))
        check(len(first["form"]) >= 3, f"the song form has intro, melody and outro ({len(first['form'])} parts)")
        self.check_mp3(mp3, first)
        check((first["metre"], first["tempo"]) == (0, TEMPO), "the setup screen's metre and tempo are the song's")
        check(first["style"] >= 0 and all(entry["style"] >= 0 for entry in first["form"]),
              f"the style chosen on the setup screen is the song's ({first['style']})")
        recognised = project.chords(origin)
        changed = project.chords(first)
        check(len(changed) == len(recognised) == 8, f"the take's eight bars ({len(changed)})")
        check(changed[:CHANGED_BAR] + changed[CHANGED_BAR + 1:] == recognised[:CHANGED_BAR] + recognised[CHANGED_BAR + 1:],
              "the bars left alone keep the chords the tool finds in the same take")
        check(changed[CHANGED_BAR][0] // 4 == 9 and changed[CHANGED_BAR] != recognised[CHANGED_BAR],
              f"bar {CHANGED_BAR + 1} holds the sixth degree chosen on the base screen {changed[CHANGED_BAR]}")
        check(first["final_take_bars"] > 0 and second["final_take_bars"] == first["final_take_bars"],
              f"the final take is in the project, also once reopened ({first['final_take_bars']} bars)")
        check(project.chords(second) == changed, "the reopened project has the same chords")
        check(project.form_outline(second) == project.form_outline(first),
              "the reopened project has the same song form")
        check((second["metre"], second["tempo"], second["style"]) == (first["metre"], first["tempo"], first["style"]),
              "the reopened project keeps metre, tempo and style")

    def manual(self):
        """The help page's "用户手册" opens the manual with the screens' pictures."""
        self.click(*HELP_MANUAL)
        window = self.desk.wait_window("the manual", 30, title="用户手册", process=self.program)
        self.settle(1.5)
        self.shot("manual", window)
        self.desk.key(window, "alt+F4")
        self.desk.wait_gone("the manual", window, 10)
        self.desk.activate(self.main)

    def record_take(self):
        self.click_page(RECORD_BUTTON)
        # The file device sings the whole take; recognition reports its notes.
        self.answer_message("recognised", timeout=120)
        self.settle(1.5)
        # A finished take moves on by itself; the step bar brings it back.
        self.click(*step_button(2))
        self.settle(1.5)
        self.shot("record")

    def play_base(self):
        """Plays the reopened song on the base screen."""
        self.click(*step_button(3))
        self.settle(2)
        self.click(*BASE_PLAY)
        self.settle(3)
        self.shot("base-playing")
        self.click(*BASE_STOP)
        self.settle(1)

    def check_heard(self, bars):
        """What the file device's speaker received: the song played, as long
        as its bars at the tempo (a little more for the last notes' tails)."""
        stats = subprocess.run(["sox", self.heard, "-n", "stat"], capture_output=True, text=True,
                               timeout=60).stderr
        values = {}
        for line in stats.splitlines():
            name, _, value = line.partition(":")
            values[name.strip()] = value.strip()
        seconds = float(values.get("Length (seconds)", 0))
        rms = float(values.get("RMS     amplitude", 0))
        expected = bars * 4 * 60.0 / TEMPO
        check(expected - 0.5 < seconds < expected + 6 and rms > 0.01,
              f"the reopened song is heard: {seconds:.1f} s for {expected:.1f} s of bars, RMS {rms:.3f}")

    def final_take(self):
        """The final vocal over the whole accompaniment: the file device sings
        the take once more and falls silent when it ends; the user stops."""
        self.click(*COMPLETE_RECORD)
        self.settle(TAKE_SECONDS / 2)
        self.shot("complete-recording")
        self.settle(TAKE_SECONDS / 2 + 4)
        self.click(*COMPLETE_STOP)
        self.settle(2)
        for box in self.messages():
            self.shot("message-final-take", box)
            raise Failure("the final take ended with a message")
        self.shot("complete-recorded")

    def export_song(self, path):
        """The complete screen's "保存歌曲": the export dialog takes the file
        name typed, the progress window runs, the program says it stored it."""
        self.click(*COMPLETE_SAVE)
        # Its title appears only in the full window list.
        dialog = self.desk.wait_window("export dialog", 30, size=EXPORT_SIZE, title="^Melodrift",
                                       process=self.program)
        self.settle(0.5)
        self.desk.click(dialog, *EXPORT_NAME)
        self.desk.key(dialog, "ctrl+a")
        self.desk.type_text(dialog, path)
        self.settle(0.3)
        self.shot("export", dialog)
        self.desk.key(dialog, "Return")
        self.answer_message("exported", timeout=300)
        check(os.path.getsize(path) > 0, "the song is exported as MP3")

    def check_mp3(self, path, song):
        seconds = float(subprocess.run(["soxi", "-D", path], capture_output=True, text=True, check=True,
                                       timeout=60).stdout)
        expected = project.form_seconds(song)
        bars = sum(entry["bars"] for entry in song["form"])
        check(expected - 0.5 < seconds < expected + 6,
              f"the MP3 lasts {seconds:.1f} s: the song form's {bars} bars at {song['tempo']} make {expected:.1f} s")

    def base_screen(self):
        self.click(*step_button(3))
        self.settle(3)
        self.shot("base")
        self.click(*BASE_SLOT)
        self.settle(0.5)
        self.key("6")
        self.settle(0.5)
        self.click(*BASE_GENERATE)
        self.settle(4)
        self.shot("base-changed")

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
