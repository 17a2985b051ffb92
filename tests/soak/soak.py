"""Soak test: thousands of random real key presses into one running program.

Keys go in through xdotool (press and release) into whichever field has the
focus: digits of every base, hexadecimal and other letters, Tab, Shift+Tab,
Esc, Backspace, Delete, arrows, Home/End and now and then Shift+Insert with a
random clipboard. After every key the program must still run and answer,
and once it has settled the three other fields must show the focused
field's value in their own bases. When the overflow warning comes up it must
carry its text and caption; it is dismissed and the fields checked again.

    python3 tests/soak/soak.py --keys 2000 [--seed N]

Needs the environment the end-to-end harness reads (QV_EXE, QV_PROBE,
QV_PREFIX, QV_ARTIFACTS, QV_REPO); scripts/soak.sh sets it.
"""

import argparse
import os
import random
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

FIELDS = harness.FIELDS
RADIX = {"binary": 2, "octal": 8, "decimal": 10, "hexadecimal": 16}
ALPHABET = {
    "binary": b"01",
    "octal": b"01234567",
    "decimal": b"0123456789",
    "hexadecimal": b"0123456789abcdefABCDEF",
}
LIMIT = {"binary": 32, "octal": 11, "decimal": 10, "hexadecimal": 8}

# xdotool key names and their weights. Digits dominate so that fields fill up
# to their limits and the overflow warning comes up regularly.
KEYS = ([(str(d), 8) for d in range(10)]
        + [(c, 2) for c in "abcdef"] + [(c, 1) for c in "ABCDEFgxz"]
        + [("Tab", 4), ("shift+Tab", 1), ("Escape", 1), ("BackSpace", 3), ("Delete", 1),
           ("Left", 2), ("Right", 1), ("Home", 1), ("End", 2), ("space", 1), ("minus", 1),
           ("ctrl+z", 1), ("ctrl+v", 1), ("shift+Insert", 2)])


def value_of(field, text):
    return int(text, RADIX[field]) & 0xFFFFFFFF if text else 0


def canonical(field, value):
    return {"binary": format(value, "b"), "octal": format(value, "o"),
            "decimal": str(value), "hexadecimal": format(value, "X")}[field]


def fits(field, text):
    if field == "octal":
        return not (len(text) == 11 and text[:1] > b"3")
    if field == "decimal":
        return not (len(text) == 10 and text > b"4294967295")
    return True


def problem(st):
    """What is wrong with a settled state, or None."""
    focus = st.get("focus")
    if focus not in FIELDS:
        return "focus is %r, not in a field" % focus
    texts = {f: harness.as_bytes(st[f]) for f in FIELDS}
    for f in FIELDS:
        if len(texts[f]) > LIMIT[f]:
            return "%s holds %d bytes, above its limit" % (f, len(texts[f]))
    source = texts[focus]
    if any(b not in ALPHABET[focus] for b in source):
        return "focused %s holds %r" % (focus, source)
    if not fits(focus, source):
        return "focused %s holds %r, above 32 bits" % (focus, source)
    value = value_of(focus, source.decode())
    for f in FIELDS:
        if f != focus and texts[f] != canonical(f, value).encode():
            return "%s shows %r, not %s's value %d" % (f, texts[f], focus, value)
    return None


def random_clip(rng):
    kind = rng.randrange(4)
    if kind == 0:
        return str(rng.randrange(0, 1 << 32))
    if kind == 1:
        return "0x%x" % rng.randrange(0, 1 << 32)
    if kind == 2:
        return "".join(rng.choice("0123456789abcdefxyz -_") for _ in range(rng.randrange(1, 14)))
    return str(rng.randrange(1 << 32, 10 ** 11))


def soak(app, keys, rng, log):
    names = [k for k, w in KEYS for _ in range(w)]
    settle = []
    warnings = 0
    started = time.monotonic()
    for i in range(keys):
        key = rng.choice(names)
        if key == "shift+Insert":
            app.probe.set_clipboard(random_clip(rng))
        app.step = "key %d (%s)" % (i, key)
        t0 = time.monotonic()
        app.key(key)
        # Settled: the warning is up, or the fields agree and stay so for a
        # moment (a key whose release has not been handled yet may still
        # change them).
        deadline = t0 + 10 * harness.SLOWDOWN
        while True:
            if app.proc.poll() is not None:
                app.fail(app.step, "the program to keep running",
                         {"exit_code": app.proc.returncode})
            st = app.state()
            if not st.get("hwnd"):
                app.fail(app.step, "the main window to exist", st)
            if st.get("box"):
                warnings += 1
                focus_before = st.get("focus")
                app.dismiss_warning(app.step + ": warning")
                st = app.wait(app.step + ": settled after the warning",
                              lambda s: problem(s) is None and not s.get("box"),
                              expected="consistent fields after dismissing the warning")
                if st["focus"] not in ("octal", "decimal"):
                    app.fail(app.step, "focus back in octal or decimal after the warning", st)
                log.write("%d %s: warning (focus was %s) -> %s\n"
                          % (i, key, focus_before, [st[f] for f in FIELDS]))
                break
            if problem(st) is None:
                time.sleep(0.03)
                again = app.state()
                if again.get("box"):
                    continue
                if problem(again) is None and all(again[f] == st[f] for f in FIELDS):
                    break
            if time.monotonic() > deadline:
                app.fail(app.step, "consistent fields: %s" % problem(st), st)
            time.sleep(0.01)
        settle.append(time.monotonic() - t0)
        if (i + 1) % 100 == 0:
            print("  %d keys, %d warnings, %.0f s; now %s" % (
                i + 1, warnings, time.monotonic() - started,
                " ".join("%s=%s" % (f[:3], st[f] or '""') for f in FIELDS)), flush=True)
    return settle, warnings


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--keys", type=int, default=200)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    print("soak: %d keys, seed %d" % (args.keys, seed), flush=True)
    started = time.monotonic()
    with harness.Session.from_env() as session:
        session.scenario = "soak"
        app = session.launch()
        log_path = os.path.join(session.artifacts, "soak-%d.log" % seed)
        try:
            with open(log_path, "w") as log:
                settle, warnings = soak(app, args.keys, rng, log)
            app.probe("close")
            code = app.exit_code()
            if code != 0:
                app.fail("close", "exit code 0", {"exit_code": code})
        except harness.Failure as e:
            print("FAIL soak (seed %d): %s" % (seed, e), flush=True)
            return 1
        finally:
            app.close()
    settle.sort()
    print("soak: %d keys, %d overflow warnings, 0 failures, %.1f s; per key until settled: "
          "median %.0f ms, max %.0f ms (seed %d, log %s)"
          % (len(settle), warnings, time.monotonic() - started,
             1000 * statistics.median(settle), 1000 * settle[-1], seed, log_path))
    return 0


if __name__ == "__main__":
    sys.exit(main())
