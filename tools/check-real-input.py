#!/usr/bin/env python3
"""Finds the tests that drive the real mouse and keyboard and checks that
their suites are named ...RealInput.

Real input goes to whatever window is in front. The test executables run side
by side on one display, so a window that another test opens at the wrong
moment takes the keys or the click meant for this one. ctest therefore runs
the cases of the suites named ...RealInput alone (cmake/GoogleTest.cmake), and
this check makes sure that every case that sends real input is one of them.

A case sends real input when its body calls harness::Key, harness::MouseButton,
harness::MouseMoveTo, SendInput, keybd_event, mouse_event or SetCursorPos, or a
function of its folder (or of tests/common) that does, directly or through
others. Usage: check-real-input.py [root]; exit status 1 lists the cases to
rename.
"""
import os
import re
import sys

INPUT = re.compile(r'\bharness::(Key|MouseButton|MouseMoveTo)\b|\b(SendInput|keybd_event|mouse_event|SetCursorPos)\s*\(')
NOT_FUNCTIONS = {'if', 'for', 'while', 'switch', 'catch', 'return', 'sizeof', 'TEST', 'TEST_F', 'TEST_P', 'defined'}
HARNESS_OWN = {'Key', 'MouseButton', 'MouseMoveTo'}   # reached only through harness::, which INPUT sees
TEST_HEAD = re.compile(r'\bTEST(_F|_P)?\s*\(\s*(\w+)\s*,\s*(\w+)\s*\)\s*\{')


def block_end(text, open_at):
    """Index of the brace that closes the block opened at open_at."""
    depth = 0
    for k in range(open_at, len(text)):
        if text[k] == '{':
            depth += 1
        elif text[k] == '}':
            depth -= 1
            if depth == 0:
                return k
    return len(text)


def functions(text):
    """(name, body) of every block introduced by name(...) { in the text."""
    found = []
    for m in re.finditer(r'\b([A-Za-z_]\w*)\s*\(', text):
        if m.group(1) in NOT_FUNCTIONS:
            continue
        depth, i = 0, m.end() - 1
        while i < len(text):
            if text[i] == '(':
                depth += 1
            elif text[i] == ')':
                depth -= 1
                if depth == 0:
                    break
            i += 1
        tail = re.match(r'\s*(const\s*)?(override\s*)?(noexcept\s*)?(->\s*[\w:<>]+\s*)?\{', text[i + 1:i + 81])
        if tail:
            open_at = i + tail.end()
            found.append((m.group(1), text[m.start():block_end(text, open_at) + 1]))
    return found


def calls_any(body, names):
    return any(re.search(r'\b' + re.escape(n) + r'\s*\(', body) for n in names)


def real_input_cases(root):
    tests = os.path.join(root, 'tests')
    folders = {}
    for folder, _, files in os.walk(tests):
        folders[folder] = [os.path.join(folder, f) for f in files if f.endswith(('.cpp', '.h'))]
    common = folders.get(os.path.join(tests, 'common'), [])
    for folder, files in sorted(folders.items()):
        texts = {f: open(f, encoding='utf-8', errors='replace').read() for f in files + common}
        bodies = {}
        for text in texts.values():
            for name, body in functions(text):
                bodies.setdefault(name, []).append(body)
        senders = {n for n, bs in bodies.items() if any(INPUT.search(b) for b in bs)} - HARNESS_OWN
        grown = True
        while grown:
            grown = False
            for name, bs in bodies.items():
                if name not in senders and any(calls_any(b, senders - {name}) for b in bs):
                    senders.add(name)
                    grown = True
        for f in sorted(files):
            if not f.endswith('.cpp'):
                continue
            text = texts[f]
            for m in TEST_HEAD.finditer(text):
                body = text[m.end():block_end(text, m.end() - 1)]
                if INPUT.search(body) or calls_any(body, senders):
                    yield os.path.relpath(f, root), m.group(2), m.group(3)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    wrong = [c for c in real_input_cases(root) if not c[1].endswith('RealInput')]
    for f, suite, name in wrong:
        print('%s: %s.%s sends real input: its suite must be named ...RealInput to run alone' % (f, suite, name))
    if not wrong:
        print('real input: every case that sends it runs alone')
    return 1 if wrong else 0


if __name__ == '__main__':
    sys.exit(main())
