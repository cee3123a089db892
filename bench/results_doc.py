"""Writes a benchmark's results into docs/benchmarks.md between its markers
(<!-- NAME:begin --> and <!-- NAME:end -->), so that a rerun replaces only
its own block; a block not there yet goes at the end, after `heading`."""
import re
from pathlib import Path

DOC = Path(__file__).resolve().parents[1] / "docs" / "benchmarks.md"


def write_block(name, body, heading=""):
    begin, end = f"<!-- {name}:begin -->", f"<!-- {name}:end -->"
    block = f"{begin}\n{body}{end}"
    text = DOC.read_text() if DOC.exists() else "# Benchmarks\n"
    if begin in text:
        text = re.sub(re.escape(begin) + ".*" + re.escape(end), lambda _: block, text, flags=re.S)
    else:
        text = text.rstrip() + "\n\n" + heading + block + "\n"
    DOC.write_text(text)
    print(f"written to {DOC}")
