#!/usr/bin/python3
"""Prints the version resource of Windows executables, one line each:
FILE|ProductName|ProductVersion|FileVersion|CompanyName|FileDescription|fixed version|version resources

"fixed version" is the binary FILEVERSION (a.b.c.d); "version resources"
counts the RT_VERSION entries, which must be one. Used by
scripts/test_windows.sh; needs the pefile package (python3-pefile)."""
import os
import sys

import pefile


def version_resources(pe):
    count = 0
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return count
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == pefile.RESOURCE_TYPE["RT_VERSION"]:
            for name in entry.directory.entries:
                count += len(name.directory.entries)
    return count


def strings_of(pe):
    found = {}
    for group in getattr(pe, "FileInfo", []):
        for info in group:
            if getattr(info, "Key", b"") == b"StringFileInfo":
                for table in info.StringTable:
                    for key, value in table.entries.items():
                        found[key.decode()] = value.decode()
    return found


def fixed_version(pe):
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        return ""
    fixed = pe.VS_FIXEDFILEINFO[0]
    return "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                            fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)


def main(paths):
    for path in paths:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        found = strings_of(pe)
        fields = [os.path.basename(path)] + [found.get(key, "") for key in
                  ("ProductName", "ProductVersion", "FileVersion", "CompanyName", "FileDescription")]
        fields += [fixed_version(pe), str(version_resources(pe))]
        print("|".join(fields))


if __name__ == "__main__":
    main(sys.argv[1:])
