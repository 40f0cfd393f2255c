# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
import pytest

from ansible_collections.merv.ecr.plugins.module_utils.merv_settings import read_entry, set_entries, settings_file_for

LOG = {"LogSouborSifra": 1, "LogMaxMB": 50}


@pytest.mark.parametrize("before, after", [
    ("", "[Ver2]\nLogMaxMB=50\nLogSouborSifra=1\n"),
    ("[Ver2]\nLogSouborSifra=1\nLogMaxMB=50\n", "[Ver2]\nLogSouborSifra=1\nLogMaxMB=50\n"),
    # Names in any case, comments and other sections kept, entries rewritten in place.
    ("; mine\n[ver2]\n logsouborsifra = 0\n;LogMaxMB=7\n\n[Tisk]\nTiskarna=k\n",
     "; mine\n[ver2]\nLogSouborSifra=1\n;LogMaxMB=7\nLogMaxMB=50\n\n[Tisk]\nTiskarna=k\n"),
    # An empty section followed by another gets the entries, not a second section.
    ("[Ver2]\n[Ports]\nCOM1=/dev/ttyUSB0\n", "[Ver2]\nLogMaxMB=50\nLogSouborSifra=1\n[Ports]\nCOM1=/dev/ttyUSB0\n"),
    ("[Ports]\nCOM1=/dev/ttyUSB0", "[Ports]\nCOM1=/dev/ttyUSB0\n\n[Ver2]\nLogMaxMB=50\nLogSouborSifra=1\n"),
])
def test_set_entries(before, after):
    assert set_entries(before, "Ver2", LOG) == after
    assert set_entries(after, "Ver2", LOG) == after


def test_read_entry():
    text = "[Tisk]\nLogMaxMB=9\n[VER2]\n;LogMaxMB=8\nlogmaxmb = 7\n"
    assert read_entry(text, "Ver2", "LogMaxMB") == "7" and read_entry(text, "Ver2", "LogSouborSifra") is None


@pytest.mark.parametrize("environment, path", [
    ({"XDG_CONFIG_HOME": "/c", "HOME": "/home/s"}, "/c/Kelmora/VOR-Manager.ini"),
    ({"HOME": "/home/s"}, "/home/s/.config/Kelmora/VOR-Manager.ini"),
    ({"HOME": "/"}, "/etc/mervmodul/VOR-Manager.ini"),
    ({}, "/etc/mervmodul/VOR-Manager.ini"),
])
def test_settings_file_for(environment, path):
    assert settings_file_for(environment) == path
