"""What the table generators share: reading the standard's data files and writing C++ arrays."""

import csv

# Rows of the per-sample-rate tables, in the decoder's sample-rate index order.
BAND_ROWS = [22050, 24000, 16000, 44100, 48000, 32000]


def data_lines(path):
    with open(path, newline="") as f:
        return [line for line in f if line.strip() and not line.startswith("#")]


def read_csv(path):
    return list(csv.DictReader(data_lines(path)))


def wrap(items, indent="    ", width=100):
    """Comma-separated items, filled into lines of at most width characters."""
    lines, line = [], indent
    for item in items:
        piece = item + ","
        if len(line) + len(piece) + 1 > width and line.strip():
            lines.append(line.rstrip())
            line = indent
        line += piece + " "
    if line.strip():
        lines.append(line.rstrip())
    return "\n".join(lines)
