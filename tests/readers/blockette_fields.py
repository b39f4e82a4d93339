"""Fields of one SEED blockette line, for the test suite's Python readers.

Read by the SEED 2.4 layouts (fixed widths, "~"-ended variable texts), not
by the generator's formats; shared by the readers here and nothing else.
"""


class Fields:
    """The fields of one blockette line, taken in order."""

    def __init__(self, line):
        if int(line[3:7]) != len(line):
            raise ValueError("length field %s but %d characters: %r" % (line[3:7], len(line), line[:20]))
        self.line, self.at = line, 7

    def take(self, width):
        text = self.line[self.at:self.at + width]
        if len(text) != width:
            raise ValueError("line ends inside a field: %r" % self.line[:20])
        self.at += width
        return text

    def stripped(self, width):
        return self.take(width).strip(" ")

    def int(self, width):
        return int(self.take(width))

    def float(self, width):
        return float(self.take(width))

    def text(self):
        """A variable field, up to its "~"."""
        end = self.line.index("~", self.at)
        value = self.line[self.at:end]
        self.at = end + 1
        return value

    def end(self):
        if self.at != len(self.line):
            raise ValueError("%d characters after the last field" % (len(self.line) - self.at))


def seed_time(text, open_text=""):
    """'YYYY,DDD[,HH[:MM[:SS[.FFFF]]]]' as 'YYYY,DDD,HH:MM:SS'; open_text is "open"."""
    if text == open_text:
        return "open"
    clock = text[9:]
    parts = (clock.split(":") + ["00", "00", "00"])[:3] if clock else ["00", "00", "00"]
    seconds = parts[2].split(".")
    out = "%s,%s,%02d:%02d:%02d" % (text[0:4], text[5:8], int(parts[0]), int(parts[1]), int(seconds[0]))
    if len(seconds) > 1 and int(seconds[1]) != 0:
        out += "." + (seconds[1] + "000")[:4]
    return out
