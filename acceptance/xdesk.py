"""A private X desktop for driving the real program from outside: Xvfb with
openbox as the window manager, windows found and driven with xdotool, and
pictures taken with the build's screenshot tool. Nothing here reaches into
the program; it sees only what a user sees and does only what a user does.

Every wait is bounded, and Desktop.close() ends every process it started,
whatever happened before."""
import os
import re
import signal
import subprocess
import time


class DesktopError(RuntimeError):
    pass


def _free_display():
    # A display whose lock and socket are both absent; start high so that
    # the displays of people and of other test runs stay out of the way.
    for number in range(140 + os.getpid() % 300, 1000):
        if not os.path.exists(f"/tmp/.X{number}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{number}"):
            return number
    raise DesktopError("no free X display number")


class Window:
    def __init__(self, wid, x, y, w, h, name):
        self.wid, self.x, self.y, self.w, self.h, self.name = wid, x, y, w, h, name

    def __repr__(self):
        return f"Window({self.wid} {self.w}x{self.h}+{self.x}+{self.y} {self.name!r})"


class Desktop:
    def __init__(self, screenshot_tool, log_dir):
        self.screenshot_tool = screenshot_tool
        self.log_dir = log_dir
        self.processes = []
        self.display = None

    # ---- life ---------------------------------------------------------------

    def start(self, timeout=20):
        for _ in range(5):
            number = _free_display()
            log = open(os.path.join(self.log_dir, f"xvfb-{number}.log"), "w")
            xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                                     "-noreset"], stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
            self.display = f":{number}"
            if self._wait(lambda: self._answers() or xvfb.poll() is not None, timeout) and xvfb.poll() is None:
                self.processes.append(xvfb)
                break
            self._end(xvfb)   # lost the race for that number: try another
        else:
            raise DesktopError("Xvfb did not start")
        wm_log = open(os.path.join(self.log_dir, "openbox.log"), "w")
        self.processes.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env(), stdout=wm_log,
                                               stderr=subprocess.STDOUT, start_new_session=True))
        # The window manager owns the screen once it has set its check window.
        if not self._wait(lambda: self._run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
                          .find("window id") >= 0, timeout):
            raise DesktopError("openbox did not take the screen")

    def env(self, extra=None):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        env["QT_QPA_PLATFORM"] = "xcb"
        if extra:
            env.update(extra)
        return env

    def launch(self, argv, env, log_name):
        log = open(os.path.join(self.log_dir, log_name), "w")
        process = subprocess.Popen(argv, env=self.env(env), stdout=log, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        self.processes.append(process)
        return process

    def close(self):
        for process in reversed(self.processes):
            self._end(process)
        self.processes.clear()

    @staticmethod
    def _end(process, grace=5):
        if process.poll() is not None:
            return
        try:
            os.killpg(process.pid, signal.SIGTERM)
        except ProcessLookupError:
            return
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait(grace)

    # ---- queries ------------------------------------------------------------

    def _run(self, argv, check=True, timeout=10):
        result = subprocess.run(argv, env=self.env(), capture_output=True, text=True, timeout=timeout)
        if check and result.returncode != 0:
            raise DesktopError(f"{' '.join(argv)}: {result.stderr.strip()}")
        return result.stdout

    def _answers(self):
        try:
            return self._run(["xdotool", "getdisplaygeometry"], check=False).strip() != ""
        except subprocess.TimeoutExpired:
            return False

    @staticmethod
    def _wait(predicate, timeout, step=0.1):
        end = time.monotonic() + timeout
        while True:
            if predicate():
                return True
            if time.monotonic() >= end:
                return False
            time.sleep(step)

    def windows(self, name=".*"):
        """The visible top-level windows whose title matches name."""
        found = []
        ids = self._run(["xdotool", "search", "--onlyvisible", "--name", name], check=False).split()
        for wid in ids:
            geometry = self._run(["xdotool", "getwindowgeometry", "--shell", wid], check=False)
            values = dict(line.split("=", 1) for line in geometry.splitlines() if "=" in line)
            if "WIDTH" not in values:
                continue   # gone meanwhile
            title = self._run(["xdotool", "getwindowname", wid], check=False).rstrip("\n")
            found.append(Window(int(wid), int(values["X"]), int(values["Y"]), int(values["WIDTH"]),
                                int(values["HEIGHT"]), title))
        return found

    def wait_window(self, what, timeout, name=".*", size=None, title=None, process=None):
        """The first visible window of that size and title (a regular
        expression); raises with `what` when none shows up in time."""
        hit = []

        def look():
            if process is not None and process.poll() is not None:
                raise DesktopError(f"{what}: the program ended with {process.returncode}")
            for window in self.windows(name):
                if size and (window.w, window.h) != size:
                    continue
                if title and not re.search(title, window.name):
                    continue
                hit.append(window)
                return True
            return False

        if not self._wait(look, timeout, 0.2):
            raise DesktopError(f"{what}: not shown within {timeout} s; windows: {self.windows()}")
        return hit[0]

    def wait_gone(self, what, window, timeout):
        if not self._wait(lambda: all(w.wid != window.wid for w in self.windows()), timeout, 0.2):
            raise DesktopError(f"{what}: still shown after {timeout} s")

    def wait_until(self, what, predicate, timeout, step=0.2):
        if not self._wait(predicate, timeout, step):
            raise DesktopError(f"{what}: not within {timeout} s")

    # ---- input --------------------------------------------------------------

    def activate(self, window):
        # Keys go to the focused window, as a user's keyboard does.
        for command in ("windowactivate", "windowfocus"):
            try:
                self._run(["xdotool", command, "--sync", str(window.wid)], check=False, timeout=5)
            except subprocess.TimeoutExpired:
                pass

    def click(self, window, x, y, button=1, repeat=1):
        """A click at (x, y) inside the window, as a user's mouse makes it."""
        self._run(["xdotool", "mousemove", "--window", str(window.wid), str(x), str(y)])
        time.sleep(0.05)
        self._run(["xdotool", "click", "--repeat", str(repeat), "--delay", "60", str(button)], timeout=60)
        time.sleep(0.1)

    def click_many(self, window, points, pause=0.08):
        """Clicks at each point in turn, apart in time and place so that no
        two of them make a double click."""
        argv = ["xdotool"]
        for x, y in points:
            argv += ["mousemove", "--window", str(window.wid), str(x), str(y), "sleep", "0.02", "click", "1",
                     "sleep", str(pause)]
        self._run(argv, timeout=30 + len(points))
        time.sleep(0.1)

    def key(self, window, *keys):
        self.activate(window)
        self._run(["xdotool", "key", "--clearmodifiers", "--delay", "50", *keys])
        time.sleep(0.1)

    def type_text(self, window, text):
        self.activate(window)
        self._run(["xdotool", "type", "--clearmodifiers", "--delay", "20", text], timeout=60)

    # ---- pictures -------------------------------------------------------------

    def screenshot(self, path, window=None):
        argv = [self.screenshot_tool, path] + ([str(window.wid)] if window else [])
        subprocess.run(argv, env=self.env(), check=True, timeout=30, capture_output=True)
        return path
