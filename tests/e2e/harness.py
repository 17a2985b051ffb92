"""Drives the real Quorvane window under wine on a virtual X display.

Real keyboard and mouse input goes in through xdotool (XTEST); the program's
state comes back through qv_probe.exe, a Win32 program in the same wine
prefix that reads the window across processes and answers one JSON line per
command.

    with Session() as session:                 # Xvfb, wine prefix, probe
        app = session.launch()                 # a fresh quorvane.exe
        app.type("123")
        app.expect("typed", binary="1111011", focus="decimal")
        app.close()

Every wait polls (poll) until the expected state or a timeout; a failed
expectation raises Failure naming the step, what was expected and what was
read, and keeps a screenshot.

Environment: QV_EXE, QV_PROBE, QV_PREFIX, QV_ARTIFACTS and QV_ARCH (x86_64
or i686, the product), which scripts/e2e.sh sets (through
qv_harness_env of scripts/wine-env.sh, which also says which runtime runs
the build: qv_runtime).

Each session runs in a prefix of its own, a copy of QV_PREFIX (or of the
variant its options ask for) made afresh under QV_PREFIX.sessions/NAME, and
on a display of its own, so sessions with different names run side by side.
"""

import contextlib
import functools
import json
import os
import re
import select
import signal
import subprocess
import time

from product import ALPHABETS, FIELD_IDS, FIELDS, LIMITS, NEUTRAL_SPOT, RADIX, TITLE, \
    WARNING_CAPTION, WARNING_TEXT

# The desktops a session can stand for: the Unix locale gives wine its ANSI
# code page.
LOCALES = {936: "zh_CN.UTF-8", 1252: "C.UTF-8"}

# Colour themes a session's prefix can take (HKCU\Control Panel\Colors): the
# eight colours that Windows' settings page for contrast themes lets a user
# set, as Windows' "High Contrast Black" has them.
THEMES = {
    "hcblack": {"Window": "0 0 0", "WindowText": "255 255 255", "HotTrackingColor": "255 255 0",
                "GrayText": "63 242 63", "Hilight": "26 235 255", "HilightText": "0 0 0",
                "ButtonFace": "0 0 0", "ButtonText": "255 255 255"},
}

ARCH = os.environ.get("QV_ARCH", "x86_64")
REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


@functools.lru_cache(maxsize=None)
def runtime():
    """wine10, wine8 or qemu: what scripts/wine-env.sh runs the build under."""
    return subprocess.run(["bash", "-c", 'source "$1/scripts/wine-env.sh" && qv_runtime "$2"', "qv",
                           REPO, ARCH], stdout=subprocess.PIPE, check=True).stdout.decode().strip()


def wine10():
    """Wine 10 has what today's Windows has and wine 8 lacks: per-monitor v2
    awareness, stretching of unaware windows, UI Automation."""
    return runtime() == "wine10"


def slow(seconds):
    """A time limit stretched for the runtime: sessions run side by side on
    two cores, and under qemu-user every wine process starts and answers a
    few times slower. A wait ends as soon as its state shows; the checks stay
    the same."""
    return seconds * (4.0 if runtime() == "qemu" else 2.0)


def poll(read, done=bool, timeout=None):
    """Reads until done(reading) holds: (True, reading), or (False, the last
    reading) once timeout seconds (default slow(5)) have passed. Every wait
    of the suite is this loop. Most states show within a few readings; a
    longer wait reads less often, since every reading costs the groups
    running beside it."""
    deadline = time.monotonic() + (timeout or slow(5))
    pause = 0.01
    while True:
        value = read()
        if done(value):
            return True, value
        if time.monotonic() > deadline:
            return False, value
        time.sleep(pause)
        pause = min(pause * 1.5, 0.1)


def scale(length, dpi):
    """A 96-DPI length at dpi, rounded as the program rounds (MulDiv)."""
    return (length * dpi + 48) // 96


class Failure(AssertionError):
    """An expectation that did not hold; str() says step, expectation, reading."""


def as_bytes(text):
    """Probe strings carry bytes as code points 0-255."""
    return text.encode("latin-1")


def canonical(value):
    """The four fields' texts for a value, as a conversion writes them."""
    return {"binary": format(value, "b"), "octal": format(value, "o"),
            "decimal": str(value), "hexadecimal": format(value, "X")}


