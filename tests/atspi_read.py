#!/usr/bin/env python3
"""The console's DATA view as a screen reader meets it, through AT-SPI.

Finds the console by its process id, presses "Otwórz port" and "Sprawdź
status dysku" by their accessible actions, and reads the DATA view (the
multi-line editable text) until it holds the device's reply; then edits it
through the editable-text interface and reads it again.

    atspi_read.py PID
"""
import sys
import time

import pyatspi


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def wait_for(what, find, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    sys.exit(f"FAIL: {what} not found")


def console(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def button(app, name):
    for node in walk(app):
        if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name == name:
            return node
    return None


def data_view(app):
    for node in walk(app):
        state = node.getState()
        if node.getRole() == pyatspi.ROLE_TEXT and state.contains(pyatspi.STATE_MULTI_LINE):
            return node
    return None


def press(app, name):
    action = wait_for(f'the button "{name}"', lambda: button(app, name)).queryAction()
    action.doAction(0)


def text_of(view):
    return view.queryText().getText(0, -1)


def main():
    pid = int(sys.argv[1])
    app = wait_for("the console", lambda: console(pid))
    view = wait_for("the DATA view", lambda: data_view(app))
    if not view.getState().contains(pyatspi.STATE_EDITABLE):
        sys.exit("FAIL: the DATA view is not editable text")
    print(f"DATA view at start: {text_of(view)!r}")

    press(app, "Otwórz port")
    press(app, "Sprawdź status dysku")
    expected = "DATA\r\nOK CF READY\r\n"
    wait_for("the device's reply in the DATA view",
             lambda: True if text_of(view) == expected else None, 10)
    text = view.queryText()
    print(f"DATA view read: {text_of(view)!r}")
    if text.characterCount != len(expected):
        sys.exit(f"FAIL: {text.characterCount} characters, not {len(expected)}")
    line, start, end = text.getTextAtOffset(8, pyatspi.TEXT_BOUNDARY_LINE_START)
    if (line, start, end) != ("OK CF READY\r\n", 6, 19):
        sys.exit(f"FAIL: the line at offset 8 reads {line!r} from {start} to {end}")

    # Typed through assistive technology as the operator would type.
    view.queryEditableText().insertText(len(expected), "note\n", 5)
    wait_for("the inserted note",
             lambda: True if text_of(view) == expected + "note\r\n" else None, 5)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
