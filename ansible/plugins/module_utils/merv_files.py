# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""A file written whole and put in place by a rename, so that a reader never
finds half of it; an exclusive lock that processes sharing a file or folder
take in turn."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import errno
import fcntl
import os
import tempfile
import time


def replace_file(path, text, mode=0o644):
    """Writes `text` as the whole file at `path` (in UTF-8; the bytes of a
    text decoded with surrogateescape as they were): a temporary file in the
    same folder (its name does not end in .prom, which the collector would
    read), forced to the disk, renamed over the target."""
    folder = os.path.dirname(os.path.abspath(path))
    descriptor, temporary = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(path) + ".", suffix=".tmp")
    try:
        with os.fdopen(descriptor, "wb") as handle:
            handle.write(text.encode("utf-8", "surrogateescape"))
            handle.flush()
            os.fsync(handle.fileno())
        os.chmod(temporary, mode)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def hold_lock(path, limit_seconds, poll_seconds):
    """Takes the exclusive lock of the lock file at `path` (created when
    missing, never removed), waiting at most `limit_seconds`: its descriptor,
    which os.close releases, or None when another holder kept it that long.
    OSError when the file cannot be opened or locked."""
    descriptor = os.open(path, os.O_RDWR | os.O_CREAT | os.O_NOFOLLOW, 0o644)
    deadline = time.monotonic() + limit_seconds
    while True:
        try:
            fcntl.flock(descriptor, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return descriptor
        except (IOError, OSError) as failure:
            if failure.errno not in (errno.EAGAIN, errno.EACCES):
                os.close(descriptor)
                raise
        if time.monotonic() >= deadline:
            os.close(descriptor)
            return None
        time.sleep(poll_seconds)