def value_of(field, text):
    """The value of a field's digits, modulo 2^32 (0 for no text)."""
    return int(text or "0", RADIX[field]) & 0xFFFFFFFF


def _fits(field, text):
    if field == "octal":
        return not (len(text) == 11 and text[:1] > b"3")
    if field == "decimal":
        return not (len(text) == 10 and text > b"4294967295")
    return True


def conversion_problem(st, source, value=None):
    """What keeps the other three fields from showing source's value, or None.

    Every field within its limit, and each one's length as another process
    asks it equal to its text's; source holding digits of its base that fit
    in 32 bits; the others showing value (default: source's value) in their
    bases, as a conversion writes it."""
    texts = {f: as_bytes(st[f]) for f in FIELDS}
    for f in FIELDS:
        if len(texts[f]) > LIMITS[f]:
            return "%s holds %d bytes, above its limit" % (f, len(texts[f]))
    if st["lengths"] != [len(texts[f]) for f in FIELDS]:
        return "lengths %s differ from the texts'" % st["lengths"]
    if value is None:
        text = texts[source]
        if any(b not in ALPHABETS[source] for b in text):
            return "%s holds %r, not digits of its base" % (source, text)
        if not _fits(source, text):
            return "%s holds %r, above 32 bits" % (source, text)
        value = value_of(source, text.decode())
    want = canonical(value)
    for f in FIELDS:
        if f != source and texts[f] != want[f].encode():
            return "%s shows %r, not the value %d" % (f, texts[f], value)
    return None


class Probe:
    """qv_probe.exe as a server: one command line in, one JSON line out."""

    def __init__(self, exe, env):
        self.proc = subprocess.Popen(
            ["wine", exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, env=env, bufsize=0)

    def __call__(self, *words, timeout=None):
        line = " ".join(str(w) for w in words) + "\n"
        self.proc.stdin.write(line.encode("ascii"))
        if timeout is not None and not select.select([self.proc.stdout], [], [], timeout)[0]:
            raise TimeoutError("qv_probe gave no answer within %.0f s (command %r)"
                               % (timeout, line.strip()))
        answer = self.proc.stdout.readline()
        if not answer:
            raise RuntimeError("qv_probe ended (command %r)" % line.strip())
        return json.loads(answer)

    def set_clipboard(self, data, utf16=False):
        """CF_TEXT alone (a str in code page 936), or UTF-16 text alone."""
        data = data.encode("utf-16-le" if utf16 else "gbk") if isinstance(data, str) else data
        if not self("clip", data.hex() or "-", *["utf16"] * utf16)["ok"]:
            raise RuntimeError("could not set the clipboard")

    def set_text(self, field, data, undo=False):
        """The field's whole text replaced from outside (EM_REPLACESEL, with
        or without undo): the program takes out a character the field does
        not take but converts nothing, so a check can set up texts no
        keystroke makes."""
        data = data.encode("gbk") if isinstance(data, str) else data
        return self("replace", FIELD_IDS[field], data.hex() or "-", *["undo"] * undo)

    def send_text(self, field, data):
        """WM_SETTEXT, as UI Automation and MSAA set a field's text: the
        program's answer (1 taken, 0 refused)."""
        return self("settext", FIELD_IDS[field], data.encode("gbk").hex() or "-")["result"]

    def beeps(self):
        """MessageBeep calls so far (the first call starts counting, at 0)."""
        return self("beeps")["beeps"]

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.close()
                self.proc.wait(timeout=slow(5))
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()


class Screenshot:
    """The whole X screen; pixel() answers 0xRRGGBB."""

    def __init__(self, session):
        self.width = int(session.screen.split("x")[0])
        self.rgb = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"],
                                  env=session.env, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, check=True).stdout

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return int.from_bytes(self.rgb[i:i + 3], "big")


def _variant(copy, suffix, *args):
    """Shell text that turns the prefix in WINEPREFIX into a variant of it:
    its wine session ended, copy (a qv_copy_prefix_* function of
    scripts/wine-env.sh) makes WINEPREFIX+suffix from it with args, and
    WINEPREFIX names the copy from then on."""
    return (' && { qv_wine wineserver -k; qv_wine wineserver -w; true; }'
            ' && %s "$WINEPREFIX" "$WINEPREFIX%s"%s && export WINEPREFIX="$WINEPREFIX%s"'
            % (copy, suffix, "".join(" " + a for a in args), suffix))


