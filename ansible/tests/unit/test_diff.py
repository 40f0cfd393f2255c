# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
from ansible_collections.merv.ecr.plugins.module_utils.merv_diff import as_diff, decode, parse_differences, summary

TEXT = ("~ 8590000000022;Cena: 3350 -> 3200;Název: Chléb -> Chleba\n"
        "+ 8599999999994;Test;1000;0;\n"
        "~ 8590000000039;Skupina DPH: 1 -> 2\n"
        "- 8590000000046;Mléko 1;3000;0;\n"
        "garbage line\n")


def test_parse_differences_keeps_each_kind_and_every_change():
    rows = parse_differences(TEXT)
    assert [(row["kind"], row["row"]) for row in rows] == [
        ("~", "8590000000022"), ("+", "8599999999994;Test;1000;0;"), ("~", "8590000000039"),
        ("-", "8590000000046;Mléko 1;3000;0;")]
    assert rows[0]["changes"] == [("Cena", "3350", "3200"), ("Název", "Chléb", "Chleba")]
    assert rows[2]["changes"] == [("Skupina DPH", "1", "2")]


def test_diff_before_is_the_register_after_the_file():
    diff = as_diff(parse_differences(TEXT), 3, "plu.txt")
    assert diff["before"].splitlines() == ["8590000000022;Cena: 3200;Název: Chleba", "8599999999994;Test;1000;0;",
                                           "8590000000039;Skupina DPH: 2"]
    assert diff["after"].splitlines()[0] == "8590000000022;Cena: 3350;Název: Chléb"
    assert diff["after"].splitlines()[-1] == "8590000000046;Mléko 1;3000;0;"
    assert diff["before_header"] == "register table 03" and diff["after_header"] == "plu.txt"


def test_no_differences_no_diff_lines():
    assert parse_differences("") == [] and as_diff([], 3, "x")["before"] == ""


def test_code_pages_and_summary():
    assert decode("Mléko".encode("cp852"), 852) == "Mléko" and decode("Mléko".encode("cp1250"), 1250) == "Mléko"
    rows = parse_differences("+ r%d;\n" * 25 % tuple(range(25)))
    lines = summary(rows, limit=20)
    assert len(lines) == 21 and lines[-1] == "... 5 more"
