# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""A file written whole and put in place by a rename, so that a reader never
finds half of it."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import tempfile


def replace_file(path, text, mode=0o644):
    """Writes `text` as the whole file at `path`: a temporary file in the
    same folder (its name does not end in .prom, which the collector would
    read), forced to the disk, renamed over the target."""
    folder = os.path.dirname(os.path.abspath(path))
    descriptor, temporary = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(path) + ".", suffix=".tmp")
    try:
        with os.fdopen(descriptor, "wb") as handle:
            handle.write(text.encode("utf-8"))
            handle.flush()
            os.fsync(handle.fileno())
        os.chmod(temporary, mode)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise
