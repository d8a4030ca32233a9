"""The eight race tracks, written as sequences of track pieces.

Track file characters: '0' hole, 'S' slow, 'X' normal, 'F' fast, 'f' very
fast, 'C' cube; one row of nine cells per line, row 0 (the start line) first.

`tracks()` returns a dict of level number -> (track text, planned line).
The planned line gives, per row, the columns (lo, hi) the ship keeps to, or
None for a row crossed in the air; the content build drives every ship along
it with the game's physics (shipsim.py) before it writes the archive.
"""

FLOOR = "SXFf"


class Track:
    def __init__(self):
        self.rows = []

    def add(self, row, count=1):
        if len(row) != 9 or any(ch not in "0SXFfC" for ch in row):
            raise ValueError("bad track row %r" % row)
        self.rows.extend([row] * count)
        return self

    def flat(self, count, tile="X"):
        return self.add(tile * 9, count)

    def gap(self, count):
        return self.add("0" * 9, count)

    def pattern(self, rows, count=1):
        """A block of literal rows, repeated `count` times."""
        for _ in range(count):
            for row in rows:
                self.add(row)
        return self

    def text(self):
        return "".join(row + "\n" for row in self.rows)


def _runs(row):
    runs, start = [], None
    for c, ch in enumerate(row + "0"):
        if ch in FLOOR:
            if start is None:
                start = c
        elif start is not None:
            runs.append((start, c - 1))
            start = None
    return runs


def plan_line(rows):
    """Per row, the run of floor the ship keeps to: the run that overlaps the
    previous row's choice and stays open longest; None over full holes."""
    lanes = []
    current = (0, 8)
    for r, row in enumerate(rows):
        runs = _runs(row)
        if not runs:
            lanes.append(None)
            continue
        candidates = [run for run in runs if run[0] <= current[1] and run[1] >= current[0]]
        if not candidates:
            candidates = runs

        def lasting(run):
            lo, hi = run
            n = 0
            for later in rows[r + 1:]:
                overlap = [x for x in _runs(later) if x[0] <= hi and x[1] >= lo]
                if not overlap:
                    break
                lo, hi = max(lo, overlap[0][0]), min(hi, overlap[0][1])
                if lo > hi:
                    break
                n += 1
            return n

        centre = (current[0] + current[1]) / 2.0
        current = max(candidates, key=lambda run: (lasting(run), run[1] - run[0],
                                                     -abs((run[0] + run[1]) / 2.0 - centre)))
        lanes.append(current)
    return lanes


def level1():
    t = Track()
    t.flat(14).flat(12, "F").flat(10)
    t.gap(4).flat(26)
    t.pattern(["00XXXXX00"], 16).flat(8)
    t.flat(16, "S")
    t.pattern(["XXCXXXCXX"]).flat(10, "S")
    t.pattern(["XXCXXXCXX"]).flat(12)
    t.flat(12, "f").flat(14)
    t.gap(5).flat(28)
    t.pattern(["CCCXXXCCC"]).flat(12)
    t.pattern(["000XXX000"], 14).flat(10, "F").flat(10)
    t.gap(6).flat(30)
    return t


def level2():
    t = Track()
    t.flat(14).flat(10, "F")
    t.gap(6).flat(24)
    t.pattern(["CCCCXXXXX"]).flat(16)
    t.pattern(["XXXXXCCCC"]).flat(16)
    t.flat(10, "S").pattern(["XCXXCXXCX"]).flat(10, "S")
    t.flat(12, "F").gap(7).flat(28)
    t.pattern(["00XXXXXXX"], 10).pattern(["0000XXXXX"], 10).pattern(["00XXXXXXX"], 8).flat(8)
    t.flat(14, "f").flat(16)
    t.pattern(["CCXXXXXCC"]).flat(6).pattern(["CCXXXXXCC"]).flat(14)
    t.gap(8).flat(30)
    return t


def level3():
    t = Track()
    t.flat(14).flat(8, "F")
    t.pattern(["0XXXXXXX0"], 6).pattern(["00XXXXX00"], 6).pattern(["000XXX000"], 14).flat(8)
    t.gap(8).flat(26)
    t.flat(8, "S")
    t.pattern(["SSCCCSSSS", "SSSSSSSSS", "SSSSSSSSS", "SSSSSSSSS", "SSSSSSSSS",
               "SSSSCCCSS", "SSSSSSSSS", "SSSSSSSSS", "SSSSSSSSS", "SSSSSSSSS"], 3)
    t.flat(12)
    t.flat(14, "f").flat(8).gap(9).flat(30)
    t.pattern(["XX00000XX"], 10).pattern(["XXXXXXXXX"], 8)
    t.pattern(["CCCXXXXXX"]).flat(12).pattern(["XXXXXXCCC"]).flat(14)
    t.flat(10, "F").gap(10).flat(30)
    return t


