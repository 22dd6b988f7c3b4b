#!/usr/bin/env python3
"""Starts the player offscreen on a book with a fresh settings file and ends it
as soon as it reports `ready`: timed from outside (farm-bench), this is process
start to ready. Usage: start_to_ready.py PLAYER BOOK"""
import os, subprocess, sys, tempfile

player, book = sys.argv[1], sys.argv[2]
env = dict(os.environ)
env.setdefault("QT_QPA_PLATFORM", "offscreen")
env.setdefault("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu")
with tempfile.TemporaryDirectory() as d:
    p = subprocess.Popen([player, "--automation", "--settings", os.path.join(d, "s.sqlite"), "--book", book,
                          "--audio-out", "null"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, env=env, text=True)
    for line in p.stdout:
        if '"event":"ready"' in line:
            break
    p.kill()
    p.wait()
