"""Reads the running program through AT-SPI as a screen reader does.

    atspi_client.py PID EXPECTED_TEXT [--dump]

Finds the application of process PID on the accessibility bus, waits until
its document holds EXPECTED_TEXT, and checks what a screen reader reads: the
document's text, lines, words and caret, an edit made through the editable
text interface and the change notice it brings, and the names of the tool
bar buttons. With --dump it prints the accessible tree, shortened. Exits 0
when all holds, 1 with a message otherwise.
"""

import sys
import time

import pyatspi
from gi.repository import GLib

TOOL_BAR = ["Open", "Save", "Print", "Undo", "Cut", "Copy", "Paste", "Tile",
            "Cascade", "Arrange", "Help Contents", "About", "Exit"]


def fail(message):
    print("atspi: " + message)
    sys.exit(1)


def application(pid, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    fail("no application of process %d on the accessibility bus" % pid)


def walk(node, depth=0, limit=12):
    yield node, depth
    if depth >= limit:
        return
    for child in node:
        if child is not None:
            yield from walk(child, depth + 1, limit)


def documents(app):
    found = []
    for node, _ in walk(app):
        if node.getRole() == pyatspi.ROLE_TEXT:
            try:
                node.queryEditableText()
                found.append(node)
            except NotImplementedError:
                pass
    return found


def wait_for_text(app, expected, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        for doc in documents(app):
            text = doc.queryText()
            if text.characterCount == len(expected):
                return doc
        time.sleep(0.2)
    fail("no document reads %r: %r" % (
        expected, [d.queryText().getText(0, -1) for d in documents(app)]))


def check(what, got, expected):
    if got != expected:
        fail("%s: %r, expected %r" % (what, got, expected))


def check_reading(doc, expected):
    text = doc.queryText()
    check("the whole text", text.getText(0, -1), expected)
    first_end = expected.index("\n") + 1
    check("the first line", tuple(text.getTextAtOffset(2, pyatspi.TEXT_BOUNDARY_LINE_START)),
          (expected[:first_end], 0, first_end))
    second = expected[first_end:].split("\n")[0]
    second_end = expected.find("\n", first_end) + 1 or len(expected)
    check("the second line", tuple(text.getTextAfterOffset(2, pyatspi.TEXT_BOUNDARY_LINE_START)),
          (expected[first_end:second_end], first_end, second_end))
    check("a character", text.getTextAtOffset(1, pyatspi.TEXT_BOUNDARY_CHAR)[0], expected[1])
    word = text.getTextAtOffset(first_end + 2, pyatspi.TEXT_BOUNDARY_WORD_START)
    check("a word", word[0], second)
    check("the caret", text.caretOffset, 0)
    states = doc.getState()
    for state in (pyatspi.STATE_EDITABLE, pyatspi.STATE_MULTI_LINE, pyatspi.STATE_FOCUSABLE):
        if not states.contains(state):
            fail("the document is not %s" % pyatspi.stateToString(state))
    extents = text.getCharacterExtents(0, pyatspi.DESKTOP_COORDS)
    if extents[2] <= 0 or extents[3] <= 0:
        fail("the first character has no extent: %r" % (extents,))


def check_edit(doc, expected):
    """An edit through the interface, and the notice a screen reader gets."""
    heard = []

    def listen(event):
        heard.append((event.type, event.detail1, event.detail2, event.any_data))

    pyatspi.Registry.registerEventListener(listen, "object:text-changed:insert")
    context = GLib.MainContext.default()
    # The listener's registration reaches the program first.
    end = time.time() + 1
    while time.time() < end:
        context.iteration(False)
    if not doc.queryEditableText().insertText(0, "Hi ", 3):
        fail("insertText refused")
    end = time.time() + 10
    while not heard and time.time() < end:
        context.iteration(False)
        time.sleep(0.01)
    pyatspi.Registry.deregisterEventListener(listen, "object:text-changed:insert")
    check("the text after the insertion", doc.queryText().getText(0, -1), "Hi " + expected)
    if not heard:
        fail("no text-changed:insert notice")
    check("the insertion notice", heard[0][1:], (0, 3, "Hi "))
    check("the caret after the insertion", doc.queryText().caretOffset, 3)


def check_tool_bar(app):
    buttons = [node for node, _ in walk(app)
               if node.getRole() == pyatspi.ROLE_PUSH_BUTTON
               and node.parent is not None and node.parent.getRole() != pyatspi.ROLE_DIALOG]
    names = [b.name for b in buttons]
    for name in TOOL_BAR:
        if name not in names:
            fail("no tool bar button named %r among %r" % (name, names))
    unnamed = [b for b in buttons if not b.name]
    if unnamed:
        fail("%d push buttons without a name" % len(unnamed))


def dump(app):
    for node, depth in walk(app, limit=9):
        role = node.getRoleName()
        line = "  " * depth + role
        if node.name:
            line += ' "%s"' % node.name
        try:
            text = node.queryText()
            shown = text.getText(0, 40).replace("\n", "\\n")
            line += " [text %d chars: %s%s]" % (
                text.characterCount, shown, "..." if text.characterCount > 40 else "")
        except NotImplementedError:
            pass
        print(line)


def main():
    pid = int(sys.argv[1])
    expected = sys.argv[2]
    app = application(pid)
    doc = wait_for_text(app, expected)
    if "--dump" in sys.argv[3:]:
        dump(app)
    check_reading(doc, expected)
    check_tool_bar(app)
    check_edit(doc, expected)
    print("atspi: the document reads %d characters, its lines, words and caret; an insertion "
          "is heard; the %d tool bar buttons are named" % (len(expected), len(TOOL_BAR)))


if __name__ == "__main__":
    main()
