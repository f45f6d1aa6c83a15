#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""screen_reader_access.py BIN_DIR: Brisko as a screen reader sees it.

Runs BIN_DIR/brisko on the AT-SPI bus of the D-Bus session it is started in, on an
emulated machine and home folder of its own, against a local brisko-testserver; opens
every window its menus and buttons open (the data test run once, a web test, the
restart prompts of a boost and a restore) and checks in each one that every control
the keyboard can reach has a name, that pictures and progress bars have one, that every
menu entry and button with a caption has a mnemonic, and that no two in a menu or
window share one. Prints what it saw. Exits 77 (skipped) without an AT-SPI bus.
"""
import ctypes
import importlib.util
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

if importlib.util.find_spec("pyatspi") is None:
    print("SKIPPED: no pyatspi (python3-pyatspi)")
    sys.exit(77)
# Without its bus pyatspi aborts the program that imports it: ask in a child first.
probe = subprocess.run([sys.executable, "-c", "import pyatspi; pyatspi.Registry.getDesktop(0).childCount"],
                       capture_output=True, text=True, timeout=120)
if probe.returncode != 0:
    print("SKIPPED: no AT-SPI bus: " + (probe.stderr.strip().splitlines() or ["?"])[-1])
    sys.exit(77)
import pyatspi  # noqa: E402

BIN = os.path.realpath(sys.argv[1])
# A busy machine starts a web engine slowly; nothing here waits this long when all is well.
TIMEOUT = 180
failures = []


def fail(text):
    print("FAILED: " + text)
    failures.append(text)


def wait_for(what, find, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            found = find()
        except Exception:  # a window going away under us: look again
            found = None
        if found:
            return found
        if brisko and brisko.poll() is not None:
            raise SystemExit("FAILED: brisko ended (status %d) while waiting for %s" % (brisko.returncode, what))
        time.sleep(0.2)
    raise SystemExit("FAILED: no %s within %d seconds" % (what, timeout))


def children(obj):
    try:
        return [c for c in (obj.getChildAtIndex(i) for i in range(obj.childCount)) if c is not None]
    except Exception:
        return []


def descendants(obj):
    for child in children(obj):
        yield child
        yield from descendants(child)


def find(root, role, name):
    return next((d for d in descendants(root) if d.getRole() == role and d.name == name), None)


def key_binding(obj):
    """The key bindings of what the control does when used (pressed, toggled, opened), joined;
    None when it has no such action (a disabled button)."""
    try:
        action = obj.queryAction()
    except NotImplementedError:
        return None
    used = [action.getKeyBinding(i) for i in range(action.nActions)
            if action.getName(i) in ("Press", "Toggle", "ShowMenu")]
    return ";".join(used) if used else None


def press(obj):
    action = obj.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in names:
        raise SystemExit("FAILED: %s %r cannot be pressed" % (obj.getRoleName(), obj.name))
    action.doAction(names.index("Press"))


def mnemonic(binding):
    """The letter of an Alt+letter binding ("Alt+X", "<Alt>x"), or None."""
    m = re.search(r"(?:^|;)\s*(?:Alt\+|<Alt>)(\w)\s*(?:;|$)", binding or "", re.IGNORECASE)
    return m.group(1).upper() if m else None


def application():
    return next((a for a in children(pyatspi.Registry.getDesktop(0))
                 if a.get_process_id() == brisko.pid and a.childCount), None)


def top_level(title, roles=(pyatspi.ROLE_FRAME,)):
    return next((w for w in children(app) if w.name == title and w.getRole() in roles
                 and w.getState().contains(pyatspi.STATE_SHOWING)), None)


def message_box():
    return top_level("Brisko", (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT))


def dismiss(what):
    """Presses OK in the message box that comes up; returns its text."""
    box = wait_for("message box (%s)" % what, message_box)
    text = " | ".join(d.name for d in descendants(box) if d.getRole() == pyatspi.ROLE_LABEL and d.name)
    press(wait_for("OK in the message box", lambda: find(box, pyatspi.ROLE_PUSH_BUTTON, "OK")))
    wait_for("message box to close", lambda: message_box() is None)
    print("  message box: " + text)
    return text


BUTTONS = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON)
SHORTCUT = re.compile(r"((Ctrl|Shift|Meta)\+)+\w+|F\d+")
# A web page's own tree is the page's business, not the window's.
WEB = (pyatspi.ROLE_DOCUMENT_WEB, pyatspi.ROLE_DOCUMENT_FRAME)


def check_window(title, window):
    print("%s:" % title)
    keys = {}  # mnemonic letter -> captions, for the window's controls and menu titles

    def visit(obj, depth, in_menu):
        role, name = obj.getRole(), obj.name
        binding = key_binding(obj) if role in BUTTONS + (pyatspi.ROLE_MENU_ITEM,) else None
        focusable = obj.getState().contains(pyatspi.STATE_FOCUSABLE)
        print("%s%s %r%s%s" % ("  " * depth, obj.getRoleName(), name, " [%s]" % binding if binding else "",
                                " (focusable)" if focusable else ""))
        if (focusable or role in (pyatspi.ROLE_IMAGE, pyatspi.ROLE_PROGRESS_BAR)) and not name.strip():
            fail("%s: a %s%s without a name" % (title, "focusable " if focusable else "", obj.getRoleName()))
        # A disabled button has no binding to read; of an entry with a shortcut AT-SPI
        # tells only that (the widget tests check its mnemonic).
        if name and binding is not None and not SHORTCUT.fullmatch(binding):
            letter = mnemonic(binding)
            if not letter:
                fail("%s: %s %r without a mnemonic (%r)" % (title, obj.getRoleName(), name, binding))
            else:
                (in_menu if role == pyatspi.ROLE_MENU_ITEM else keys).setdefault(letter, []).append(name)
        if role in WEB or depth > 40:
            return
        for child in children(obj):
            if role == pyatspi.ROLE_MENU_BAR:
                visit(child, depth + 1, keys)  # menu titles share the window's Alt keys
            elif child.getRole() in (pyatspi.ROLE_POPUP_MENU, pyatspi.ROLE_MENU):
                items = {}
                visit(child, depth + 1, items)
                report_clashes(title, "menu %r" % name, items)
            else:
                visit(child, depth + 1, in_menu)

    visit(window, 1, {})
    report_clashes(title, "window", keys)


def report_clashes(title, where, letters):
    for letter, names in letters.items():
        if len(names) > 1:
            fail("%s: %s has Alt+%s for each of %s" % (title, where, letter, names))


def open_from_menu(window, menu, entry, title):
    """Opens a window from a menu of `window`; a message box that comes first is told and
    dismissed."""
    bar = wait_for("menu bar", lambda: find(window, pyatspi.ROLE_MENU_BAR, ""))
    item = wait_for("menu %r" % menu, lambda: find(bar, pyatspi.ROLE_MENU_ITEM, menu))
    press(wait_for("entry %r" % entry, lambda: find(item, pyatspi.ROLE_MENU_ITEM, entry)))
    while True:
        opened = wait_for("window %r" % title, lambda: message_box() or top_level(title))
        if opened.getRole() == pyatspi.ROLE_FRAME:
            return opened
        dismiss("before the window %r" % title)


def enabled(obj):
    return obj and obj.getState().contains(pyatspi.STATE_ENABLED) and obj


def run_a_boost(button, title):
    """Presses a boost button of the main window and checks its restart prompt, then "Later"."""
    target = wait_for("%r enabled" % button, lambda: enabled(find(main, pyatspi.ROLE_PUSH_BUTTON, button)))
    press(target)
    prompt = wait_for("restart prompt after %r" % button, lambda: message_box() or top_level(title))
    if prompt.getRole() != pyatspi.ROLE_FRAME:
        fail("%r ended in a message box: %s" % (button, dismiss(button)))
        return
    check_window("%s (after %s)" % (title, button), prompt)
    press(find(prompt, pyatspi.ROLE_PUSH_BUTTON, "Restart PC Later"))
    wait_for("restart prompt to close", lambda: top_level(title) is None)


work = tempfile.mkdtemp(prefix="brisko-a11y-")
env = dict(os.environ, HOME=work + "/home", XDG_RUNTIME_DIR=work + "/runtime", BRISKO_SYSTEM_ROOT=work + "/system",
           LANG="C.UTF-8", QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
env.pop("XDG_DATA_HOME", None)
env.pop("XDG_CONFIG_HOME", None)
os.makedirs(env["HOME"])
os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)

def end_with_us():
    """A child that ends when this script does, killed by a time limit too (Linux)."""
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


server = subprocess.Popen([BIN + "/brisko-testserver", "--port", "0", "--quiet"], stdout=subprocess.PIPE, text=True,
                          preexec_fn=end_with_us)
brisko = None
try:
    line = server.stdout.readline()
    port = re.search(r":(\d+)$", line.strip())
    if not port:
        raise SystemExit("FAILED: brisko-testserver said %r" % line)
    env["BRISKO_TEST_SERVER"] = "127.0.0.1:" + port.group(1)
    # Results to chart in the History window, of a data test and a network quality run.
    for command in (["data-test"], ["quality", "--duration", "1"]):
        subprocess.run([BIN + "/brisko-cli"] + command, env=env, cwd=BIN, check=True, stdout=subprocess.DEVNULL,
                       timeout=TIMEOUT)

    brisko = subprocess.Popen(["./brisko"], cwd=BIN, env=env, preexec_fn=end_with_us)
    app = wait_for("Brisko on the AT-SPI bus", application)
    main = wait_for("main window", lambda: top_level("Brisko"))
    check_window("Brisko", main)

    for menu, entry, title in (("Help", "Quick Help", "Help"), ("Help", "Top Tip", "Top Tip"),
                               ("About", "About Brisko", "About"),
                               ("Data Speed Tests", "Results History", "Results History"),
                               ("Data Speed Tests", "Network Quality", "Network Quality")):
        check_window(title, open_from_menu(main, menu, entry, title))

    data = open_from_menu(main, "Data Speed Tests", "Data Speed Tests", "Data Speed Tests")
    check_window("Data Speed Tests", data)
    press(wait_for("the data test's start button", lambda: find(data, pyatspi.ROLE_PUSH_BUTTON, "Test Data Speed")))
    dismiss("the data test's end")
    check_window("Data Speed Tests (with results)", data)

    press(find(main, pyatspi.ROLE_PUSH_BUTTON, "Internet Explorer Users"))
    dismiss("before the web test")
    ie = wait_for("web test window", lambda: top_level("Internet Explorer Browser"))
    check_window("Internet Explorer Browser", ie)
    check_window("Firefox Browser", open_from_menu(ie, "FireFox Users", "FireFox Speed Test", "Firefox Browser"))
    wait_for("the boost unlocked", lambda: enabled(find(main, pyatspi.ROLE_PUSH_BUTTON, "Apply Brisko Boost")))
    check_window("Brisko (the boost unlocked)", main)

    run_a_boost("Apply Brisko Boost", "Restart")
    run_a_boost("Original Windows Settings", "Restart")

    exit_item = find(find(main, pyatspi.ROLE_MENU_ITEM, "Main"), pyatspi.ROLE_MENU_ITEM, "Exit")
    try:
        press(exit_item)
    except Exception:
        pass  # the program may end before it answers
    try:
        status = brisko.wait(TIMEOUT)
    except subprocess.TimeoutExpired:
        status = None
    if status != 0:
        fail("Exit ended brisko with status %s" % status)
finally:
    for process in (brisko, server):
        if process and process.poll() is None:
            process.kill()
            process.wait()
    subprocess.run(["rm", "-rf", work])

if failures:
    print("%d fault(s)" % len(failures))
    sys.exit(1)
print("every control has a name and every caption a key")
