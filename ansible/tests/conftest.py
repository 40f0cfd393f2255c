# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""The collection's tests import it as Ansible does, from
ansible_collections/merv/ecr: a temporary folder holds that path as a link
to this collection."""

import os
import sys
import tempfile

COLLECTION = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COLLECTIONS_ROOT = tempfile.mkdtemp(prefix="merv-collections-")
os.makedirs(os.path.join(COLLECTIONS_ROOT, "ansible_collections", "merv"))
os.symlink(COLLECTION, os.path.join(COLLECTIONS_ROOT, "ansible_collections", "merv", "ecr"))
sys.path.insert(0, COLLECTIONS_ROOT)


def pytest_unconfigure(config):
    os.unlink(os.path.join(COLLECTIONS_ROOT, "ansible_collections", "merv", "ecr"))
    os.removedirs(os.path.join(COLLECTIONS_ROOT, "ansible_collections", "merv"))
