#!/usr/bin/env python3
"""Plays a scenario of tests/e2e/scenarios against the real program under an
X server (run it inside xvfb-run), as a user would: xdotool moves the mouse
and types, the program's state file (BRIVANTA_STATE_FILE) tells where the
windows, controls and views are and what the program shows.

  xvfb_player.py --program build/app/brivanta --scenario FILE --fixtures DIR
                 --work DIR [--shots DIR]

The scenario's folders: $TMP, $CONFIG, $OUT and $PROGRAM under --work, $FIX
is --fixtures. Lines of the headless player that have no meaning here
(advance: real time passes) wait a little; `shot NAME` writes the screen to
--shots/NAME.png (ImageMagick's import). Exit code 0 when every step and
check passed; the failures go to the standard error stream.
"""

import argparse
import json
import math
import os
import re
import shlex
import shutil
import socket
import struct
import subprocess
import sys
import time

# How long a step waits for the state it needs; a loaded machine may ask for
# more (BRIVANTA_PLAYER_STEP_TIMEOUT, seconds).
STEP_TIMEOUT = float(os.environ.get("BRIVANTA_PLAYER_STEP_TIMEOUT", "30"))


class Failure(Exception):
    pass


# ---------------------------------------------------------------- X11: the close box

def _pad(n):
    return (4 - n % 4) % 4


def _auth_cookie(display_number):
    """MIT-MAGIC-COOKIE-1 of the display from $XAUTHORITY (None: no file)."""
    path = os.environ.get("XAUTHORITY") or os.path.expanduser("~/.Xauthority")
    try:
        data = open(path, "rb").read()
    except OSError:
        return None
    at = 0

    def field():
        nonlocal at
        (n,) = struct.unpack(">H", data[at:at + 2])
        value = data[at + 2:at + 2 + n]
        at += 2 + n
        return value

    while at + 2 <= len(data):
        at += 2  # family
        field()  # address
        number = field().decode("ascii", "replace")
        name = field()
        cookie = field()
        if name == b"MIT-MAGIC-COOKIE-1" and number in (str(display_number), ""):
            return cookie
    return None


