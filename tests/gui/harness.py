"""What the AT-SPI end-to-end scripts share: starting and ending processes, a fresh profile with
the LLM stub, the app with its REST API, the accessibility bus, and finding and clicking
accessibles by name. Scripts run inside run-gui-test.sh (private D-Bus session on Xvfb or Weston)."""
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import sys
import time
import urllib.parse
import urllib.request

DEADLINE = time.monotonic() + 150
# "xcb" on Xvfb, or "wayland" on a headless Weston (run-gui-test.sh --wayland)
PLATFORM = os.environ.get("NAMORIX_GUI_PLATFORM", "xcb")
started = []  # (name, Popen): ended in reverse order, whatever happens


class Failure(Exception):
    pass


def wait_for(what, probe, timeout=30, interval=0.25):
    """probe() until it returns something truthy; fails with `what` after `timeout` seconds."""
    end = min(time.monotonic() + timeout, DEADLINE)
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


def start(name, argv, **kwargs):
    process = subprocess.Popen(argv, start_new_session=True, **kwargs)
    started.append((name, process))
    return process


def stop_all():
    for name, process in reversed(started):
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()


def run_main(body):
    """Runs body(home) in a throw-away home folder; every started process ends afterwards."""
    home = tempfile.mkdtemp(prefix="namorix-gui-")
    try:
        body(home)
    except Failure as failure:
        print("FAIL:", failure, file=sys.stderr)
        sys.exit(1)
    finally:
        stop_all()
        shutil.rmtree(home, ignore_errors=True)


