#!/usr/bin/python3
"""Drives the running program as a screen reader and a user would, and checks what it shows.

Everything the program shows is read through the accessibility bus (AT-SPI): the entries of the on-line list by
their accessible names, the popup, the warning, menus and dialogs by their roles and texts. Keys go through xdotool
to the X server (or to weston nested in it, which passes them on to its Wayland clients); pictures are taken with
import (X11) or weston-screenshooter (Wayland). The stand-in is steered over its control address.

Run under dbus-run-session with the program started beside it (scripts/check-wayland.sh and
scripts/check-accessibility.sh do both).
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

import pyatspi
from gi.repository import GLib

failures = []

# What the program announced on the bus, as a screen reader hears it: popup menus are no children of the
# application, they are known from their events.
shown_menus = []
focused = []


def heard(event):
    try:
        role = event.source.getRoleName()
    except Exception:
        return
    if event.type.startswith("object:state-changed:showing") and role == "popup menu" and event.detail1:
        shown_menus.append(event.source)
    elif event.type.startswith("object:state-changed:focused") and event.detail1:
        focused.append(event.source)


def listen():
    pyatspi.Registry.registerEventListener(heard, "object:state-changed:showing", "object:state-changed:focused")


def pump():
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def ok(what):
    print(f"ok:   {what}", flush=True)


def fail(what):
    print(f"FAIL: {what}", flush=True)
    failures.append(what)


def wait_for(condition, seconds, what):
    """The condition's first true value within the time, or None (reported as a failure)."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        pump()
        try:
            value = condition()
        except Exception:  # an object that went away while it was read
            value = None
        if value:
            return value
        time.sleep(0.1)
    fail(f"{what} (waited {seconds} s)")
    return None


def walk(accessible):
    yield accessible
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        if child is not None:
            yield from walk(child)


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def program():
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is not None and application.name == "Cvrlik":
            return application
    return None


def find(role, name=None, pattern=None, visible=True):
    application = program()
    if application is None:
        return None
    for accessible in walk(application):
        if accessible.getRoleName() != role:
            continue
        if name is not None and accessible.name != name:
            continue
        if pattern is not None and not re.fullmatch(pattern, accessible.name):
            continue
        if visible and not showing(accessible):
            continue
        return accessible
    return None


def entries():
    """The accessible names of the on-line list's entries, also while the window is hidden."""
    lists = find("list", name="Sledovaní uživatelé", visible=False)
    if lists is None:
        return []
    return [lists.getChildAtIndex(index).name for index in range(lists.childCount)]


def entry(pattern):
    return next((name for name in entries() if re.fullmatch(pattern, name)), None)


def press(accessible, action_name):
    actions = accessible.queryAction()
    for index in range(actions.nActions):
        if actions.getName(index) == action_name:
            actions.doAction(index)
            return True
    return False


