#!/usr/bin/env python3
"""Independent reader of dataless SEED volumes, for the tests.

Written from the SEED 2.4 standard alone: it shares nothing with the C++
reader and writer. It splits a volume into logical records, checks every
record header, reassembles the blockettes of each control header across
records and checks the volume identifier (10) and station index (11).

Prints one line per blockette: the header type (V, A or S), a tab, and the
blockette as it stands. Problems go to standard error, one per line,
prefixed "problem:"; the exit status is then 1.

Usage: seed_volume.py [--record-length N] VOLUME
"""

import re
import sys

PAYLOAD_START = 8  # sequence number (6), header type (1), continuation (1)
TIME = re.compile(r"^\d{4},\d{3}(,\d{2}(:\d{2}(:\d{2}(\.\d{1,4})?)?)?)?$")


class Volume:
    def __init__(self, data, record_length):
        self.problems = []
        self.record_length = record_length
        self.records = []
        if len(data) == 0 or len(data) % record_length:
            self.problem("volume of %d bytes is not a whole number of %d-byte records" % (len(data), record_length))
        for at in range(0, len(data) - len(data) % record_length, record_length):
            self.records.append(data[at:at + record_length].decode("ascii", errors="replace"))
        self.headers = []  # (type, [record indexes])
        self.blockettes = []  # (header type, header number, blockette text)

    def problem(self, text):
        self.problems.append(text)

    def split_headers(self):
        order = "VAS"
        last_kind = None
        for i, rec in enumerate(self.records):
            seq, kind, flag = rec[0:6], rec[6], rec[7]
            if not seq.isdigit() or int(seq) != i + 1:
                self.problem("record %d: sequence number %r, expected %06d" % (i + 1, seq, i + 1))
            if kind not in order:
                self.problem("record %d: header type %r is not V, A or S" % (i + 1, kind))
                continue
            if last_kind is not None and order.index(kind) < order.index(last_kind):
                self.problem("record %d: %s header after %s headers" % (i + 1, kind, last_kind))
            if flag == " ":
                self.headers.append((kind, [i]))
            elif flag == "*":
                if not self.headers or self.headers[-1][0] != kind:
                    self.problem("record %d: continuation of a %s header that did not begin" % (i + 1, kind))
                    self.headers.append((kind, [i]))
                else:
                    self.headers[-1][1].append(i)
            else:
                self.problem("record %d: continuation flag %r is neither blank nor '*'" % (i + 1, flag))
            last_kind = kind

    def read_header(self, number, kind, indexes):
        """Blockettes of one header; blanks only at a record's last 1-6
        characters or after the header's last blockette."""
        payloads = [self.records[i][PAYLOAD_START:] for i in indexes]
        size = self.record_length - PAYLOAD_START
        r, off = 0, 0
        while r < len(payloads):
            if size - off < 7:
                if payloads[r][off:].strip():
                    self.problem("record %d: a blockette starts in its last %d characters" % (indexes[r] + 1, size - off))
                r, off = r + 1, 0
                continue
            head = payloads[r][off:off + 7]
            if not head.strip():
                rest = "".join(p for p in payloads[r:])[off:]
                if rest.strip():
                    self.problem("record %d: blanks at column %d inside the header" % (indexes[r] + 1, off + PAYLOAD_START + 1))
                if r != len(payloads) - 1:
                    self.problem("record %d: header padded over %d more record(s)" % (indexes[r] + 1, len(payloads) - 1 - r))
                return
            if not head.isdigit():
                self.problem("record %d: %r at column %d is no blockette type and length" % (indexes[r] + 1, head, off + PAYLOAD_START + 1))
                return
            length = int(head[3:7])
            if length < 7:
                self.problem("record %d: blockette length %d" % (indexes[r] + 1, length))
                return
            text, want = "", length
            while want > 0:
                if r >= len(payloads):
                    self.problem("header ends inside a blockette %s of length %d" % (head[:3], length))
                    return
                piece = payloads[r][off:off + want]
                text += piece
                want -= len(piece)
                off += len(piece)
                if off == size:
                    r, off = r + 1, 0
            self.blockettes.append((kind, number, text))

    def check_identifier(self):
        vol = [b for k, n, b in self.blockettes if k == "V"]
        if len(vol) != 2 or vol[0][:3] != "010" or vol[1][:3] != "011":
            self.problem("the volume header holds %s, not blockettes 010 and 011" % [b[:3] for b in vol])
            return
        b10 = vol[0]
        if b10[7:11] != "02.4":
            self.problem("blockette 10: format version %r" % b10[7:11])
        if b10[11:13] != "12":
            self.problem("blockette 10: record length exponent %r" % b10[11:13])
        texts = b10[13:].split("~")
        if len(texts) != 6 or texts[5] != "":
            self.problem("blockette 10: %d variable fields, expected 5 each ended by '~'" % (len(texts) - 1))
            return
        for name, text, most in zip(("beginning time", "end time", "volume time", "organization", "label"),
                                    texts[:5], (22, 22, 22, 80, 80)):
            if not 1 <= len(text) <= most:
                self.problem("blockette 10 %s: %d characters" % (name, len(text)))
            if "time" in name and not TIME.match(text):
                self.problem("blockette 10 %s: %r is not a SEED time" % (name, text))
        if texts[0] > texts[1]:
            self.problem("blockette 10: begins after it ends")

        b11 = vol[1]
        count = int(b11[7:10])
        if len(b11) != 10 + 11 * count:
            self.problem("blockette 11: %d characters for %d stations" % (len(b11), count))
            return
        stations = [h for h in self.headers if h[0] == "S"]
        if count != len(stations):
            self.problem("blockette 11 lists %d stations, the volume has %d station headers" % (count, len(stations)))
        for i in range(min(count, len(stations))):
            code, seq = b11[10 + 11 * i:15 + 11 * i], b11[15 + 11 * i:21 + 11 * i]
            first = stations[i][1][0]
            if int(seq) != first + 1:
                self.problem("blockette 11 entry %d: sequence number %s, the station header begins at %06d" % (i + 1, seq, first + 1))
            rec = self.records[first]
            if rec[8:11] != "050" or rec[15:20] != code:
                self.problem("blockette 11 entry %d: %r, record %s begins %r" % (i + 1, code, seq, rec[8:20]))

    def run(self):
        self.split_headers()
        for number, (kind, indexes) in enumerate(self.headers):
            self.read_header(number, kind, indexes)
        self.check_identifier()


def main(argv):
    args = argv[1:]
    record_length = 4096
    if len(args) == 3 and args[0] == "--record-length":
        record_length, args = int(args[1]), args[2:]
    if len(args) != 1:
        sys.stderr.write(__doc__)
        return 2
    with open(args[0], "rb") as f:
        volume = Volume(f.read(), record_length)
    volume.run()
    out = sys.stdout
    for kind, number, text in volume.blockettes:
        out.write("%s\t%s\n" % (kind, text))
    for p in volume.problems:
        sys.stderr.write("problem: %s\n" % p)
    return 1 if volume.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