class Profile:
    """A fresh profile under `home`: XDG folders, settings.json, the LLM stub answering `replies`."""

    def __init__(self, home, stub, replies=()):
        self.home = home
        for folder in ("config/namorix", "data", "cache", "runtime"):
            os.makedirs(os.path.join(home, folder), mode=0o700, exist_ok=True)
        process = start("llm stub", [stub] + ["%s=%s" % (n, json.dumps(r)) for n, r in replies],
                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.stub_url = process.stdout.readline().strip()
        self.write_settings({"kvx.enabled": False, "ai.provider": "Ollama",
                             "ai.endpoint": self.stub_url, "hasAcceptedLegal": True, "onboardingDone": True})
        self.env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
                        XDG_CACHE_HOME=home + "/cache", XDG_RUNTIME_DIR=home + "/runtime", QT_QPA_PLATFORM=PLATFORM,
                        NAMORIX_API_PORT="0",  # the system picks it; the app says which
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", OMP_THREAD_LIMIT="1", LANG="de_DE.UTF-8")

    def write_settings(self, values):
        with open(os.path.join(self.home, "config/namorix/settings.json"), "w") as out:
            json.dump(values, out)

    def stored(self):
        with open(os.path.join(self.home, "config/namorix/settings.json")) as f:
            return json.load(f)


def accessibility():
    """Starts the accessibility bus and returns pyatspi, imported only once the bus is there."""
    start("accessibility bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    # Asks the session bus who owns the name; asking the name itself would start a second launcher.
    owner = ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
             "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"]
    wait_for("the accessibility bus",
             lambda: "boolean true" in subprocess.run(owner, capture_output=True, text=True).stdout, 20)
    import pyatspi  # connects to the accessibility bus on import
    return pyatspi


class App:
    """The app started in `profile`, its REST API and its accessible tree."""

    def __init__(self, namorix, profile, shots, pyatspi):
        self.shots = shots
        self.at = pyatspi
        self.log = b""
        self.process = start("namorix", [namorix], env=profile.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        threading.Thread(target=self._read, daemon=True).start()
        self.port = int(wait_for("the REST API", lambda: re.search(rb"\[API\] http://127\.0\.0\.1:(\d+)\n", self.log), 30)[1])
        self.root = wait_for("Namorix on the accessibility bus", self._application, 30)

    def _read(self):
        for line in self.process.stdout:
            self.log += line

    def _application(self):
        desktop = self.at.Registry.getDesktop(0)
        return next((a for a in desktop if a is not None and a.name.lower() == "namorix"), None)

    def request(self, path, body=None, method=None):
        """GETs `path`, or POSTs (or `method`s) `body` as JSON and returns the decoded reply."""
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request("http://127.0.0.1:%d%s" % (self.port, path), data, method=method)
        with urllib.request.urlopen(request, timeout=15) as reply:
            return reply.read() if body is None else json.loads(reply.read())

    def screenshot(self, name, window=None):
        """The main window, or the visible window titled `window`, as build/screenshots/<name>.png."""
        query = "" if window is None else "?window=" + urllib.parse.quote(window)
        png = self.request("/v1/ui/screenshot" + query)
        if not png.startswith(b"\x89PNG"):
            raise Failure("screenshot %s is not a PNG" % name)
        os.makedirs(self.shots, exist_ok=True)
        with open(os.path.join(self.shots, name + ".png"), "wb") as out:
            out.write(png)

    def compositor_screenshot(self, path):
        """On Wayland: the whole output as Weston shows it (its screenshooter, allowed by --debug)."""
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run(["weston-screenshooter"], cwd=folder, timeout=20, check=True)
            shot = next((f for f in os.listdir(folder) if f.endswith(".png")), None)
            if shot is None:
                raise Failure("weston-screenshooter wrote no picture")
            os.makedirs(os.path.dirname(path), exist_ok=True)
            shutil.move(os.path.join(folder, shot), path)

    def toplevels(self):
        """On Wayland: the titles of the top-level windows in Weston's scene graph."""
        graph = subprocess.run(["weston-debug", "scene-graph"], capture_output=True, text=True, timeout=10).stdout
        return re.findall(r"top-level window '(.*)' of namorix", graph)

    def find(self, predicate, root=None):
        try:
            return self.at.findDescendant(root or self.root, lambda a: a is not None and predicate(a))
        except Exception:  # the tree changed under the walk; the next poll sees it settled
            return None

    def named(self, name, role=None):
        return lambda a: a.name == name and (role is None or a.getRole() == role)

    def showing(self, accessible):
        return accessible is not None and accessible.getState().contains(self.at.STATE_SHOWING)

    def activate(self, name, role, *states):
        """Does the first action (a press, a toggle) of the `role` named `name` once there is one in
        all of `states`, and returns it."""
        found = wait_for('"%s"' % name, lambda: self.find(lambda a: a.name == name and a.getRole() == role and all(
            a.getState().contains(state) for state in states)))
        found.queryAction().doAction(0)
        return found

    def open_section(self, name):
        """Clicks the sidebar entry `name`; on Wayland presses its entry in the "Ansicht" menu."""
        role = self.at.ROLE_MENU_ITEM if PLATFORM == "wayland" else self.at.ROLE_LIST_ITEM
        self.click(wait_for('the section "%s"' % name, lambda: self.find(self.named(name, role))))

    def click(self, accessible):
        """A left click in its middle. On Wayland no client may send input to another, so there it
        is the accessible's own action: a button's press, a check box's or an item's toggle."""
        if PLATFORM == "wayland":
            action = accessible.queryAction()
            names = [action.getName(i) for i in range(action.nActions)]
            chosen = next((n for n in ("Press", "Toggle") if n in names), None)
            if chosen is None:
                raise Failure("%r offers no press or toggle, only %r" % (accessible.name, names))
            action.doAction(names.index(chosen))
            return
        x, y, w, h = accessible.queryComponent().getExtents(self.at.DESKTOP_COORDS)
        self.at.Registry.generateMouseEvent(x + w // 2, y + h // 2, "b1c")

    def press(self, keysym):
        """Presses and releases the key `keysym` (an X keysym, such as 0xffbf for F2); X11 only."""
        self._keyboard(keysym, None, self.at.KEY_SYM)

    def type(self, text):
        self._keyboard(0, text, self.at.KEY_STRING)

    def _keyboard(self, keysym, text, kind):
        if PLATFORM == "wayland":  # the registry would send them through an X server there is not
            raise Failure("no keys can be sent on Wayland")
        self.at.Registry.generateKeyboardEvent(keysym, text, kind)

    def quit(self):
        self.process.send_signal(signal.SIGTERM)
        if self.process.wait(10) != 0:
            raise Failure("the app ended with %d" % self.process.returncode)
