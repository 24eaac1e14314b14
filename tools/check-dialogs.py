#!/usr/bin/env python3
"""Checks that the program's dialogs keep to their one way.

1. A dialog template of resources/*.rc holds the layout and the control ids
   only: its caption and its controls' texts are empty, since the code sets
   them from the string table in the running language (ui/dialogtexts.h). The
   windows that speak Russian as their own (QUOTED below) keep their Russian
   texts in their templates.
2. The program hands every dialog procedure to the system through
   GuardedDialogProc<...>, so that no exception crosses into the system's
   frames and each is shown over its dialog; a common dialog's hook procedure
   (lpfnHook) catches everything itself.

Usage: check-dialogs.py [root]; exit status 1 lists what breaks the rules.
"""
import os
import re
import sys

# Templates whose texts are the window's own Russian texts, quoted as they
# stand, and the Latin names they show.
QUOTED = {
    'IDD_DICOM_QUEUE': {'DICOM'},
    'IDD_INSERT_DISK': set(),
    'IDD_SYNC_MOVE': {'Cancel'},
    'IDD_SYNC_DISKS': {'OK', 'Cancel'},
}
PROGRAM_FOLDERS = ['foundation', 'database', 'ui', 'forms', 'images', 'app', 'printing', 'exchange', 'archive']
DIALOG_CALLS = re.compile(r'\b(DialogBoxParamW|CreateDialogParamW|DialogBoxIndirectParamW|CreateDialogIndirectParamW)'
                          r'\s*\(')
CYRILLIC = re.compile('[\u0400-\u04FF]')


def call_arguments(text, open_at):
    """The text between the parenthesis at open_at and the one that closes it."""
    depth = 0
    for k in range(open_at, len(text)):
        if text[k] == '(':
            depth += 1
        elif text[k] == ')':
            depth -= 1
            if depth == 0:
                return text[open_at + 1:k]
    return text[open_at + 1:]


def split_arguments(text):
    parts, depth, start = [], 0, 0
    for k, c in enumerate(text):
        if c in '(<':
            depth += 1
        elif c in ')>':
            depth -= 1
        elif c == ',' and depth == 0:
            parts.append(text[start:k].strip())
            start = k + 1
    parts.append(text[start:].strip())
    return parts


def check_templates(root):
    faults = []
    folder = os.path.join(root, 'resources')
    for name in sorted(os.listdir(folder)):
        if not name.endswith('.rc'):
            continue
        path = os.path.join(folder, name)
        with open(path, encoding='utf-8') as f:
            lines = f.read().split('\n')
        template = None
        for number, line in enumerate(lines, 1):
            head = re.match(r'\s*(\w+)\s+DIALOG(EX)?\b', line)
            if head:
                template = head.group(1)
                continue
            if template and re.match(r'\s*END\b', line):
                template = None
                continue
            if not template or re.match(r'\s*(FONT|STYLE|EXSTYLE|//)', line):
                continue
            for text in re.findall(r'"((?:[^"]|"")*)"', line):
                if not text:
                    continue
                if re.match(r'\s*CONTROL\b', line) and re.match(r'^(Sys|msctls_|Button$|Static$|Edit$)', text):
                    continue   # a control's class name
                if template in QUOTED and (CYRILLIC.search(text) or text in QUOTED[template]):
                    continue
                faults.append(f'{path}:{number}: {template} holds the text "{text}" (set it from the string table)')
    return faults


def check_procedures(root):
    faults = []
    for folder in PROGRAM_FOLDERS:
        top = os.path.join(root, folder)
        for base, _, files in os.walk(top):
            for name in sorted(files):
                if not name.endswith('.cpp'):
                    continue
                path = os.path.join(base, name)
                with open(path, encoding='utf-8') as f:
                    text = f.read()
                for m in DIALOG_CALLS.finditer(text):
                    arguments = split_arguments(call_arguments(text, m.end() - 1))
                    line = text.count('\n', 0, m.start()) + 1
                    if len(arguments) < 4 or not arguments[3].startswith('GuardedDialogProc<'):
                        faults.append(f'{path}:{line}: {m.group(1)} is not given GuardedDialogProc<...>')
                for m in re.finditer(r'\blpfnHook\s*=\s*(\w+)', text):
                    hook = m.group(1)
                    body = re.search(r'\b' + hook + r'\s*\([^)]*\)\s*\{(.*?)\n\}', text, re.S)
                    if not body or 'catch (...)' not in body.group(1):
                        line = text.count('\n', 0, m.start()) + 1
                        faults.append(f'{path}:{line}: the hook {hook} does not catch every exception')
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    faults = check_templates(root) + check_procedures(root)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
