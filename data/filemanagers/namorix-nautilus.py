"""Nautilus: "Mit Namorix umbenennen" on files and folders hands them to the Namorix window, which
shows its suggestions for review; nothing is renamed from here. Needs Debian's python3-nautilus."""
import subprocess

import gi

try:
    gi.require_version("Nautilus", "4.0")
except ValueError:  # Nautilus before 43
    gi.require_version("Nautilus", "3.0")
from gi.repository import GObject, Nautilus  # noqa: E402


def local_paths(files):
    """The local paths of the selection; items without one (trash, network places) are left out."""
    paths = []
    for info in files:
        location = info.get_location()
        path = location.get_path() if location is not None else None
        if path:
            paths.append(path)
    return paths


class NamorixMenu(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        # Nautilus 43 and later pass the files alone, older versions the window first.
        paths = local_paths(args[-1])
        if not paths:
            return []
        item = Nautilus.MenuItem(name="Namorix::rename", label="Mit Namorix umbenennen",
                                 tip="Schlägt Namen aus dem Inhalt vor und zeigt sie zur Prüfung")
        item.connect("activate", lambda _item: subprocess.Popen(["namorix", "--", *paths]))
        return [item]