def close_box(window):
    """What a click on the close box does: WM_DELETE_WINDOW to the window
    (there is no window manager to turn the click into it)."""
    display = os.environ.get("DISPLAY", ":0")
    number = int(display.split(":")[1].split(".")[0])
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect("/tmp/.X11-unix/X%d" % number)
    cookie = _auth_cookie(number)
    name = b"MIT-MAGIC-COOKIE-1" if cookie else b""
    cookie = cookie or b""
    s.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, len(name), len(cookie)) + name + b"\0" * _pad(len(name))
              + cookie + b"\0" * _pad(len(cookie)))
    head = _recv(s, 8)
    if head[0] != 1:
        raise Failure("the X server refused the connection")
    (more,) = struct.unpack("<H", head[6:8])
    _recv(s, more * 4)

    def atom(text):
        t = text.encode()
        s.sendall(struct.pack("<BBHHxx", 16, 0, 2 + (len(t) + _pad(len(t))) // 4, len(t)) + t + b"\0" * _pad(len(t)))
        while True:
            reply = _recv(s, 32)
            if reply[0] == 1:
                (extra,) = struct.unpack("<I", reply[4:8])
                _recv(s, extra * 4)
                return struct.unpack("<I", reply[8:12])[0]
            if reply[0] == 0:
                raise Failure("InternAtom failed")

    protocols, delete = atom("WM_PROTOCOLS"), atom("WM_DELETE_WINDOW")
    event = struct.pack("<BBHII5I", 33, 32, 0, window, protocols, delete, 0, 0, 0, 0)
    s.sendall(struct.pack("<BBHII", 25, 0, 11, window, 0) + event)
    # A round trip makes sure the server has it before the socket closes.
    atom("WM_PROTOCOLS")
    s.close()


def _recv(s, n):
    out = b""
    while len(out) < n:
        chunk = s.recv(n - len(out))
        if not chunk:
            raise Failure("the X server closed the connection")
        out += chunk
    return out


# ---------------------------------------------------------------- scenarios

def parse(text):
    """[(fixtures, processes)] as the headless player reads them (a subset)."""
    fixtures, processes = [], []
    block = None
    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        words = shlex.split(line)
        verb = words[0]
        rest = line[len(verb):].strip()
        entry = (number, words, rest)
        if block is not None:
            if verb == "end":
                processes[-1]["steps"].append((number, ["modal"], "", block))
                block = None
            else:
                block.append(entry)
            continue
        if verb in ("fixture", "figure"):
            fixtures.append(entry)
        elif verb == "process":
            processes.append({"args": words[1:], "before": [], "steps": []})
        elif verb in ("clipboard", "setting", "copy"):
            processes[-1]["before"].append(entry)
        elif verb == "modal":
            block = []
        else:
            processes[-1]["steps"].append(entry + (None,))
    return fixtures, processes


class Player:
    def __init__(self, args):
        self.program = args.program
        self.fixtures = os.path.abspath(args.fixtures)
        self.work = os.path.abspath(args.work)
        self.shots = args.shots
        self.folders = {
            "$TMP": os.path.join(self.work, "tmp"),
            "$CONFIG": os.path.join(self.work, "config"),
            "$OUT": os.path.join(self.work, "out"),
            "$PROGRAM": os.path.join(self.work, "program"),
            "$DAZ": os.path.join(self.work, "resources", "Brivanta"),
            "$FIX": self.fixtures,
        }
        for key, folder in self.folders.items():
            if key != "$FIX":
                os.makedirs(folder, exist_ok=True)
        self.state_path = os.path.join(self.work, "state.json")
        self.proc = None
        self.answers, self.files = [], []
        self.marks, self.rows = {}, {}
        self.failures = []
        self.seen_boxes = []

    def expand(self, text):
        for key, value in self.folders.items():
            text = text.replace(key, value)
        return text

    # ---- the state file
    def state(self):
        try:
            with open(self.state_path, encoding="utf-8") as f:
                data = json.load(f)
        except (OSError, ValueError):
            return None
        return data.get("state", data)

    def wait(self, what, predicate, timeout=STEP_TIMEOUT):
        """Waits until predicate(state) gives a value; answers the message
        boxes and file dialogs the scenario prepared meanwhile."""
        end = time.time() + timeout
        while time.time() < end:
            if self.proc and self.proc.poll() is not None:
                raise Failure("the program ended (code %d) while waiting for %s" % (self.proc.returncode, what))
            s = self.state()
            if s is not None:
                self.serve(s)
                value = predicate(s)
                if value:
                    return value
            time.sleep(0.05)
        s = self.state() or {}
        shown = ["%s (%s)" % (w["title"], w["layout"]) for w in s.get("windows", []) if w["visible"]]
        raise Failure("waited in vain for %s; windows shown: %s" % (what, ", ".join(shown) or "none"))

    def serve(self, s):
        for d in s.get("openDialogs", []):
            if d["kind"] == "message" and d["text"] not in self.seen_boxes:
                self.seen_boxes.append(d["text"])
            if d["kind"] == "message" and self.answers:
                answer = self.answers.pop(0)
                self.raise_title(d["title"])
                for b in d["buttons"]:
                    if b["text"].replace("&", "").lower() == answer:
                        self.click_rect(b["rect"])
                        time.sleep(0.3)
                        return
                raise Failure("the box \"%s\" has no button %s" % (d["text"], answer))
            if d["kind"] == "file" and self.files:
                path = self.files.pop(0)
                if d.get("title"):
                    self.raise_title(d["title"])
                if path == "cancel":
                    self.xdo("key", "Escape")
                else:
                    # Keys go where the focus is, and a loaded server hands the
                    # dialog its activation late: the name box takes the focus
                    # before anything is typed.
                    end = time.time() + STEP_TIMEOUT
                    self.click_rect(d["nameEdit"])
                    while not d.get("nameEditFocused"):
                        if time.time() > end:
                            raise Failure("the file dialog's name box never took the focus")
                        time.sleep(0.2)
                        d = next((x for x in (self.state() or {}).get("openDialogs", []) if x["kind"] == "file"), d)
                        if not d.get("nameEditFocused"):
                            self.click_rect(d["nameEdit"])
                    self.xdo("key", "ctrl+a")
                    self.xdo("type", "--delay", "5", path)
                    self.xdo("key", "Return")
                time.sleep(0.3)
                return

    # ---- input
    def xdo(self, *args):
        subprocess.run(["xdotool"] + list(args), check=True)

    def click_at(self, x, y, button=1):
        self.xdo("mousemove", "--sync", str(int(round(x))), str(int(round(y))))
        self.xdo("click", str(button))

    def click_rect(self, r):
        self.click_at((r[0] + r[2]) / 2.0, (r[1] + r[3]) / 2.0)

    def drag(self, a, b, via=None):
        at = (int(round(a[0])), int(round(a[1])))
        self.xdo("mousemove", "--sync", str(at[0]), str(at[1]))
        self.xdo("mousedown", "1")
        for start, end in ([(a, via), (via, b)] if via else [(a, b)]):
            for k in range(1, 5):
                t = k / 4.0
                to = (int(round(start[0] + (end[0] - start[0]) * t)), int(round(start[1] + (end[1] - start[1]) * t)))
                # (--sync waits for a move, which the same pixel never gives)
                if to != at:
                    self.xdo("mousemove", "--sync", str(to[0]), str(to[1]))
                at = to
        self.xdo("mouseup", "1")

    # ---- finding things in the state
    @staticmethod
    def dialog_windows(s, layout):
        """The top-level window or child dialog made from that layout."""
        for w in s.get("windows", []):
            if not w["visible"]:
                continue
            if w["layout"] == layout:
                return w
            for d in w["dialogs"]:
                if d["layout"] == layout and d["visible"]:
                    return w
        return None

    def control(self, s, layout, cid):
        w = self.frame(s) if layout == "frame" else self.dialog_windows(s, int(layout))
        if not w:
            return None
        for c in w["controls"]:
            if c["id"] == cid and c["visible"] and c["enabled"]:
                return c
        return None

    @staticmethod
    def frame(s):
        for w in s.get("windows", []):
            if w["title"].endswith("Brivanta") and w["visible"]:
                return w
        return None

    @staticmethod
    def view(s, name):
        for v in s.get("views", []):
            if v["name"] == name and v["visible"]:
                return v
        return None

    @staticmethod
    def at_photo(v, x, y):
        a, bx, ay, by = v["photoToClient"]
        r = v["rect"]
        return r[0] + a * x + bx, r[1] + ay * y + by

    # ---- steps
    def run_line(self, number, words, rest, block, layout=None):
        verb = words[0]
        if verb == "answer":
            self.answers.append(words[1].lower())
        elif verb == "file":
            if len(words) >= 4 and words[-2] == "filter":
                raise Failure("file filters are not chosen under X")
            self.files.append(self.expand(rest))
        elif verb == "photo":
            self.marks, self.rows = read_marks(os.path.join(self.fixtures, words[1]))
        elif verb == "modal":
            for inner in block:
                self.run_line(*inner, None, layout="modal")
        elif verb in ("button", "slider", "clickin", "dragin"):
            if layout == "modal":
                dialog, cid, numbers = "modal", int(words[1]), words[2:]
            else:
                dialog, cid, numbers = words[1], int(words[2]), words[3:]
            if dialog == "modal":
                c = self.wait("control %d of the dialog" % cid, lambda s: self.modal_control(s, cid))
            else:
                c = self.wait("control %d of %s" % (cid, dialog), lambda s: self.control(s, dialog, cid))
            self.raise_owner(dialog, cid)
            if verb == "button" and c.get("kind") in ("check", "radio"):
                # The box or circle at the left: a label narrower than its
                # layout rectangle takes no click beyond its text.
                r = c["rect"]
                self.click_at(r[0] + 6, (r[1] + r[3]) / 2.0)
            elif verb == "button":
                self.click_rect(c["rect"])
            elif verb == "slider":
                self.slide(dialog, cid, int(numbers[0]))
            elif verb == "clickin":
                self.click_at(c["rect"][0] + int(numbers[0]), c["rect"][1] + int(numbers[1]))
            else:
                n = [int(v) for v in numbers]
                self.drag((c["rect"][0] + n[0], c["rect"][1] + n[1]), (c["rect"][0] + n[2], c["rect"][1] + n[3]))
        elif verb == "type":
            self.xdo("type", "--delay", "5", self.expand(rest))
        elif verb == "key":
            mods = [m for m in words[2:] if m in ("shift", "ctrl")]
            self.xdo("key", "+".join(mods + [KEYS.get(words[1], words[1])]))
        elif verb in ("click", "drag"):
            v = self.wait("view " + words[1], lambda s: self.view(s, words[1]))
            n = [float(x) for x in words[2:]]
            if verb == "click":
                self.click_at(*self.at_photo(v, n[0], n[1]))
            else:
                self.drag(self.at_photo(v, n[0], n[1]), self.at_photo(v, n[2], n[3]))
        elif verb == "mark":
            target = words[2] if len(words) > 2 else "ViewOrig2D"
            s = self.wait("the asked point", lambda s: s if self.view(s, target) else None)
            name = words[1] if len(words) > 1 else self.rows.get(self.view(s, target)["row"])
            if name not in self.marks:
                raise Failure("no mark \"%s\"" % name)
            self.click_at(*self.at_photo(self.view(s, target), *self.marks[name]))
        elif verb == "dragmarks":
            self.drag_marks()
        elif verb == "close":
            frame = self.wait("the frame", self.frame)
            close_box(self.frame_window(frame))
        elif verb == "advance":
            time.sleep(max(0.5, int(words[1]) / 1000.0))
        elif verb == "shot":
            if self.shots:
                os.makedirs(self.shots, exist_ok=True)
                if len(words) > 2:
                    # A window the state file cannot show yet (the splash
                    # during the start's pause): its title on the screen.
                    title = "^%s$" % re.escape(" ".join(words[2:]))
                    end = time.time() + STEP_TIMEOUT
                    while subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                                          "--name", title], capture_output=True).returncode != 0:
                        if time.time() > end:
                            raise Failure("no window \"%s\" on the screen" % " ".join(words[2:]))
                        time.sleep(0.05)
                time.sleep(0.5)
                # Without a window manager nothing keeps the pages above the
                # frame, as a desktop does: they are raised for the picture.
                s = self.state() or {}
                for w in s.get("windows", []):
                    if w["visible"] and w["layout"]:
                        # (the X server is the player's own: the name is enough)
                        for x in subprocess.run(["xdotool", "search", "--name", "^%s$" % w["title"]],
                                                capture_output=True, text=True).stdout.split():
                            subprocess.run(["xdotool", "windowraise", x], check=False)
                time.sleep(0.3)
                subprocess.run(["import", "-window", "root", os.path.join(self.shots, words[1] + ".png")],
                               check=True)
        elif verb == "expect":
            self.expect(words, rest)
        elif verb == "menu":
            # No menu open (one the state file still shows would take the
            # click meant for the new one), the popup opened from the bar,
            # the item chosen: the menu closes.
            popup, item = menu_item(words[1])
            no_menu = lambda s: not self.open_dialog(s, "menu")
            bar = self.wait("the menu bar and no menu open",
                            lambda s: no_menu(s) and self.open_dialog(s, "menubar"))
            self.click_button(bar, popup, "the menu bar")
            menu = self.wait("the menu " + popup, lambda s: self.open_dialog(s, "menu", popup))
            self.click_button(menu, item, "the menu " + popup)
            self.wait("the menu %s closed" % popup, no_menu)
        else:
            raise Failure("unknown step " + verb)
        time.sleep(0.1)

    # ---- marks
    @staticmethod
    def photo_points(s):
        return {p["name"]: tuple(p["at"]) for p in s.get("points", {}).get("photo", [])}

    def drag_marks(self):
        """Each point the page placed dragged onto its mark; one without a
        mark (hidden from the fixture's camera) clicked and deleted."""
        for _ in range(200):
            s = self.wait("the photo view", lambda s: s if self.view(s, "ViewOrig2D") else None)
            points = self.photo_points(s)
            v = self.view(s, "ViewOrig2D")

            def near(n):
                # On its mark: nearer than a drag under X moves it (a few
                # pixels, the headless player's two).
                (x0, y0), (x1, y1) = self.at_photo(v, *points[n]), self.at_photo(v, *self.marks[n])
                return abs(round(x0) - round(x1)) + abs(round(y0) - round(y1)) <= 4

            off = [n for n in sorted(points) if n not in self.marks or not near(n)]
            if not off:
                return
            name = off[0]
            start = points[name]
            if name in self.marks:
                self.drag(self.at_photo(v, *start), self.at_photo(v, *self.marks[name]))
                # A point at the same place may be the one taken: any move will do.
                self.wait("a point moved from \"%s\"" % name, lambda s: self.photo_points(s) != points)
            else:
                self.click_at(*self.at_photo(v, *start))
                self.xdo("key", "Delete")
                self.wait("\"%s\" deleted" % name, lambda s: name not in self.photo_points(s))
        raise Failure("the points do not reach their marks")

    # The head's eye corners, mouth corners and nose tip, the first two the
    # outer eye corners.
    CHECKED = ["left_corner_of_the_left_eye", "right_corner_of_the_right_eye", "right_corner_of_the_left_eye",
               "left_corner_of_the_right_eye", "left_corner_of_the_mouth", "right_corner_of_the_mouth",
               "tip_of_the_nose"]

    @staticmethod
    def on_photo(view, p):
        """A head point where the view shows it, in photo pixels."""
        m = view["headToClient"]
        h = [p[0] * m[c] + p[1] * m[4 + c] + p[2] * m[8 + c] + m[12 + c] for c in range(4)]
        a, bx, ay, by = view["photoToClient"]
        return ((h[0] / h[3] - bx) / a, (h[1] / h[3] - by) / ay)

    def places(self, words, s):
        """expect onphoto VIEW TOL | sameplace VIEW1 VIEW2 TOL: the failures."""
        same = words[1] == "sameplace"
        # A hidden pane shows no photo to lie on (sameplace compares the maps alone).
        views = {v["name"]: v for v in s.get("views", []) if "headToClient" in v and (same or v["visible"])}
        names = words[2:4] if same else words[2:3]
        tol = float(words[4 if same else 3])
        if any(n not in views for n in names):
            return ["no GL view among %s" % names]
        head = {p["name"]: p["at"] for p in s.get("points", {}).get("head", [])}
        photo = self.photo_points(s)
        if any(n not in head or n not in photo for n in self.CHECKED):
            return ["the head or the photo lacks a checked point"]
        eyes = math.dist(photo[self.CHECKED[0]], photo[self.CHECKED[1]])
        out = []
        for k, n in enumerate(self.CHECKED):
            if not same and n == "tip_of_the_nose":
                continue  # where the fit leaves it
            a = self.on_photo(views[names[0]], head[n])
            b = self.on_photo(views[names[1]], head[n]) if same else photo[n]
            if math.dist(a, b) / eyes > tol:
                out.append("%s %.3f eye distances off (%s)" % (n, math.dist(a, b) / eyes, " ".join(words[1:])))
        return out

    @staticmethod
    def open_dialog(s, kind, title=None):
        for d in s.get("openDialogs", []):
            if d["kind"] == kind and (title is None or d["title"] == title):
                return d
        return None

    def click_button(self, dialog, text, where):
        for b in dialog["buttons"]:
            if b["text"] == text:
                self.click_rect(b["rect"])
                return
        raise Failure("%s has no item \"%s\"" % (where, text))

    # ---- stacking
    # A desktop's window manager keeps a program's pages and boxes above the
    # frame that owns them; the bare X server of xvfb-run keeps no order, so
    # the window about to be clicked is raised as the user would see it.
    def raise_title(self, title):
        out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid), "--name",
                              "^%s$" % re.escape(title)], capture_output=True, text=True).stdout.split()
        for x in out:
            subprocess.run(["xdotool", "windowraise", x], check=False)
        if out:
            time.sleep(0.1)

    def raise_owner(self, dialog, cid):
        s = self.state() or {}
        if dialog == "modal":
            w = next((w for w in reversed(s.get("windows", [])) if w["visible"] and w["layout"]
                      and any(c["id"] == cid for c in w["controls"])), None)
        elif dialog == "frame":
            w = None
        else:
            w = self.dialog_windows(s, int(dialog))
        if w and w["layout"]:
            self.raise_title(w["title"])

    def modal_control(self, s, cid):
        # The modal dialog: the last visible top-level window with a layout
        # that has the control (a window going or coming may still be listed).
        for w in reversed(s.get("windows", [])):
            if w["visible"] and w["layout"]:
                for c in w["controls"]:
                    if c["id"] == cid and c["visible"] and c["enabled"]:
                        return c
        return None

    def slide(self, dialog, cid, pos):
        """Drags the thumb from its centre to the place of pos (the thumb's
        centre runs from half a thumb in from each end); what the drag left
        undone the arrow keys finish, the press having given the slider the
        focus, as a user would."""
        def now():
            return self.wait("slider %d" % cid, lambda s: self.control(s, dialog, cid) if dialog != "modal"
                             else self.modal_control(s, cid))
        c = now()
        if c["pos"] == pos:
            return
        r, lo, hi = c["rect"], c["min"], c["max"]
        inset = 7

        def x_of(p):
            return r[0] + inset + (r[2] - r[0] - 2 * inset) * (p - lo) / float(max(1, hi - lo))
        y = (r[1] + r[3]) / 2.0
        self.drag((x_of(c["pos"]), y), (x_of(pos), y))
        time.sleep(0.3)
        for _ in range(2 * (hi - lo) + 2):
            c = now()
            if c["pos"] == pos:
                return
            self.xdo("key", "Right" if c["pos"] < pos else "Left")
            # One step at a time: the next key only once this one shows.
            before = c["pos"]
            end = time.time() + 5
            while time.time() < end and now()["pos"] == before:
                time.sleep(0.05)
        c = now()
        if c["pos"] != pos:
            raise Failure("slider %d does not reach %d (it stands at %d)" % (cid, pos, c["pos"]))

    def frame_window(self, frame):
        # --all: both the process and the title (xdotool's default takes a
        # window matching either, such as a step page of the program).
        out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid), "--name",
                              "^%s$" % re.escape(frame["title"])],
                             capture_output=True, text=True).stdout.split()
        if not out:
            raise Failure("no X window of the frame")
        return int(out[-1])

    def expect(self, words, rest):
        what = words[1]
        if what == "exit":
            end = time.time() + STEP_TIMEOUT
            while self.proc.poll() is None and time.time() < end:
                s = self.state()
                if s is not None:
                    self.serve(s)
                time.sleep(0.05)
            code = self.proc.poll()
            if code is None:
                raise Failure("the program did not end")
            if code != int(words[2]):
                raise Failure("exit code %d, not %s" % (code, words[2]))
            return
        if what in ("file", "nofile"):
            path = self.expand(words[2])
            if self.proc.poll() is None:
                # The file may wait for a dialog the scenario answers.
                self.wait(("the file " if what == "file" else "no file ") + path,
                          lambda s: os.path.exists(path) == (what == "file"))
            elif os.path.exists(path) != (what == "file"):
                raise Failure(("missing " if what == "file" else "unexpected ") + path)
            return
        if what == "box":
            text = rest[len("box"):].strip()
            if self.proc.poll() is not None:
                # The program has ended: the boxes it showed were seen.
                if text not in self.seen_boxes:
                    raise Failure("no box \"%s\" among %s" % (text, self.seen_boxes))
                return
            self.wait("the box \"%s\"" % text,
                      lambda s: text in self.seen_boxes)
            return
        if what in ("onphoto", "sameplace"):
            # The state comes when the program waits, after the step's redraws.
            try:
                self.wait(" ".join(words[1:]), lambda s: not self.places(words, s), timeout=10)
            except Failure:
                raise Failure("; ".join(self.places(words, self.state() or {})) or " ".join(words))
            return
        keys = {"stage": "stage", "template": "templateId", "layout": "layout", "view": "activeView"}
        if what in keys:
            self.wait("%s %s" % (what, words[2]), lambda s: str(s.get(keys[what])) == words[2])
        elif what == "dialog":
            want = words[3] == "open"
            self.wait("dialog %s %s" % (words[2], words[3]),
                      lambda s: (self.dialog_windows(s, int(words[2])) is not None) == want)
        else:
            # Checks only the headless player makes (dumps, assimp): the
            # caller makes them on the files.
            pass

    # ---- a process
    def play(self, process):
        for number, words, rest in process["before"]:
            words = [self.expand(w) for w in words]
            if words[0] == "copy":
                os.makedirs(os.path.dirname(words[2]), exist_ok=True)
                shutil.copyfile(words[1], words[2])
            elif words[0] == "clipboard":
                png = os.path.join(self.work, "clipboard.png")
                subprocess.run(["convert", os.path.join(self.fixtures, words[1] + ".jpg"), png], check=True)
                # xclip keeps serving the picture until another owner takes it.
                subprocess.Popen(["xclip", "-selection", "clipboard", "-t", "image/png", "-i", png])
                time.sleep(0.5)
            elif words[0] == "setting":
                write_setting(os.path.join(self.folders["$CONFIG"], "brivanta", "settings.ini"), words[1], words[2],
                              " ".join(words[3:]))
        if os.path.exists(self.state_path):
            os.remove(self.state_path)
        env = dict(os.environ)
        env.update({"XDG_CONFIG_HOME": self.folders["$CONFIG"], "TMPDIR": self.folders["$TMP"],
                    "BRIVANTA_STATE_FILE": self.state_path, "QT_QPA_PLATFORM": "xcb"})
        args = [self.expand(a) for a in process["args"]]
        self.proc = subprocess.Popen([self.program] + args, env=env)
        try:
            for number, words, rest, block in process["steps"]:
                try:
                    self.run_line(number, words, rest, block)
                except Failure as e:
                    raise Failure("line %d: %s" % (number, e))
                except subprocess.CalledProcessError as e:
                    raise Failure("line %d: %s" % (number, e))
        finally:
            if self.proc.poll() is None:
                time.sleep(1)
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
                self.failures.append("the program was still running at the end and was killed")


