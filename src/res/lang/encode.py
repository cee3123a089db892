"""Writes a built-in language table in the code page it is stored in.

The tables are kept in UTF-8 so they can be read and reviewed; the program
stores each one in its own code page (936 or 950) and decodes it with that
page, whatever the system's ANSI code page is. Any character the target page
cannot hold stops the build rather than turning into a question mark.
"""
import sys


def main(source, target, code_page):
    text = open(source, encoding="utf-8-sig").read()
    lines = text.splitlines()
    data = "\r\n".join(lines).encode(code_page, errors="strict") + b"\r\n"
    with open(target, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: encode.py SOURCE.lan TARGET.lan CODEPAGE")
    main(*sys.argv[1:])