class Session:
    def __init__(self, arguments):
        self.arguments = arguments
        self.shots = arguments.shots

    def steer(self, call):
        with urllib.request.urlopen(f"http://127.0.0.1:{self.arguments.port}/control/{call}", timeout=10) as reply:
            reply.read()

    def keys(self, *names):
        for name in names:
            subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True,
                           env=dict(os.environ, DISPLAY=self.arguments.keys_display))
            time.sleep(0.3)

    def screenshot(self, name):
        if not self.shots:
            return
        path = os.path.join(self.shots, self.arguments.prefix + name)
        if self.arguments.screenshots == "weston":
            with tempfile.TemporaryDirectory() as folder:
                subprocess.run(["weston-screenshooter"], cwd=folder, check=True)
                taken = glob.glob(os.path.join(folder, "*.png"))
                if not taken:
                    fail(f"weston-screenshooter took no picture for {name}")
                    return
                shutil.move(taken[0], path)
        else:
            subprocess.run(["import", "-window", "root", path], check=True,
                           env=dict(os.environ, DISPLAY=self.arguments.keys_display))
        ok(f"picture {path}")

    # ---- the steps ----

    def login(self):
        # A quiet world: only what the steps below do changes it.
        self.steer("lively?on=0")
        if wait_for(program, 60, "the program on the accessibility bus"):
            ok("the program is on the accessibility bus")
        if wait_for(lambda: entry(r"Anička, .*"), 60, "the watched users in the list"):
            ok("the list names its entries: " + "; ".join(entries()))

    def tray(self):
        # Started with --autostart where a tray is: logged in (the first reply's arrivals are announced), the main
        # window hidden. A hidden window is no child of the application on the bus.
        self.steer("lively?on=0")
        if not wait_for(program, 60, "the program on the accessibility bus"):
            return
        watched = r"Anička|Bára|Cipísek|Dědek|Ema|Ferda \"Mravenec\"|Gustav|Hanka|Jirka_77|Žlutý kůň|Lucie"
        if wait_for(lambda: find("label", pattern=watched), 60, "the arrival popup after the first people reply"):
            if find("filler", name="chat", visible=False) is None:
                ok("started at login, the program logged in with its main window hidden in the tray")
            else:
                fail("started at login with a tray, the main window shows")
        self.screenshot("tray.png")

    def states(self):
        self.steer("online?nick=Ema&room=12&idle=5")
        self.steer("client?nick=Hanka")
        self.steer("message?to=demo&from=B%C3%A1ra&text=Ahoj")
        expected = {
            "newly arrived, in a room, idle minutes": r"Ema, nově příchozí, v místnosti, \d+ minut(y|a)? bez činnosti",
            "on the client": r"Hanka, (nově příchozí, )?(v místnosti i )?v klientovi(, \d+ minut(y|a)? bez činnosti)?",
            "a waiting message": r"Bára, .*, nepřečtené zprávy",
            "off-line": r"\w+, mimo chat",
        }
        for what, pattern in expected.items():
            found = wait_for(lambda: entry(pattern), 60, f"an entry read as {what} ({pattern})")
            if found:
                ok(f"{what}: {found!r}")

    def popup(self):
        # A watched user with the notify flag comes on-line: Dědek, off-line in the quiet world.
        self.steer("online?nick=D%C4%9Bdek&room=1")
        if wait_for(lambda: find("label", name="Dědek"), 60, "the arrival popup showing Dědek"):
            ok("the arrival popup shows the nick")
            self.screenshot("popup.png")

    def warning(self):
        self.steer("ownidle?nick=demo&minutes=20")
        if wait_for(lambda: find("label", name="KECEJ, PRÁCE POČKÁ"), 60, "the idle-kick warning"):
            ok("the idle-kick warning shows")
            self.screenshot("warning.png")
        self.steer("ownidle?nick=demo&minutes=0")

    def keyboard(self):
        # The window came up active; the list is its only control that takes the keyboard.
        self.keys("Home")
        first = wait_for(focused_item, 10, "the list taking the keyboard")
        if not first:
            return
        ok(f"Home: the focus on the first entry, read as {first.name!r}")
        first_name = first.name
        self.keys("Down")
        second = wait_for(lambda: focused_item_other_than(first_name), 10, "Down moving the focus")
        if second:
            ok(f"Down: the focus on {second.name!r}")
        for key in ("Menu", "shift+F10"):
            shown_menus.clear()
            focused.clear()
            self.keys(key)
            menu = wait_for(lambda: next((m for m in shown_menus if menu_items(m)), None), 10,
                            f"the nick menu on {key}")
            if menu:
                ok(f"{key} opens the nick menu: {'; '.join(menu_items(menu))}")
                item = wait_for(lambda: next((f for f in focused if f.getRoleName() == "menu item"), None), 10,
                                f"a menu item taking the focus after {key}")
                if item:
                    ok(f"its first item takes the focus, read as {item.name!r}")
                if key == "Menu":
                    self.screenshot("menu.png")
            self.keys("Escape")
        # Enter on the entry with the waiting message opens the message viewer.
        for _ in range(30):
            item = focused_item()
            if item is not None and item.name.startswith("Bára"):
                break
            self.keys("Down")
        self.keys("Return")
        viewer = wait_for(lambda: find("dialog"), 10, "Enter opening the message viewer")
        if viewer:
            ok(f"Enter on Bára opens the dialog {viewer.name!r}")
            self.screenshot("viewer.png")
            self.keys("Escape")
            if wait_for(lambda: find("dialog") is None, 10, "Escape closing the viewer"):
                ok("Escape closes the viewer")

    def settings(self):
        button = find("push button", name="Nastavení")
        if not button or not press(button, "Press"):
            fail("no button Nastavení to press")
            return
        dialog = wait_for(lambda: find("dialog", name="Nastavení"), 20, "the settings dialog")
        if not dialog:
            return
        ok("the settings dialog opens")
        tab = wait_for(lambda: find("page tab", pattern=r"O&?becné|Obecné"), 10, "the General page's tab")
        if tab:
            press(tab, "Press")
        box = wait_for(lambda: find("check box", name="Spouštět po přihlášení"), 10, "the start-at-login box")
        entry_file = os.path.join(self.arguments.config, "autostart", "cz.velmor.Cvrlik.desktop")
        if box:
            press(box, "Toggle")
            press(find("push button", name="Použít"), "Press")
            if wait_for(lambda: os.path.isfile(entry_file), 10, "the login entry written by Apply"):
                ok(f"Apply wrote {entry_file}")
            self.screenshot("settings.png")
            press(box, "Toggle")
            press(find("push button", name="OK"), "Press")
            if wait_for(lambda: not os.path.exists(entry_file), 10, "the login entry removed by OK"):
                ok("OK removed the login entry")
        else:
            press(find("push button", name="OK"), "Press")
        wait_for(lambda: find("dialog", name="Nastavení") is None, 10, "the settings dialog closing")


def focused_item():
    lists = find("list", name="Sledovaní uživatelé")
    if lists is None:
        return None
    for index in range(lists.childCount):
        child = lists.getChildAtIndex(index)
        if child.getState().contains(pyatspi.STATE_FOCUSED):
            return child
    return None


def menu_items(menu):
    try:
        return [menu.getChildAtIndex(index).name for index in range(menu.childCount)]
    except Exception:
        return []


def focused_item_other_than(name):
    item = focused_item()
    return item if item is not None and item.name != name else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", required=True, help="the stand-in's port")
    parser.add_argument("--config", required=True, help="the program's XDG_CONFIG_HOME")
    parser.add_argument("--steps", required=True,
                        help="comma-separated: tray,login,states,popup,warning,keyboard,settings")
    parser.add_argument("--keys-display", default="", help="the X display keys go to")
    parser.add_argument("--screenshots", choices=["weston", "x11"], default="x11")
    parser.add_argument("--shots", default="", help="the folder for the pictures")
    parser.add_argument("--prefix", default="", help="the start of the pictures' names")
    arguments = parser.parse_args()
    listen()
    session = Session(arguments)
    for step in arguments.steps.split(","):
        print(f"== {step}", flush=True)
        getattr(session, step)()
    if failures:
        print(f"{len(failures)} failures", flush=True)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