KEYS = {"RETURN": "Return", "ESCAPE": "Escape", "TAB": "Tab", "SPACE": "space", "DELETE": "Delete",
        "BACK": "BackSpace", "LEFT": "Left", "RIGHT": "Right", "UP": "Up", "DOWN": "Down"}


def menu_item(command):
    """The popup and the item text of a frame command (a number or a name of
    document/ids.h) in the frame's menu."""
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    if not command.isdigit():
        with open(os.path.join(root, "document", "ids.h"), encoding="utf-8") as f:
            found = re.search(r"\b%s = (\d+);" % re.escape(command), f.read())
        if not found:
            raise Failure("unknown command " + command)
        command = found.group(1)
    popup = None
    with open(os.path.join(root, "resources", "MENU", "128.txt"), encoding="utf-8") as f:
        for line in f:
            words = shlex.split(line, comments=True)
            if words[:1] == ["popup"]:
                popup = words[1]
            elif words[:2] == ["item", command]:
                # the key after a tab (written \t in the file) is no part of the item's text
                return popup, words[2].replace("\\t", "\t").split("\t")[0]
    raise Failure("no menu item for command " + command)


def read_marks(base):
    marks, rows = {}, {}
    with open(base + ".marks", encoding="utf-8") as f:
        for line in f:
            parts = line.split()
            if len(parts) == 3:
                marks[parts[0]] = (float(parts[1]), float(parts[2]))
    if os.path.exists(base + ".rows"):
        with open(base + ".rows", encoding="utf-8") as f:
            for line in f:
                parts = line.split()
                if len(parts) == 2:
                    rows[int(parts[0])] = parts[1]
    return marks, rows


def write_setting(path, section, key, value):
    lines = []
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
    header = "[%s]" % section
    if header not in lines:
        lines += [header]
    at = lines.index(header) + 1
    while at < len(lines) and not lines[at].startswith("["):
        if lines[at].split("=", 1)[0] == key:
            del lines[at]
            continue
        at += 1
    lines.insert(lines.index(header) + 1, "%s=%s" % (key, value))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--program", required=True)
    p.add_argument("--scenario", required=True)
    p.add_argument("--fixtures", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--shots")
    args = p.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("no X display: run this inside xvfb-run")
    with open(args.scenario, encoding="utf-8") as f:
        _, processes = parse(f.read())
    player = Player(args)
    start = time.time()
    for k, process in enumerate(processes, 1):
        try:
            player.play(process)
        except Failure as e:
            player.failures.append("process %d: %s" % (k, e))
            break
    for f in player.failures:
        print("xvfb_player: " + f, file=sys.stderr)
    print("xvfb_player: %s in %.1f s" % ("failed" if player.failures else "played", time.time() - start))
    sys.exit(1 if player.failures else 0)


if __name__ == "__main__":
    main()