class Session:
    """An X display, the wine prefix and a probe, shared by many app runs."""

    def __init__(self, name="session", screen="1024x768x24", codepage=936, font_mapping=True,
                 dpi=96, dpi_unaware=False, system_font=None, theme=None):
        """codepage: the desktop's ANSI code page; font_mapping: whether the
        label face is mapped to an installed CJK font (without it the system
        has only the CJK fonts under their own names); dpi: the display
        scale (96 is 100 %); dpi_unaware: programs are left unaware of the
        scale unless they ask, as on Windows; system_font: a face that stands
        in for the System font, the fields' font (code page 1252); theme: a
        colour theme of THEMES instead of wine's own colours; name: the
        session's own copy of the prefix (a group's name). The programs,
        the prefix and the place for screenshots come from the environment
        (QV_EXE, QV_PROBE, QV_PREFIX, QV_ARTIFACTS)."""
        self.name, self.screen, self.codepage, self.font_mapping = name, screen, codepage, \
            font_mapping
        self.dpi, self.dpi_unaware, self.system_font, self.theme = dpi, dpi_unaware, \
            system_font, theme
        e = os.environ
        self.exe, self.probe_exe, self.prefix = e["QV_EXE"], e["QV_PROBE"], e["QV_PREFIX"]
        self.artifacts, self.repo, self.arch = e["QV_ARTIFACTS"], REPO, ARCH
        self.xvfb = self.xvfb_pid = self.probe = self.env = None
        self.scenario = "?"

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.__exit__()
            raise
        return self

    def _start(self):
        os.makedirs(self.artifacts, exist_ok=True)
        # The prefix (code page 936 locale, label font mapped) comes from the
        # project's own set-up script; it is made once per build tree. It
        # also sets up the build's runtime and puts its commands first on
        # PATH. The variant a session's options ask for is a copy
        # of it, made once, and the session runs in a copy of its own of
        # that, made afresh: nothing one session leaves behind reaches
        # another, and sessions run side by side. The copies are made one at
        # a time (flock): a variant is made from a prefix whose wine session
        # has ended.
        script = 'source "$1/scripts/wine-env.sh" && qv_prepare_prefix "$2" "$3"'
        if not self.font_mapping:
            script += _variant("qv_copy_prefix_without_font_mapping", "-nofontmap")
        if self.system_font:
            script += _variant("qv_copy_prefix_with_system_font", "-systemfont", '"$4"')
        if self.theme:
            script += _variant("qv_copy_prefix_with_colours", "-" + self.theme, *(
                "'%s=%s'" % item for item in sorted(THEMES[self.theme].items())))
        if self.dpi != 96 or self.dpi_unaware:
            unaware = "unaware" if self.dpi_unaware else ""
            script += _variant("qv_copy_prefix_with_dpi", "-dpi%d%s" % (self.dpi, unaware and "-unaware"),
                               str(self.dpi), unaware)
        script += (' && qv_copy_prefix "$WINEPREFIX" "$2.sessions/$5"'
                   ' && export WINEPREFIX="$2.sessions/$5"')
        os.makedirs(os.path.dirname(self.prefix) or ".", exist_ok=True)
        out = subprocess.run(["flock", self.prefix + ".lock", "bash", "-c", script + " && env -0",
                              "qv", self.repo, self.prefix, self.arch, self.system_font or "",
                              self.name], stdout=subprocess.PIPE, check=True).stdout
        env = dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)
        keep = ("WINEPREFIX", "WINEDEBUG", "WINEARCH", "PATH", "WINELOADER", "WINELOADERNOEXEC",
                "WINESERVER", "QV_RUNTIME", "QV_WINE10_ROOT", "QV_WINE10_BINDS")
        self.env = dict(os.environ)
        for k in ("WINELOADER", "WINESERVER", "WINELOADERNOEXEC"):
            self.env.pop(k, None)
        self.env.update({k: env[k] for k in keep if k in env})
        self.env["LANG"] = self.env["LC_ALL"] = LOCALES[self.codepage]
        # No desktop here: no menu entries for what the session installs.
        self.env["WINEDLLOVERRIDES"] = "winemenubuilder.exe=d"
        self.env.pop("DISPLAY", None)
        self._start_display()
        # Under qemu, wine's start of a new session (wineboot --init and the
        # services it starts) was seen to hang once in about sixty: the probe,
        # the session's first program, then never answers. Nothing of the
        # program under test has run yet, so the session is started once more.
        for attempt in (1, 2):
            self.probe = Probe(self.probe_exe, self.env)
            try:
                self.probe("title", TITLE.encode("gbk").hex(),
                           ",".join(str(FIELD_IDS[f]) for f in FIELDS), timeout=slow(20))
                break
            except TimeoutError as e:
                if attempt == 2:
                    raise
                print("session: %s; starting the wine session again" % e, flush=True)
                self.probe.proc.kill()
                self.probe.proc.wait()
                self.probe = None
                self._end_wine()

    def scale(self, length):
        """A 96-DPI length at the session's display scale."""
        return scale(length, self.dpi)

    def _start_display(self):
        # The project's Xvfb launcher, in a shell that stays to wait for the
        # server: it reports the display and the server's process.
        script = ('source "$1/scripts/wine-env.sh" && unset DISPLAY && qv_start_display "$2"'
                  ' && echo "$DISPLAY $QV_XVFB_PID" && wait "$QV_XVFB_PID"')
        self.xvfb = subprocess.Popen(["bash", "-c", script, "qv", self.repo, self.screen],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        started = self.xvfb.stdout.readline().split()
        if len(started) != 2:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = started[0].decode()
        self.xvfb_pid = int(started[1])

    def _end_wine(self):
        for how in ("-k", "-w"):
            subprocess.run(["wineserver", how], env=self.env, stderr=subprocess.DEVNULL)

    def __exit__(self, *exc):
        if self.probe:
            self.probe.close()
        if self.env:
            self._end_wine()
        if self.xvfb:
            with contextlib.suppress(ProcessLookupError, TypeError):  # gone, or never reported
                os.kill(self.xvfb_pid, signal.SIGTERM)
            try:
                self.xvfb.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
            self.xvfb.stdout.close()

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True,
                       stdout=subprocess.DEVNULL)

    def screenshot(self):
        return Screenshot(self)

    def save_screenshot(self, name):
        safe = re.sub(r"[^A-Za-z0-9_.-]+", "_", name)
        path = os.path.join(self.artifacts, safe + ".png")
        subprocess.run(["import", "-window", "root", path], env=self.env,
                       stderr=subprocess.DEVNULL)
        return path

    def launch(self):
        """A fresh quorvane.exe, its window shown and given the X focus."""
        return App(self)


