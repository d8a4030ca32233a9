"""Composes the menu tune and one tune per level as four-channel modules
(modfile.py).

Every tune is a chord progression in a minor key with a bass line, an
arpeggio, a lead melody from a seeded walk on the scale and a drum beat; the
levels get faster as they get harder.  `music(level_count)` returns a dict
of archive member name -> module bytes.
"""
import modfile

NOTES = ["C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"]
MINOR = [0, 2, 3, 5, 7, 8, 10]


def name(semitone):
    """Note name of a semitone counted from C-1, kept inside C-1 .. B-3."""
    while semitone < 0:
        semitone += 12
    while semitone > 35:
        semitone -= 12
    return NOTES[semitone % 12] + str(1 + semitone // 12)


class Walk:
    def __init__(self, seed):
        self.state = seed

    def next(self, n):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.state >> 8) % n


# Chords as scale degrees (0-based) of the minor scale.
PROGRESSIONS = ([0, 5, 2, 6], [0, 3, 4, 0], [0, 6, 5, 4], [0, 2, 5, 4])


def compose(title, seed, root, bpm, progression, lead_wave="square", length=18):
    song = modfile.Module(title, channels=4)
    lead = song.add_sample(modfile.tone(lead_wave, volume=40, name="lead"))
    arp = song.add_sample(modfile.tone("triangle", volume=30, name="arp"))
    bass = song.add_sample(modfile.tone("saw", volume=52, name="bass"))
    kick = song.add_sample(modfile.drum("kick"))
    snare = song.add_sample(modfile.drum("snare"))
    hihat = song.add_sample(modfile.drum("hihat", volume=28))
    walk = Walk(seed)

    def degree(d):
        octave, step = divmod(d, 7)
        return root + 12 * octave + MINOR[step]

    def chord_bar(p, bar, chord, with_lead, with_arp, fill):
        start = bar * 16
        base = degree(chord)
        for r in range(0, 16, 4):
            p.note(start + r, 1, name(base - 12 if base >= 12 else base), bass)
            p.note(start + r + 2, 1, name(base), bass)
        if with_arp:
            tones = [degree(chord), degree(chord + 2), degree(chord + 4), degree(chord + 2)]
            for r in range(0, 16, 2):
                p.note(start + r + 1, 2, name(tones[(r // 2) % 4] + 12), arp)
        beat = [(0, kick), (4, hihat), (8, snare), (12, hihat)] if not fill else \
            [(0, kick), (4, snare), (6, kick), (8, snare), (10, snare), (12, snare), (14, snare)]
        for r, drum in beat:
            p.note(start + r, 3, "C-2", drum)
        if with_lead:
            pos = walk.next(5)
            r = 0
            while r < 16:
                pos = max(0, min(7, pos + walk.next(5) - 2))
                p.note(start + r, 0, name(degree(chord + pos) + 12), lead)
                r += (2, 2, 4, 4, 6)[walk.next(5)]

    patterns = []
    for kind in range(4):  # intro, theme A, theme B, break
        p = song.add_pattern()
        for bar, chord in enumerate(progression):
            chord_bar(p, bar, chord, with_lead=kind in (1, 2), with_arp=kind != 0,
                      fill=(kind == 3 and bar == 3) or (kind == 2 and bar == 3))
        patterns.append(p)
    song.speed(patterns[0], 6, bpm=bpm, channel=1)
    order = [0, 1, 2, 1, 2, 3]
    while len(order) < length:
        order += [1, 2, 3, 1, 2, 2][:length - len(order)]
    song.order = order
    return song.to_bytes()


def music(level_count):
    out = {"music/menu.mod": compose("quorin menu", 4242, 9, 100, PROGRESSIONS[0], "sine", 24)}
    for n in range(1, level_count + 1):
        out["music/level%d.mod" % n] = compose(
            "quorin level %d" % n, 1000 + n * 77, (n * 5) % 12, 118 + n * 6,
            PROGRESSIONS[n % 4], ("square", "saw", "triangle", "square")[n % 4], 20)
    return out