def level4():
    t = Track()
    t.flat(14).flat(10, "F").gap(10).flat(24)
    t.pattern(["XXX000000"], 14).pattern(["XXXXXX000"], 12).pattern(["000XXXXXX"], 12)
    t.pattern(["000000XXX"], 14).flat(10)
    t.flat(10, "S").pattern(["SCSSSSSCS", "SSSSSSSSS", "SSSSSSSSS", "SSSCSCSSS",
                             "SSSSSSSSS", "SSSSSSSSS"], 3).flat(10)
    t.flat(16, "f").flat(10, "F").gap(12).flat(30)
    t.pattern(["CCCC0XXXX"], 1).pattern(["XXXX0XXXX"], 12).flat(14).pattern(["XXXXXCCCC"], 1).flat(12)
    t.gap(9).flat(10).flat(10, "F").gap(10).flat(30)
    return t


def level5():
    t = Track()
    t.flat(14).flat(14, "F").gap(11).flat(28)
    t.flat(12, "f").pattern(["000fff000"], 20).flat(10)
    t.pattern(["00CXXXC00"], 1).pattern(["00XXXXX00"], 10).pattern(["00XXCXX00"], 1)
    t.pattern(["00XXXXX00"], 12).flat(8)
    t.flat(8, "S").pattern(["CCSSSSSSS", "SSSSSSSSS", "SSSSSSSSS", "SSSSSSSSS",
                            "SSSSSSSCC", "SSSSSSSSS", "SSSSSSSSS", "SSSSSSSSS"], 3).flat(10)
    t.flat(12, "F").gap(12).flat(14).flat(8, "F").gap(10).flat(30)
    t.pattern(["XX0000000"], 12).pattern(["XXXXXXXXX"], 24).pattern(["0000000XX"], 12).flat(12)
    t.flat(10, "f").gap(14).flat(32)
    return t


def level6():
    t = Track()
    t.flat(14).flat(12, "F").gap(12).flat(24)
    t.pattern(["CCCCXXCCC"]).flat(18).pattern(["CXXCCCCCC"]).flat(22)
    t.pattern(["CCCCCCXXC"]).flat(22)
    t.flat(10, "S").pattern(["0SSSSSSS0"], 12).pattern(["00SSSSS00"], 12).flat(8)
    t.flat(14, "f").gap(14).flat(32).flat(6, "F").gap(11).flat(30)
    t.pattern(["000XXX000"], 10).pattern(["0000XX000"], 8).pattern(["000XXX000"], 6).flat(10)
    t.pattern(["XXCXXXCXX", "XXXXXXXXX", "XXXXXXXXX", "XXXXXXXXX", "XXXXXXXXX"], 3).flat(10)
    t.flat(10, "F").gap(12).flat(30)
    return t


def level7():
    t = Track()
    t.flat(14).flat(10, "f").gap(14).flat(26)
    t.pattern(["XXX000XXX"], 20).flat(14)
    t.pattern(["CCCXXXCCC"]).flat(16).pattern(["CXXCCCCCC"]).flat(22)
    t.flat(12, "S").pattern(["SSCSSSCSS", "SSSSSSSSS", "SSSSSSSSS", "SCSSSSSCS",
                             "SSSSSSSSS", "SSSSSSSSS"], 3).flat(10)
    t.flat(10, "F").gap(12).flat(26).gap(10).flat(21).gap(10).flat(30)
    t.pattern(["0000XXXXX"], 12).pattern(["0XXXXXXX0"], 14).pattern(["XXXXX0000"], 12).flat(10)
    t.flat(12, "f").gap(15).flat(34)
    return t


def level8():
    t = Track()
    t.flat(14).flat(10, "f").gap(15).flat(26)
    t.pattern(["CCCCXXCCC"]).flat(20).pattern(["CXXCCCCCC"]).flat(20).pattern(["CCCCCCXXC"]).flat(22)
    t.flat(10, "S").pattern(["00SSSSS00"], 10).pattern(["000SSS000"], 10).pattern(["00SSSSS00"], 6).flat(10)
    t.flat(10, "F").gap(12).flat(30).gap(11).flat(22).gap(11).flat(22).gap(11).flat(30)
    t.pattern(["XX0000000"], 10).pattern(["XXXXXXXXX"], 26).pattern(["000000XXX"], 10).flat(10)
    t.pattern(["XCXXXXXCX", "XXXXXXXXX", "XXXXXXXXX", "XXXXXXXXX", "XXXCXCXXX",
               "XXXXXXXXX", "XXXXXXXXX", "XXXXXXXXX"], 3).flat(10)
    t.flat(12, "f").gap(16).flat(36)
    return t


LEVELS = (level1, level2, level3, level4, level5, level6, level7, level8)


def tracks():
    out = {}
    for n, build in enumerate(LEVELS, 1):
        track = build()
        out[n] = (track.text(), plan_line(track.rows))
    return out
