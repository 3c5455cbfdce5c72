#!/usr/bin/env python3
"""Fails when a file under src/ uses a folder it must not use: an #include of
a header from that folder, or a forward declaration in its namespace.

    check_includes.py SRC_DIR     check the tree, list every violation
    check_includes.py --self-test check that the check notices a bad include
"""
import os
import re
import sys
import tempfile

# Which folders of src/ each folder may use besides itself. Dependencies point
# one way: ui/ (windows and pages) on top; app/ (the shell's logic), replay/,
# upload/ and notify/ under it; the watch pipeline under those, then
# recording/, detection/ and events/, then video/ (frame sources), core/
# (context and settings), and at the bottom platform/ (the seams) and
# resources/ (the pictures), which everyone may use. controls/ (our widgets)
# use only resources/. A new folder must be added here before it can be used
# or use anything.
BELOW_PIPELINE = {'video', 'core', 'platform', 'resources'}
ALLOWED = {
    'ui': {'app', 'web', 'replay', 'upload', 'notify', 'pipeline', 'recording', 'detection', 'events',
           'video', 'core', 'controls', 'platform', 'resources'},
    'app': {'core', 'platform', 'resources'},
    'replay': {'pipeline', 'recording', 'detection', 'events'} | BELOW_PIPELINE,
    'upload': {'core', 'platform', 'resources'},
    'notify': {'events', 'core', 'platform', 'resources'},
    'pipeline': {'recording', 'detection', 'events'} | BELOW_PIPELINE,
    'recording': {'events'} | BELOW_PIPELINE,
    'detection': BELOW_PIPELINE,
    'events': {'core', 'platform', 'resources'},
    'video': {'core', 'platform', 'resources'},
    'core': {'platform', 'resources'},
    'controls': {'resources'},
    'platform': {'resources'},
    'resources': set(),
    'web': {'core', 'platform', 'resources'},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
NAMESPACE = re.compile(r'^\s*namespace\s+vigilux::(\w+)')


def violations(src):
    found = []
    folders = {d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d))}
    for folder in sorted(folders - ALLOWED.keys()):
        found.append(f'{folder}/: folder missing from the table in {os.path.basename(__file__)}')
    for dirpath, _, files in os.walk(src):
        rel = os.path.relpath(dirpath, src)
        if rel == '.':
            continue
        owner = rel.split(os.sep)[0]
        allowed = ALLOWED.get(owner, set()) | {owner}
        for name in sorted(files):
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(dirpath, name)
            with open(path, encoding='utf-8', errors='replace') as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    used = None
                    if m and '/' in m.group(1):
                        used = m.group(1).split('/')[0]
                    elif not m:
                        n = NAMESPACE.match(line)
                        used = n.group(1) if n else None
                    if used in folders and used not in allowed:
                        found.append(f'{os.path.relpath(path, src)}:{number}: {owner}/ must not use '
                                     f'{used}/: {line.strip()}')
    return found


def self_test():
    with tempfile.TemporaryDirectory() as src:
        for folder in ALLOWED:
            os.mkdir(os.path.join(src, folder))

        def write(rel, text):
            with open(os.path.join(src, rel), 'w', encoding='utf-8') as f:
                f.write(text)

        write('ui/A.cpp', '#include "app/S.h"\n#include "core/C.h"\n')
        write('app/S.h', '#include "core/C.h"\n#include <QString>\n#include "S2.h"\n')
        write('core/C.h', '#include "platform/P.h"\n')
        write('video/Bad.cpp', '#include "app/S.h"\n')
        write('platform/Bad.h', '#include "ui/A.h"\nnamespace vigilux::controls {\n')
        found = violations(src)
        expected = ['platform/Bad.h:1:', 'platform/Bad.h:2:', 'video/Bad.cpp:1:']
        ok = sorted(v.split(' ')[0] for v in found) == expected
        os.mkdir(os.path.join(src, 'extra'))
        ok = ok and any(v.startswith('extra/') for v in violations(src))
        if not ok:
            print('self-test: unexpected result:', *found, sep='\n  ')
        return ok


def main():
    if sys.argv[1:] == ['--self-test']:
        return 0 if self_test() else 1
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    found = violations(sys.argv[1])
    for v in found:
        print(v)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
