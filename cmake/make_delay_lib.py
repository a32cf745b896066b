#!/usr/bin/env python3
"""Makes a delay-load import library for one system DLL from the toolchain's
ordinary import library: every name it imports by (its __imp_ symbols)
goes into a .def file, and dlltool writes the delay-load library.

Usage: make_delay_lib.py NM DLLTOOL IMPORT_LIB DLL_NAME OUTPUT
"""
import os
import subprocess
import sys


def main(nm, dlltool, import_lib, dll, output):
    symbols = subprocess.run([nm, import_lib], check=True, stdout=subprocess.PIPE, text=True).stdout
    names = sorted({line.split()[-1][len("__imp_"):] for line in symbols.splitlines()
                    if " I __imp_" in line})
    if not names:
        sys.exit(f"{import_lib}: no imports found")
    os.makedirs(os.path.dirname(output) or ".", exist_ok=True)
    definition = output + ".def"
    with open(definition, "w") as f:
        f.write(f"LIBRARY {dll}\nEXPORTS\n")
        f.writelines(name + "\n" for name in names)
    subprocess.run([dlltool, "--input-def", definition, "--dllname", dll, "--output-delaylib", output], check=True)


if __name__ == "__main__":
    main(*sys.argv[1:6])
