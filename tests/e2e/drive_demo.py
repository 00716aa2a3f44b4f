#!/usr/bin/python3
"""Drives the TALVO-4 demo from outside, as a screen reader does: it finds
windows and controls on the accessibility bus by role and name, presses
buttons through their actions, types keys through the registry's synthesised
key events, reads texts and states, and checks the command reports the
simulated device received (the demo prints each one as a line of hex). Where
focus decides what a key does, it clicks and types as a person does (xdotool)
and reads the X clipboard back (xclip).

run.sh provides the X server and the session bus. Every wait is bounded; the
first thing that does not happen ends the run with its name."""

import os
import subprocess
import sys
import threading
import time

import pyatspi
from gi.repository import GLib

WAIT = 10.0  # seconds any one thing may take to happen
SETTLE = 0.5  # seconds to see that nothing more arrives

# Key codes of the X server's standard (evdev) keyboard.
KEYS = {"Up": 111, "Left": 113, "Right": 114, "Down": 116, "Return": 36,
        "KP_Enter": 104, "Tab": 23, "space": 65, "Control_L": 37, "t": 28, "r": 27}

MAIN_TITLE = "TALVO-4 映像信号調整TOOL Ver 0.80"
REMOTE_TITLE = "TALVO-4\u3000リモコン"
CAPTURE_TITLE = "TALVO-4 Capture Tool"
TIMING_TITLE = "入出力映像信号調整"
OPEN_TITLE = "ファイルを開く"

# The biggest ROM image the tool writes, and the most text changes its status
# box may send over the accessibility bus while writing it: a screen reader
# would otherwise hear two for each of its 131072 data reports.
ROM_BYTES = 1048576
MOST_ROM_TEXT_CHANGES = 400


# Faults this test finds that are still open, each under the name of its
# check. A known fault that no longer shows fails the run too, so that its
# entry goes and its check guards from then on.
KNOWN_FAULTS = set()


class Failure(Exception):
    pass