def _matches(want, got):
    return want(got) if callable(want) else want == got


class App:
    """One quorvane.exe process and the input a user gives it."""

    def __init__(self, session):
        self.s = session
        self.probe = session.probe
        self.proc = subprocess.Popen(["wine", session.exe], env=session.env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.step = "start"
        self.last = {}
        try:
            st = self.wait("window shown", lambda st: st["hwnd"] and st["visible"],
                           timeout=slow(20))
            self.hwnd = st["hwnd"]
            self.xid = st["xid"]
            self.focus_x()
        except BaseException:
            # No App object reaches the caller: end the process here.
            self.proc.kill()
            self.proc.wait()
            raise

    # --- reading ---------------------------------------------------------

    def state(self):
        st = self.probe("state")
        if st.get("hwnd") and st["hwnd"] == getattr(self, "hwnd", st["hwnd"]):
            st.update(zip(FIELDS, st["texts"]))
            st["selections"] = dict(zip(FIELDS, (tuple(s) for s in st["sel"])))
        self.last = st
        return st

    def fail(self, step, expected, read=None):
        read = self.last if read is None else read
        shot = self.s.save_screenshot("%s--%s" % (self.s.scenario, step))
        raise Failure("step %r: expected %s; read %s (screenshot %s)"
                      % (step, expected, _describe(read), shot))

    def wait(self, step, predicate, timeout=None, expected=None):
        """Polls until predicate(state) holds; Failure on timeout."""
        self.step = step

        def holds(st):
            try:
                return predicate(st)
            except (KeyError, TypeError, IndexError):
                return False
        ok, st = poll(self.state, holds, timeout)
        if not ok:
            self.fail(step, expected or getattr(predicate, "__doc__", None) or "condition")
        return st

    def until_none(self, step, expected, problems, timeout=None):
        """Polls until problems() finds none (the window may not have been
        painted yet, the caret may blink); Failure naming the last ones."""
        self.step = step
        ok, found = poll(problems, lambda found: not found, timeout)
        if not ok:
            self.fail(step, expected, {"problems": found})

    def expect(self, step, timeout=None, settled=False, **want):
        """Waits until every named part of the state equals (or satisfies) want.

        Names: the four fields' texts (binary=...), focus, foreground, active,
        iconic, visible, box (None for no box), sel_<field> (start, end), and
        any other key of the probe's state answer. settled: the fields and the
        focus must also read the same twice in a row, since one reading can
        catch a key release half handled (a field read before its rewrite,
        the next one after)."""
        previous = []

        def check(st):
            now = [st.get(key) for key in FIELDS + ("focus",)]
            agreed = previous == [now]
            previous[:] = [now]
            for key, value in want.items():
                if key.startswith("sel_"):
                    got = st["selections"][key[4:]]
                    value = tuple(value) if not callable(value) else value
                else:
                    got = st[key]
                if not _matches(value, got):
                    return False
            return agreed or not settled
        shown = ", ".join("%s=%r" % (k, v) for k, v in want.items())
        return self.wait(step, check, timeout, expected=shown)

    def shows(self, step, source, text, value=None, focus=None):
        """Waits until source holds text and the other three fields show
        value (default: text's value) as a conversion writes it."""
        def check(st):
            return (st[source] == text and (focus is None or st["focus"] == focus)
                    and conversion_problem(st, source, value) is None)
        shown = "%s=%r%s, the others showing %s" % (
            source, text, ", focus=%s" % focus if focus else "",
            value_of(source, text) if value is None else value)
        return self.wait(step, check, expected=shown)

    def steady(self, step, duration=0.3, **want):
        """Like expect, once settled, and the state must then hold for
        duration seconds."""
        st = self.expect(step, settled=True, **want)
        changed, now = poll(self.state, lambda now: any(now.get(k) != st.get(k)
                                                        for k in FIELDS + ("focus",)), duration)
        if changed:
            self.fail(step + " (steady)", "no further change after %r" % _describe(st), now)
        return st

    # --- geometry ----------------------------------------------------------

    def client_origin(self):
        """Screen position of client (0, 0): inside the one-pixel border."""
        left, top = self.state()["rect"][:2]
        return left + 1, top + 1

    def to_screen(self, x, y):
        """Client coordinates at 96 DPI, scaled to the session's display."""
        ox, oy = self.client_origin()
        return ox + self.s.scale(x), oy + self.s.scale(y)

    # --- input -------------------------------------------------------------
    # X processes XTEST events in order, so input needs no --sync; and
    # "mousemove --sync" to where the pointer already is waits for a motion
    # that never comes.

    def focus_x(self, xid=None, timeout=None):
        """Gives the X keyboard focus to a window (no window manager does).

        A window that wine has shown may not be mapped on the X side yet, and
        focusing an unmapped window fails: retry until X reports the focus."""
        xid = str(xid or self.xid)

        def focus():
            subprocess.run(["xdotool", "windowfocus", xid], env=self.s.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return subprocess.run(["xdotool", "getwindowfocus"], env=self.s.env,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode()
        ok, got = poll(focus, lambda got: got.strip() == xid, timeout)
        if not ok:
            self.fail(self.step, "X focus on window %s" % xid, {"x_focus": got})

    def key(self, *keys):
        self.s.xdotool("key", *keys)

    def keydown(self, key):
        self.s.xdotool("keydown", key)

    def keyup(self, key):
        self.s.xdotool("keyup", key)

    def type(self, text):
        self.s.xdotool("type", "--delay", "15", text)

    def click(self, x, y, button=1, repeat=1):
        """Clicks at client coordinates."""
        sx, sy = self.to_screen(x, y)
        self.click_screen(sx, sy, button, repeat)

    def click_screen(self, sx, sy, button=1, repeat=1):
        self.s.xdotool("mousemove", sx, sy)
        self.s.xdotool("click", "--repeat", repeat, button)

    def drag_screen(self, start, end, steps=5):
        self.s.xdotool("mousemove", *start)
        self.s.xdotool("mousedown", 1)
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i // steps
            y = start[1] + (end[1] - start[1]) * i // steps
            self.s.xdotool("mousemove", x, y)
            time.sleep(0.02)
        self.s.xdotool("mouseup", 1)

    def click_field(self, field, x=20, button=1, repeat=1):
        """Clicks inside a field on its text line, x from its left edge at
        96 DPI, scaled as the field is, where the field is now."""
        left, top = self.state()["field_rects"][FIELDS.index(field)][:2]
        ox, oy = self.client_origin()
        self.click_screen(ox + left + self.s.scale(x), oy + top + self.s.scale(8), button, repeat)

    def char_position(self, field, index):
        """Screen position of a character's top-left corner in a field."""
        answer = self.probe("charpos", FIELD_IDS[field], index)
        if not answer["ok"]:
            raise RuntimeError("no position for character %d of %s" % (index, field))
        return answer["x"], answer["y"]

    # No window manager runs, so switching windows is done as one would:
    # the X keyboard focus (the window manager's part) and a click on a spot
    # of the window that does nothing else (activation, the user's part).
    def activate_main(self):
        self.focus_x()
        self.click(*NEUTRAL_SPOT)
        return self.expect("activate main window", foreground="main", active="main")

    def activate_other(self):
        other = self.probe("other")
        self.focus_x(other["xid"])
        self.click_screen(100, 90)  # inside the probe's window at (20, 20), 200 x 100
        return self.expect("activate another window", foreground="other")

    def focus_field(self, field):
        """Puts the focus into a field by clicking it; waits until it has it."""
        self.click_field(field)
        self.expect("focus %s" % field, focus=field)

    # --- the warning box ---------------------------------------------------

    def expect_warning(self, step):
        st = self.wait(step, lambda st: st["box"] is not None,
                       expected="the overflow warning box")
        box = st["box"]
        if box["caption_w"] != WARNING_CAPTION or box["text_w"] != WARNING_TEXT:
            self.fail(step, "caption %r and text %r (UTF-16)" % (WARNING_CAPTION, WARNING_TEXT), box)
        caption, text = WARNING_CAPTION.encode("gbk"), WARNING_TEXT.encode("gbk")
        if self.s.codepage == 936 and (as_bytes(box["caption"]) != caption or
                                       box["text"] is None or as_bytes(box["text"]) != text):
            self.fail(step, "caption %r and text %r (code page 936)" % (caption, text), box)
        return box

    def dismiss_warning(self, step, how="enter"):
        box = self.expect_warning(step)
        if how == "enter":
            self.key("Return")
        else:
            left, top, right, bottom = box["ok"]
            self.click_screen((left + right) // 2, (top + bottom) // 2)
        self.expect(step + ": box gone", box=None)

    # --- ending --------------------------------------------------------------

    def exits(self, step="exit code"):
        """Waits for the process to end, with exit code 0."""
        try:
            code = self.proc.wait(timeout=slow(5))
        except subprocess.TimeoutExpired:
            self.fail(step, "the process to end within %.0f s" % slow(5), {"running": True})
        if code != 0:
            self.fail(step, "exit code 0", {"exit": code})

    def close(self):
        """Ends the program if it still runs (WM_CLOSE, then kill)."""
        if self.proc.poll() is None:
            if self.probe("find")["hwnd"] == self.hwnd:
                self.probe("close")
            try:
                # A failed scenario may leave a modal box up; no need to wait long.
                self.proc.wait(timeout=slow(2))
            except subprocess.TimeoutExpired:
                self.proc.send_signal(signal.SIGKILL)
                self.proc.wait()
        # Until the window is gone a new run could find it instead of its own.
        poll(lambda: self.probe("find")["hwnd"], lambda hwnd: hwnd != self.hwnd)


def _describe(st):
    if not isinstance(st, dict):
        return repr(st)
    keys = ("texts", "focus", "active", "foreground", "sel", "iconic", "visible", "rect", "box")
    if "texts" not in st:
        return json.dumps(st, ensure_ascii=False)
    shown = {k: st.get(k) for k in keys if k in st}
    if shown.get("box"):
        box = dict(shown["box"])
        for k in ("caption", "text"):
            if box.get(k) is not None:
                box[k] = as_bytes(box[k]).decode("gbk", "replace")
        shown["box"] = box
    return json.dumps(shown, ensure_ascii=False)


# --- running scenarios -------------------------------------------------------

class Registry:
    """Scenarios by group, and the variants that run them again elsewhere.

    A group runs in one session; each scenario gets a fresh program, except
    the rows of a parameter table: a scenario function with a table
    attribute, (key, reset), shares a program with the rows of the same key
    next to it, reset(app) setting it back between them, and after a failed
    row the next one starts a fresh program.

    A variant is a group whose session has other options (a
    display scale, a code page, a theme): it runs its own scenarios, then
    the groups and GROUP.SCENARIOs it re-runs, looked up when it runs. So a
    scenario added to a group runs in every variant that re-runs the group,
    wherever it stands, unless it names the variant in not_in. A variant
    that re-runs several whole groups names their scenarios GROUP.NAME, to
    keep them apart; otherwise a scenario keeps its own name."""

    def __init__(self, variants):
        self.groups = {}           # group -> [(name, fn, not_in, when)]
        self.variants = variants   # group -> (Session options, what it re-runs)

    def scenario(self, group, name=None, not_in=(), when=None):
        """Registers fn in group; when: a test of the runtime (wine10)
        without which it does not run."""
        def register(fn):
            self.groups.setdefault(group, []).append((name or fn.__name__, fn, not_in, when))
            return fn
        return register

    def names(self):
        return list(dict.fromkeys(list(self.groups) + list(self.variants)))

    def scenarios(self, group):
        """(name, fn) of what a group runs, in order."""
        reruns = self.variants.get(group, ({}, ()))[1]
        whole = sum(1 for r in reruns if "." not in r)
        found = [(n, fn) for n, fn, _, when in self.groups.get(group, []) if not when or when()]
        for rerun in reruns:
            source, _, only = rerun.partition(".")
            if only and all(n != only for n, *_ in self.groups[source]):
                raise KeyError("%s re-runs %s, which no group has" % (group, rerun))
            found += [("%s.%s" % (source, n) if whole > 1 else n, fn)
                      for n, fn, not_in, when in self.groups[source]
                      if only in ("", n) and group not in not_in and (not when or when())]
        names = [n for n, _ in found]
        if len(set(names)) != len(names):
            raise KeyError("%s holds two scenarios of one name" % group)
        return found

    def run(self, group, only=None):
        """Runs a group in one session; prints one line per scenario."""
        scenarios = [(n, f) for n, f in self.scenarios(group) if not only or re.search(only, n)]
        failed = []
        started = time.monotonic()
        launches = 0
        with Session(name=group, **self.variants.get(group, ({},))[0]) as session:
            # Screenshots of an earlier run of this group would mislead.
            for old in os.listdir(session.artifacts):
                if old.startswith(group + "."):
                    os.remove(os.path.join(session.artifacts, old))
            app, table = None, None
            for name, fn in scenarios:
                session.scenario = "%s.%s" % (group, name)
                t0 = time.monotonic()
                row = getattr(fn, "table", None)
                status = "ERROR"
                try:
                    if app and (row is None or row[0] is not table):
                        app.close()
                        app = None
                    if app:
                        row[1](app)
                    else:
                        app = session.launch()
                        launches += 1
                    table = row and row[0]
                    fn(app)
                    status = "PASS"
                except Failure as e:
                    status = "FAIL"
                    failed.append(name)
                    print("FAIL %s: %s" % (session.scenario, e), flush=True)
                except Exception as e:  # harness trouble: still name the scenario
                    failed.append(name)
                    step = app.step if app else "start"
                    print("ERROR %s at step %r: %r" % (session.scenario, step, e), flush=True)
                finally:
                    if app and (status != "PASS" or row is None or app.proc.poll() is not None):
                        app.close()
                        app = None
                print("%s %s (%.1f s)" % (status, session.scenario, time.monotonic() - t0),
                      flush=True)
            if app:
                app.close()
        print("%s: %d scenarios, %d programs, %d failed, %.1f s"
              % (group, len(scenarios), launches, len(failed), time.monotonic() - started))
        return not failed

    def main(self, args):
        """GROUP [NAME-REGEX]: runs it; --list [GROUP]: the groups and their
        scenarios; --groups: the groups' names alone."""
        if args[:1] == ["--groups"]:
            print("\n".join(self.names()))
        elif args[:1] == ["--list"]:
            for group in args[1:] or self.names():
                print(group)
                print("".join("    %s\n" % n for n, _ in self.scenarios(group)), end="")
        elif args and args[0] in self.names():
            return 0 if self.run(args[0], args[1] if len(args) > 1 else None) else 1
        else:
            print("usage: scenarios.py GROUP [NAME-REGEX] | --list [GROUP] | --groups\n"
                  "groups: %s" % " ".join(self.names()))
            return 2
        return 0
