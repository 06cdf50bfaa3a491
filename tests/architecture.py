#!/usr/bin/env python3
"""The house's layers, read from the sources: every include points down
(codepage <- text <- capture, link <- scenario <- ui <- app), the DATA view's
engine includes nothing of the windows around it, and system conditionals
stay in the start-up files; platform code is in *_unix.cpp / *_win.cpp.
Usage: architecture.py SOURCE_DIR"""
import os
import re
import sys

LEVEL = {'codepage': 0, 'text': 1, 'capture': 2, 'link': 2, 'scenario': 3, 'ui': 4, 'app': 5}
START_UP = {'app/main.cpp', 'app/application.cpp'}
root = sys.argv[1]
sources = {}  # path relative to root -> text
for room in LEVEL:
    for folder, _, files in os.walk(os.path.join(root, room)):
        for name in files:
            if name.endswith(('.h', '.cpp')):
                path = os.path.relpath(os.path.join(folder, name), root)
                with open(os.path.join(root, path), encoding='utf-8') as f:
                    sources[path] = f.read()
home = {}  # header name -> the rooms that hold one of that name
for path in sources:
    if path.endswith('.h'):
        home.setdefault(os.path.basename(path), set()).add(path)

faults = []
for path, text in sources.items():
    room = path.split('/')[0]
    for header in re.findall(r'#include "([^"]+)"', text):
        for target in home.get(os.path.basename(header), ()):
            other = target.split('/')[0]
            if other != room and LEVEL[other] >= LEVEL[room]:
                faults.append(f'{path} includes {target}: {room} may not look at {other}')
            if path.startswith('ui/dataview/') and room == other and \
                    not target.startswith('ui/dataview/'):
                faults.append(f'{path} includes {target}: the engine sees no window')
    if 'Q_OS_' in text and path not in START_UP:
        faults.append(f'{path} asks which system it is on: a *_unix / *_win file\'s job')

for fault in faults:
    print(fault)
print(f'{len(sources)} sources, {len(faults)} faults')
sys.exit(1 if faults else 0)
