"""The real app on a virtual display, driven the way a user meets it and found through its
accessible names over AT-SPI: a second start hands two files over by a namorix://rename URL, the
rows show their suggested names, "Umbenennen" renames both on disk, the history lists them and a
row's revert gives one its old name back. Screenshots of every section go to the given folder.

Run by run-gui-test.sh inside a private D-Bus session on Xvfb:
    gui_endtoend.py NAMORIX LLMSTUB_SERVER SCREENSHOT_DIR
"""
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

NAMORIX, STUB, SHOTS = sys.argv[1:4]
DEADLINE = time.monotonic() + 150
FILES = {  # name: (content, model reply, expected new name)
    "scan_0815.txt": ("Stadtwerke Musterstadt, Rechnung Strom März 2024, Betrag 84,20 EUR",
                      {"datum": "2024-03-15", "kategorie": "rechnung", "beschreibung": "Stadtwerke Strom",
                       "confidence": 0.92},
                      "2024-03-15_rechnung_stadtwerke_strom.txt"),
    "brief.txt": ("Finanzamt Musterstadt, Bescheid für 2023",
                  {"datum": "2024-02-01", "kategorie": "brief", "beschreibung": "Finanzamt Bescheid",
                   "confidence": 0.55},
                  "2024-02-01_brief_finanzamt_bescheid.txt"),
}
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


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def a11y_bus_ready():
    # Asks the session bus who owns the name; asking the name itself would start a second launcher.
    reply = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"],
                           capture_output=True, text=True)
    return "boolean true" in reply.stdout


class App:
    def __init__(self, home, env, port):
        self.env = env
        self.port = port
        self.log = b""
        self.process = start("namorix", [NAMORIX], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        threading.Thread(target=self._read, daemon=True).start()
        wait_for("the REST API", lambda: b"[API] http://127.0.0.1:%d" % port in self.log, 30)

    def _read(self):
        for line in self.process.stdout:
            self.log += line

    def get(self, path):
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.port, path), timeout=15) as reply:
            return reply.read()

    def post(self, path, body):
        request = urllib.request.Request("http://127.0.0.1:%d%s" % (self.port, path), json.dumps(body).encode(),
                                         method="POST")
        with urllib.request.urlopen(request, timeout=15) as reply:
            return json.loads(reply.read())

    def screenshot(self, name):
        png = self.get("/v1/ui/screenshot")
        if not png.startswith(b"\x89PNG"):
            raise Failure("screenshot %s is not a PNG" % name)
        with open(os.path.join(SHOTS, name + ".png"), "wb") as out:
            out.write(png)


def main():
    home = tempfile.mkdtemp(prefix="namorix-gui-")
    try:
        run(home)
    finally:
        stop_all()
        shutil.rmtree(home, ignore_errors=True)


def run(home):
    os.makedirs(SHOTS, exist_ok=True)
    docs = os.path.join(home, "Dokumente")
    for folder in ("config/namorix", "data", "cache", "runtime", "Dokumente"):
        os.makedirs(os.path.join(home, folder), mode=0o700, exist_ok=True)
    for name, (content, _, _) in FILES.items():
        with open(os.path.join(docs, name), "w") as out:
            out.write(content)

    stub = start("llm stub", [STUB] + ["%s=%s" % (n, json.dumps(r)) for n, (_, r, _) in FILES.items()],
                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    stub_url = stub.stdout.readline().strip()
    port = free_port()
    with open(os.path.join(home, "config/namorix/settings.json"), "w") as out:
        json.dump({"api.port": port, "kvx.enabled": False, "ai.provider": "Ollama", "ai.endpoint": stub_url,
                   "hasAcceptedLegal": True, "onboardingDone": True}, out)

    start("accessibility bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    wait_for("the accessibility bus", a11y_bus_ready, 20)
    import pyatspi  # only now: it connects to the accessibility bus on import

    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
               XDG_CACHE_HOME=home + "/cache", XDG_RUNTIME_DIR=home + "/runtime", QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", OMP_THREAD_LIMIT="1", LANG="de_DE.UTF-8")
    app = App(home, env, port)

    def application():
        desktop = pyatspi.Registry.getDesktop(0)
        return next((a for a in desktop if a is not None and a.name.lower() == "namorix"), None)

    root = wait_for("Namorix on the accessibility bus", application, 30)

    def find(predicate):
        try:
            return pyatspi.findDescendant(root, lambda a: a is not None and predicate(a))
        except Exception:  # the tree changed under the walk; the next poll sees it settled
            return None

    def named(name, role=None):
        return lambda a: a.name == name and (role is None or a.getRole() == role)

    def click(accessible):
        x, y, w, h = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        pyatspi.Registry.generateMouseEvent(x + w // 2, y + h // 2, "b1c")

    # A second start hands the two files over by URL and ends at once.
    paths = [os.path.join(docs, n) for n in FILES]
    second = subprocess.run([NAMORIX, "namorix://rename?paths=" + ",".join(paths)], env=env, timeout=20,
                            capture_output=True)
    if second.returncode != 0:
        raise Failure("second start exited with %d: %s" % (second.returncode, second.stderr.decode()))

    for _, _, new_name in FILES.values():
        wait_for("a row suggesting " + new_name, lambda: find(lambda a: new_name in a.name), 60)
    app.screenshot("files")

    rename = wait_for('the button "Umbenennen"', lambda: find(named("Umbenennen", pyatspi.ROLE_PUSH_BUTTON)))
    rename.queryAction().doAction(0)
    for name, (_, _, new_name) in FILES.items():
        wait_for(name + " renamed on disk", lambda: os.path.exists(os.path.join(docs, new_name))
                 and not os.path.exists(os.path.join(docs, name)))

    click(wait_for('the section "Verlauf"', lambda: find(named("Verlauf", pyatspi.ROLE_LIST_ITEM))))
    table = wait_for("the history table", lambda: find(named("Umbenennungsverlauf", pyatspi.ROLE_TABLE)))

    def history_rows():
        cells = table.queryTable()
        return {cells.getAccessibleAt(r, 0).name: r for r in range(cells.nRows)}

    wait_for("both renames in the history", lambda: set(FILES) <= set(history_rows()))
    app.screenshot("history")

    # The row's revert gives brief.txt its old name back; the other file stays renamed.
    row = history_rows()["brief.txt"]
    revert = table.queryTable().getAccessibleAt(row, 4)
    if revert.name != "Rückgängig":
        raise Failure("the revert cell reads %r" % revert.name)
    click(revert)
    wait_for("brief.txt back under its old name", lambda: os.path.exists(os.path.join(docs, "brief.txt")))
    if os.path.exists(os.path.join(docs, FILES["brief.txt"][2])):
        raise Failure("the renamed file is still there after the revert")
    wait_for('the row marked "Rückgängig gemacht"',
             lambda: table.queryTable().getAccessibleAt(history_rows()["brief.txt"], 4).name == "Rückgängig gemacht")
    if not os.path.exists(os.path.join(docs, FILES["scan_0815.txt"][2])):
        raise Failure("the other rename was undone too")
    app.screenshot("history-reverted")

    for tab in ("templates", "watch"):
        app.post("/v1/ui/navigate", {"tab": tab})
        time.sleep(0.5)
        app.screenshot(tab)

    app.process.send_signal(signal.SIGTERM)
    if app.process.wait(10) != 0:
        raise Failure("the app ended with %d" % app.process.returncode)
    print("gui end-to-end: ok; screenshots in", SHOTS)


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print("FAIL:", failure, file=sys.stderr)
        sys.exit(1)