class Demo:
    """The demo process and the reports it prints."""

    def __init__(self, path):
        # At the link's real pace a capture alone would take 14 s.
        self.process = subprocess.Popen([path, "--simulate-speed", "instant"],
                                        stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
        self._reports = []
        self._lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            report = bytes.fromhex(line.strip())
            with self._lock:
                self._reports.append(report)

    def reports(self):
        with self._lock:
            return list(self._reports)

    def stop(self):
        self.process.kill()
        self.process.wait(5)


def wait_for(find, what, timeout=WAIT):
    """What find() returns once it is something; Failure after the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            found = find()
        except Exception:  # objects come and go while windows open and close
            found = None
        if found:
            return found
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.05)


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        raise Failure(what)


def check_known(name, condition, what):
    """check(), for a check that may still find a fault listed in KNOWN_FAULTS."""
    if name not in KNOWN_FAULTS:
        return check(condition, what)
    if condition:
        raise Failure("%s: now passes, so take %r out of KNOWN_FAULTS" % (what, name))
    print("KNOWN " + what, flush=True)


def has(obj, state):
    return obj.getState().contains(state)


def window(app, title):
    return wait_for(lambda: next(w for w in app if w is not None and w.name == title
                                 and has(w, pyatspi.STATE_SHOWING)), "window " + title)


def control(root, role, name):
    return wait_for(lambda: pyatspi.findDescendant(
        root, lambda o: o is not None and o.getRoleName() == role and o.name == name),
        "%s %r" % (role, name))


def text_of(obj):
    text = obj.queryText()
    return text.getText(0, text.characterCount)


def press(button):
    """Presses a button through its action; False when the call got no answer."""
    action = button.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            try:
                action.doAction(i)
                return True
            except GLib.GError:  # the application did not answer in time
                return False
    raise Failure("no press action on " + button.name)


def key(name, kind=pyatspi.KEY_PRESSRELEASE):
    pyatspi.Registry.generateKeyboardEvent(KEYS[name], None, kind)


def pump(seconds):
    """Lets the accessibility bus deliver its events for this long."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not context.iteration(False):
            time.sleep(0.01)


def click_at(obj):
    """A real mouse click (X test events) in the middle of obj on the screen."""
    box = obj.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                    str(box.y + box.height // 2), "click", "1"], check=True, timeout=WAIT)


def read_bitmap(path):
    """Width, height and red, green, blue bytes of a top-down 24-bit bitmap."""
    with open(path, "rb") as f:
        data = f.read()
    width = int.from_bytes(data[18:22], "little")
    height = -int.from_bytes(data[22:26], "little", signed=True)
    offset = int.from_bytes(data[10:14], "little")
    stride = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(height):
        bgr = data[offset + y * stride:offset + y * stride + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        pixels += rgb
    return width, height, bytes(pixels)


def decode_png(png):
    """Width, height and red, green, blue bytes of a PNG: through PIL where it
    is installed, else through ImageMagick's convert to a binary PPM."""
    try:
        from PIL import Image
        import io
        image = Image.open(io.BytesIO(png)).convert("RGB")
        return image.width, image.height, image.tobytes()
    except ImportError:
        pass
    ppm = subprocess.run(["convert", "png:-", "-depth", "8", "ppm:-"], input=png,
                         capture_output=True, check=True).stdout
    fields = ppm.split(maxsplit=4)
    if fields[0] != b"P6" or fields[3] != b"255":
        raise Failure("convert did not write a binary PPM")
    return int(fields[1]), int(fields[2]), fields[4]


def clipboard(target):
    """The X clipboard's contents as `target`; None when its owner offers none."""
    done = subprocess.run(["xclip", "-selection", "clipboard", "-t", target, "-o"],
                          capture_output=True, timeout=WAIT)
    return done.stdout if done.returncode == 0 else None


def new_reports(demo, before, count, what):
    """The reports after the first `before`, once `count` have come and no more follow."""
    wait_for(lambda: len(demo.reports()) >= before + count, what)
    time.sleep(SETTLE)
    return demo.reports()[before:]


def key_reports(reports):
    """The key codes of remote-key reports (report ID, command 0x13, code)."""
    return [r[2] for r in reports if len(r) > 2 and r[1] == 0x13]


def main_window_checks(app):
    main = window(app, MAIN_TITLE + " (demo)")
    check(text_of(control(main, "text", "接続状態")) == "ＴＡＬＶＯ－４  Ｃｏｎｎｅｃｔ",
          "the main window shows the device connected")
    for name in ("リモートコントロール", "キャプチャー"):
        check(has(control(main, "push button", name), pyatspi.STATE_ENABLED),
              name + " is enabled")
    check(not has(control(main, "push button", "ombrix cmd\u3000load"), pyatspi.STATE_SHOWING),
          "the ROM write button stays hidden")
    return main


def remote_checks(demo, app, main):
    press(control(main, "push button", "リモートコントロール"))
    remote = window(app, REMOTE_TITLE)
    wait_for(lambda: has(remote, pyatspi.STATE_ACTIVE), "the remote to be active")

    before = len(demo.reports())
    press(control(remote, "push button", "十字キー 中央"))
    check(key_reports(new_reports(demo, before, 1, "the centre's report")) == [0x03],
          "pressing the centre sends key 0x03 once")

    for name, code in (("Up", 0x0C), ("Left", 0x08), ("Right", 0x04), ("Down", 0x10),
                       ("Return", 0x03), ("KP_Enter", 0x03)):
        before = len(demo.reports())
        key(name)
        check(key_reports(new_reports(demo, before, 1, name + "'s report")) == [code],
              "%s sends key 0x%02X once" % (name, code))

    # Held past the keyboard's repeat delay: one report, the button down meanwhile.
    up = control(remote, "push button", "十字キー 上")
    before = len(demo.reports())
    key("Up", pyatspi.KEY_PRESS)
    wait_for(lambda: has(up, pyatspi.STATE_PRESSED), "the up key to show itself pressed")
    time.sleep(1.5)
    check(has(up, pyatspi.STATE_PRESSED), "a held Up keeps its button down")
    key("Up", pyatspi.KEY_RELEASE)
    wait_for(lambda: not has(up, pyatspi.STATE_PRESSED), "the up key to come up")
    held = key_reports(new_reports(demo, before, 1, "the held key's report"))
    check(held == [0x0C], "a held Up sends one report, not a stream (%d)" % len(held))

    # Space presses the focused button, Tab moves the focus on.
    big = control(remote, "push button", "キー 00 (大)")
    big.queryComponent().grabFocus()
    wait_for(lambda: has(big, pyatspi.STATE_FOCUSED), "the focus on キー 00 (大)")
    before = len(demo.reports())
    key("space")
    check(key_reports(new_reports(demo, before, 1, "Space's report")) == [0x00],
          "Space presses the focused button (key 0x00)")
    before = len(demo.reports())
    key("Tab")
    wait_for(lambda: not has(big, pyatspi.STATE_FOCUSED), "Tab to move the focus")
    focused = pyatspi.findDescendant(remote, lambda o: o is not None and
                                     o.getRoleName() == "push button" and
                                     has(o, pyatspi.STATE_FOCUSED))
    check(focused is not None, "Tab moved the focus to another key (%s)"
          % (focused.name if focused else None))
    time.sleep(SETTLE)
    check(len(demo.reports()) == before, "Tab sends nothing")


def capture_checks(demo, app, main):
    before = len(demo.reports())
    press(control(main, "push button", "キャプチャー"))
    capture = window(app, CAPTURE_TITLE)
    status = control(capture, "text", "状態")
    save = control(capture, "push button", "BMP保存")
    opened = new_reports(demo, before, 3, "the readiness check")
    check([r[1:3] for r in opened[:2]] == [b"\x17\x80", b"\x13\x17"] and opened[2][1] == 0x14,
          "opening the capture window checks readiness (0x17 0x80, 0x13 0x17, 0x14)")
    check(not has(save, pyatspi.STATE_ENABLED), "BMP保存 is disabled before a capture")

    before = len(demo.reports())
    press(control(capture, "push button", "キャプチャー"))
    wait_for(lambda: has(save, pyatspi.STATE_ENABLED), "the capture to end", timeout=60)
    sent = new_reports(demo, before, 1, "the capture's reports")
    lines = [r for r in sent if r[1] == 0x15]
    check(sent[0][1] == 0x14 and len(lines) == 480 and all(r[2] == 0x1E for r in lines),
          "a capture asks for the size, then 480 lines of 30 reports")
    check(sent[-1][1:3] == b"\x16\x00", "the capture ends with 0x16 0x00")
    shown = text_of(status)
    check("640" in shown and "480" in shown, "the status shows the size: " + shown)

    # The save dialog is modal; pressing the button must not hold the caller.
    pressed, _ = save_dialog_with(app, save, "shot")
    check_known("save-press-returns", pressed,
                "pressing BMP保存 returns while its dialog is open")
    path = os.path.join(os.environ["HOME"], "Documents", "shot.bmp")
    wait_for(lambda: os.path.exists(path) and os.path.getsize(path) == 54 + 640 * 480 * 3,
             "the saved picture " + path)
    with open(path, "rb") as f:
        header = f.read(54)
    check(header[:2] == b"BM" and header[18:26] == bytes.fromhex("80020000 20FEFFFF"),
          "the saved file is a top-down 640 x 480 bitmap")
    clipboard_checks(capture, status, read_bitmap(path))
    overwrite_checks(app, save, path)

    press(control(capture, "push button", "終了"))
    wait_for(lambda: not any(w is not None and w.name == CAPTURE_TITLE for w in app),
             "the capture window to close")
    check(True, "終了 closes the capture window")


def type_file_name(app, title, what, typed):
    """Waits for the file dialog titled `title`, types `typed` into its name
    box and leaves the focus there; the dialog."""
    dialog = wait_for(lambda: next(w for w in app if w is not None and w.name == title
                                   and has(w, pyatspi.STATE_SHOWING)), what)
    name = wait_for(lambda: pyatspi.findDescendant(
        dialog, lambda o: o is not None and o.getRoleName() == "text" and
        has(o, pyatspi.STATE_EDITABLE) and has(o, pyatspi.STATE_SHOWING)), "the file name box")
    name.queryEditableText().setTextContents(typed)
    name.queryComponent().grabFocus()
    wait_for(lambda: has(name, pyatspi.STATE_FOCUSED), "the focus in the file name box")
    return dialog


def save_dialog_with(app, save, typed):
    """Opens the save dialog through BMP保存, types a name and presses Return;
    whether the press returned, and the dialog."""
    pressed = press(save)
    dialog = type_file_name(app, "ファイルを保存", "the save dialog", typed)
    key("Return")
    return pressed, dialog


def overwrite_checks(app, save, path):
    """The name the dialog asks about is the file written: typed without its
    extension, the name of an existing bitmap is asked about before the
    bitmap is replaced, and "No" keeps it."""
    before = os.stat(path).st_mtime_ns
    _, dialog = save_dialog_with(app, save, "shot")
    question = wait_for(lambda: next(w for w in app if w is not None and
                                     w.getRoleName() == "alert" and
                                     has(w, pyatspi.STATE_SHOWING)), "the question to replace")
    asked = " ".join(o.name for o in pyatspi.findAllDescendants(
        question, lambda o: o is not None and o.getRoleName() == "label"))
    check("shot.bmp" in asked, "the dialog asks before replacing shot.bmp (%r)" % asked)
    press(control(question, "push button", "No"))
    press(control(dialog, "push button", "Cancel"))
    wait_for(lambda: not has(dialog, pyatspi.STATE_SHOWING), "the save dialog to close")
    time.sleep(SETTLE)
    documents = os.path.dirname(path)
    check(os.stat(path).st_mtime_ns == before and os.listdir(documents) == ["shot.bmp"],
          "after No, shot.bmp is as it was and nothing else was written")


def clipboard_checks(capture, status, saved):
    """Ctrl+C from the keyboard puts the captured picture on the X clipboard,
    with the status box holding the focus and after a click on the picture."""
    picture = wait_for(lambda: pyatspi.findDescendant(
        capture, lambda o: o is not None and o.name == "キャプチャー画像"), "the picture")
    for focus, box in (("status box", status), ("picture", picture)):
        # xclip serves the text from the background until Qt takes the clipboard.
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=b"nothing copied",
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                       timeout=WAIT)
        wait_for(lambda: clipboard("UTF8_STRING") == b"nothing copied", "xclip to own the clipboard")
        click_at(box)
        wait_for(lambda: has(box, pyatspi.STATE_FOCUSED), "a click to focus the " + focus)
        subprocess.run(["xdotool", "key", "ctrl+c"], check=True, timeout=WAIT)
        try:
            wait_for(lambda: b"image/png" in (clipboard("TARGETS") or b"").split(),
                     "image/png on the clipboard", timeout=3)
        except Failure:
            pass
        targets = (clipboard("TARGETS") or b"").split()
        check(b"image/png" in targets, "Ctrl+C with the focus on the %s offers image/png (%s)"
              % (focus, b" ".join(targets).decode()))
        check(decode_png(clipboard("image/png")) == saved,
              "the clipboard holds the saved picture pixel for pixel (focus on the %s)" % focus)


def activate_main(main):
    """With no window manager every window stands at the top left corner; a
    click into the right of the main window's status text, clear of the
    remote, activates the main window."""
    box = control(main, "text", "接続状態").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width - 20, box.y + box.height // 2, "b1c")
    wait_for(lambda: has(main, pyatspi.STATE_ACTIVE), "the main window to be active")


def rom_write_checks(demo, app, main):
    """A 1 MiB ROM write through the demo's Ctrl+R: the verdict arrives, and
    the status box stays quiet on the accessibility bus while the data goes out."""
    text1 = control(main, "text", "接続状態")
    path = os.path.join(os.environ["HOME"], "rom.bin")
    image = bytes(range(1, 256)) * (ROM_BYTES // 255) + bytes(ROM_BYTES % 255)
    with open(path, "wb") as f:
        f.write(image)
    verdict = "Chack sum=%04X  Write OK" % (sum(image) & 0xFFFF)
    changes = []

    def heard(event):
        if event.source == text1:
            changes.append(event.type)

    pyatspi.Registry.registerEventListener(heard, "object:text-changed")
    # The demo learns of the new listener over the bus.
    pump(SETTLE)
    activate_main(main)
    key("Control_L", pyatspi.KEY_PRESS)
    key("r")
    key("Control_L", pyatspi.KEY_RELEASE)
    type_file_name(app, OPEN_TITLE, "the open dialog", path)
    before = len(demo.reports())
    started = time.monotonic()
    key("Return")
    deadline = started + 60
    while "Chack sum" not in text_of(text1) and "Write error" not in text_of(text1):
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for the ROM write's verdict")
        pump(0.1)
    took = time.monotonic() - started
    pump(SETTLE)
    sent = len(demo.reports()) - before
    check(text_of(text1).startswith(verdict), "the ROM write ends with its verdict: "
          + text_of(text1))
    check(sent > ROM_BYTES // 8, "the 1 MiB write sent its %d data reports (%d reports)"
          % (ROM_BYTES // 8, sent))
    pyatspi.Registry.deregisterEventListener(heard, "object:text-changed")
    # A listener that heard nothing at all would prove nothing.
    check(2 <= len(changes) <= MOST_ROM_TEXT_CHANGES,
          "the status box sent %d text changes over the accessibility bus during the "
          "1 MiB write (%.1f s), at most %d" % (len(changes), took, MOST_ROM_TEXT_CHANGES))


def timing_checks(demo, app, main):
    # The demo's shortcut: the main window must have the keyboard first.
    activate_main(main)
    before = len(demo.reports())
    key("Control_L", pyatspi.KEY_PRESS)
    key("t")
    key("Control_L", pyatspi.KEY_RELEASE)
    timing = window(app, TIMING_TITLE)
    sent = new_reports(demo, before, 2, "the timing window's read-back")
    check(sent[0][1] == 0x0F, "the timing window enters timing mode first")
    check(any(r[1] == 0x10 for r in sent), "the timing window reads the timing block")
    bars = wait_for(lambda: pyatspi.findAllDescendants(
        timing, lambda o: o is not None and o.getRoleName() == "scroll bar" and o.name),
        "the timing scroll bars")
    check(len(bars) == 14, "the timing window shows fourteen parameters (%d)" % len(bars))
    bar = bars[0]
    value = int(bar.queryValue().currentValue)
    beside = control(timing, "text", bar.name + " の値")
    shown = text_of(beside)
    check(str(value) in shown, "%s shows its value %d beside it (%r)" % (bar.name, value, shown))

    # Moved as a screen reader moves it: the new value goes to the device.
    before = len(demo.reports())
    bar.queryValue().currentValue = value + 1
    wait_for(lambda: str(value + 1) in text_of(beside), "the new value beside " + bar.name)
    sent = new_reports(demo, before, 1, "the timing write")
    check(any(r[1] == 0x11 for r in sent) and sent[-1][1] == 0x12,
          "moving %s writes its group and closes with 0x12" % bar.name)


def main():
    started = time.monotonic()
    # The accessibility bus and its registry start on the first question; an
    # application started before they run would never show up on them.
    wait_for(lambda: pyatspi.Registry.getDesktop(0) is not None, "the accessibility registry")
    pyatspi.Registry.getDesktop(0).childCount
    demo = Demo(sys.argv[1])
    try:
        app = wait_for(lambda: next(a for a in pyatspi.Registry.getDesktop(0)
                                    if a is not None and a.get_process_id() == demo.process.pid),
                       "the demo on the accessibility bus", timeout=30)
        main_window = main_window_checks(app)
        remote_checks(demo, app, main_window)
        capture_checks(demo, app, main_window)
        rom_write_checks(demo, app, main_window)
        timing_checks(demo, app, main_window)
    except Failure as failure:
        print("FAIL " + str(failure), flush=True)
        return 1
    finally:
        demo.stop()
    print("all passed in %.1f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
