#!/usr/bin/env python3
"""As another process of the user's would, from the Linux side of Wine: waits
for the first delete in (or open of) a folder, then moves a folder aside and
puts a link to another in its place.

swap_on_event.py WATCHED delete|open SWAPPED TARGET READY_FILE DONE_FILE
READY_FILE appears once the watch is set; DONE_FILE once the swap is made (or
after 30 s without the event).
"""
import ctypes
import os
import select
import sys

IN_OPEN, IN_DELETE = 0x20, 0x200


def main(watched, event, swapped, target, ready, done):
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    fd = libc.inotify_init()
    if fd < 0 or libc.inotify_add_watch(fd, watched.encode(), IN_OPEN if event == "open" else IN_DELETE) < 0:
        sys.exit(1)
    open(ready, "w").close()
    if select.select([fd], [], [], 30)[0]:
        os.read(fd, 4096)
        os.rename(swapped, swapped + ".moved")
        os.symlink(target, swapped)
    open(done, "w").close()


if __name__ == "__main__":
    main(*sys.argv[1:7])
