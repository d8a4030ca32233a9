"""Paints every picture of the game's archive.

All pictures are power-of-two PNG files, made from seeded noise, gradients
and simple shapes, so each run gives the same bytes.  `pictures()` returns a
dict of archive member name -> PNG bytes.
"""
import math

import pngfile


# ---------------------------------------------------------------- noise

def _hash(ix, iy, seed):
    h = (ix * 374761393 + iy * 668265263 + seed * 2246822519) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0


class Noise:
    """Tileable value noise: `period` lattice cells across the picture."""

    def __init__(self, seed, periods, size):
        self.size = size
        self.layers = []
        for octave, period in enumerate(periods):
            grid = [[_hash(x, y, seed * 31 + octave) for x in range(period)] for y in range(period)]
            self.layers.append((period, grid, 0.5 ** octave))
        self.total = sum(w for _, _, w in self.layers)

    def at(self, x, y):
        value = 0.0
        for period, grid, weight in self.layers:
            fx = x * period / self.size
            fy = y * period / self.size
            x0, y0 = int(fx), int(fy)
            tx, ty = fx - x0, fy - y0
            tx = tx * tx * (3 - 2 * tx)
            ty = ty * ty * (3 - 2 * ty)
            x0 %= period
            y0 %= period
            x1, y1 = (x0 + 1) % period, (y0 + 1) % period
            top = grid[y0][x0] + (grid[y0][x1] - grid[y0][x0]) * tx
            bottom = grid[y1][x0] + (grid[y1][x1] - grid[y1][x0]) * tx
            value += (top + (bottom - top) * ty) * weight
        return value / self.total


def _mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def _scale(c, k):
    return tuple(v * k for v in c)


def _clamp(c):
    return tuple(max(0, min(255, int(round(v)))) for v in c)


# ---------------------------------------------------------------- themes

class Theme:
    def __init__(self, seed, sky_top, sky_bottom, nebula, cloud, accent, pattern):
        self.seed = seed
        self.sky_top = sky_top
        self.sky_bottom = sky_bottom
        self.nebula = nebula
        self.cloud = cloud
        self.accent = accent
        self.pattern = pattern


THEMES = {
    "menu": Theme(90, (2, 3, 12), (18, 22, 60), (60, 40, 120), (50, 60, 110), (120, 140, 255), 0),
    "level1": Theme(11, (4, 10, 40), (20, 90, 120), (30, 140, 170), (40, 90, 110), (90, 200, 230), 0),
    "level2": Theme(12, (20, 4, 36), (140, 40, 100), (200, 60, 140), (100, 40, 80), (240, 110, 170), 1),
    "level3": Theme(13, (2, 18, 12), (20, 90, 60), (40, 160, 100), (40, 90, 60), (110, 230, 150), 2),
    "level4": Theme(14, (24, 2, 2), (150, 50, 10), (220, 90, 20), (110, 50, 20), (255, 140, 60), 3),
    "level5": Theme(15, (4, 8, 30), (120, 160, 210), (170, 210, 255), (80, 100, 130), (200, 230, 255), 1),
    "level6": Theme(16, (20, 10, 2), (150, 110, 30), (230, 170, 50), (100, 80, 30), (255, 210, 90), 2),
    "level7": Theme(17, (6, 6, 10), (60, 40, 90), (130, 80, 200), (60, 50, 90), (180, 140, 255), 3),
    "level8": Theme(18, (0, 0, 2), (30, 6, 40), (160, 20, 40), (70, 20, 40), (255, 60, 80), 0),
}

# Floor colours by speed, the same in every level so players learn them.
SPEED_COLOURS = {
    "slow": (200, 120, 30),
    "normal": (95, 110, 135),
    "fast": (40, 170, 80),
    "veryFast": (40, 190, 220),
}
SPEED_CHEVRONS = {"slow": 0, "normal": 1, "fast": 2, "veryFast": 3}


# ---------------------------------------------------------------- painters

def sky(theme, size=256):
    """Gradient sky with a nebula and a starfield."""
    noise = Noise(theme.seed, (3, 6, 12, 24), size)
    rows = []
    for y in range(size):
        t = y / (size - 1)
        base = _mix(theme.sky_top, theme.sky_bottom, t * t)
        row = []
        for x in range(size):
            n = noise.at(x, y)
            glow = max(0.0, n - 0.45) * 2.2
            row.append(_mix(base, theme.nebula, min(1.0, glow * glow)))
        rows.append(row)
    # Stars: a seeded scatter of points, a few of them bright with a halo.
    for i in range(size * 3):
        sx = int(_hash(i, 1, theme.seed) * size) % size
        sy = int(_hash(i, 2, theme.seed) * size) % size
        b = _hash(i, 3, theme.seed)
        bright = 120 + 135 * b * b
        rows[sy][sx] = _clamp(_mix(rows[sy][sx], (bright, bright, bright * 0.95 + 12), 0.9))
        if b > 0.93:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                px, py = (sx + dx) % size, (sy + dy) % size
                rows[py][px] = _clamp(_mix(rows[py][px], (255, 255, 240), 0.45))
    return [[_clamp(p) for p in row] for row in rows]


def menu_sky(theme, size=256):
    """The menu's sky: the starfield with a ringed planet."""
    rows = sky(theme, size)
    cx, cy, r = size * 0.8, size * 0.22, size * 0.13
    light = (-0.6, -0.5, 0.62)
    for y in range(size):
        for x in range(size):
            dx, dy = (x - cx) / r, (y - cy) / r
            d2 = dx * dx + dy * dy
            ring = abs(dy * 3.2 + dx * 0.9)
            ring_r = math.hypot(dx, (dy - dx * 0.28) * 4.0)
            in_ring = 1.25 < ring_r < 1.75 and ring < 3.0
            if in_ring and dy - dx * 0.28 > 0:
                rows[y][x] = _clamp(_mix(rows[y][x], (200, 180, 230), 0.75))  # near side
            elif d2 < 1.0:
                dz = math.sqrt(1.0 - d2)
                shade = max(0.0, dx * light[0] + dy * light[1] + dz * light[2])
                band = 0.5 + 0.5 * math.sin(dy * 11.0 + math.sin(dx * 3.0))
                colour = _mix((70, 50, 140), (160, 120, 220), band)
                rows[y][x] = _clamp(_scale(colour, 0.15 + 0.95 * shade))
            elif in_ring:
                rows[y][x] = _clamp(_mix(rows[y][x], (200, 180, 230), 0.5))
    return rows


def clouds(theme, size=128):
    """Tileable wisps, dim, drawn additively over the sky."""
    noise = Noise(theme.seed + 7, (4, 8, 16, 32), size)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            n = noise.at(x, y)
            k = max(0.0, (n - 0.42) / 0.58)
            k = k * k * 1.6
            c = _scale(theme.cloud, k)
            row.append(_clamp(c + (min(255, k * 255),)))
        rows.append(row)
    return rows


def envmap(theme, size=128):
    """Sphere map: sky above a bright horizon, dark ground below, a sun."""
    rows = []
    c = (size - 1) / 2.0
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = (x - c) / c, (y - c) / c
            d = math.hypot(dx, dy)
            if d > 1.0:
                row.append(_clamp(theme.sky_bottom))
                continue
            if dy < 0:
                colour = _mix(theme.accent, theme.sky_top, min(1.0, -dy * 1.4))
            else:
                colour = _mix((230, 230, 240), _scale(theme.sky_bottom, 0.35), min(1.0, dy * 2.5))
            sun = math.hypot(dx + 0.35, dy + 0.4)
            if sun < 0.25:
                colour = _mix(colour, (255, 255, 245), 1.0 - sun / 0.25)
            row.append(_clamp(colour))
        rows.append(row)
    return rows


def _bevel(x, y, size, width):
    """+1 on the lit top and left border, -1 on the bottom and right one."""
    if x < width or y < width:
        return 1 if x + y < size else -1
    if x >= size - width or y >= size - width:
        return -1
    return 0


def tile(theme, speed, size=64):
    """A floor panel: bevelled edges, a surface pattern, speed chevrons."""
    base = _mix(SPEED_COLOURS[speed], theme.accent, 0.18)
    noise = Noise(theme.seed * 5 + SPEED_CHEVRONS[speed], (8, 16), size)
    chevrons = SPEED_CHEVRONS[speed]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            c = _scale(base, 0.82 + 0.3 * noise.at(x, y))
            bevel = _bevel(x, y, size, 3)
            if bevel > 0:
                c = _mix(c, (255, 255, 255), 0.35)
            elif bevel < 0:
                c = _scale(c, 0.45)
            else:
                if theme.pattern == 1 and (x - 8) % 48 < 3 and (y - 8) % 48 < 3:
                    c = _scale(c, 0.55)  # rivets
                elif theme.pattern == 2 and (x + y) % 16 < 2:
                    c = _scale(c, 0.85)  # diagonal brushing
                elif theme.pattern == 3 and (x % 32 == 0 or y % 32 == 0):
                    c = _scale(c, 0.7)  # panel seams
            # Chevrons point up the picture, which is ahead on the track.
            if chevrons == 0:
                if 14 <= x < size - 14 and any(abs(y - (size // 2 + o)) < 2 for o in (-8, 0, 8)):
                    c = _mix(c, (40, 20, 5), 0.6)
            else:
                for k in range(chevrons):
                    cy = size // 2 + (k - (chevrons - 1) / 2.0) * 14 - 4
                    dist = (y - cy) - abs(x - size / 2) * 0.7
                    if 0 <= dist < 5 and abs(x - size / 2) < size * 0.32:
                        c = _mix(c, (255, 255, 230), 0.75)
            row.append(_clamp(c))
        rows.append(row)
    return rows


def cube(theme, size=64):
    """Obstacle face: dark plate framed by hazard stripes."""
    noise = Noise(theme.seed * 3 + 1, (8, 16), size)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            edge = min(x, y, size - 1 - x, size - 1 - y)
            if edge < 8:
                stripe = ((x + y) // 6) % 2 == 0
                c = (240, 200, 30) if stripe else (30, 25, 20)
                if edge < 2:
                    c = _scale(c, 0.6)
            else:
                c = _mix((45, 45, 55), theme.accent, 0.15)
                c = _scale(c, 0.8 + 0.4 * noise.at(x, y))
                if abs(x - y) < 3 or abs(x + y - size + 1) < 3:
                    c = _mix(c, (110, 110, 125), 0.6)
            row.append(_clamp(c))
        rows.append(row)
    return rows


def detail(size=64):
    """Grey detail layer, near white, modulated over every tile."""
    noise = Noise(5, (16, 32), size)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            v = 205 + 50 * noise.at(x, y)
            if x in (0, size - 1) or y in (0, size - 1):
                v -= 60
            row.append(_clamp((v, v, v)))
        rows.append(row)
    return rows


def hud(width=64, height=32):
    """Top bar, drawn multiplied over the view: a dark glass strip."""
    rows = []
    for y in range(height):
        t = y / (height - 1)
        row = []
        for x in range(width):
            v = 60 + 70 * t
            c = (v * 0.8, v * 0.9, v * 1.2)
            if y >= height - 3:
                c = (200, 220, 255)
            elif (x % 16) == 0 and y > 4:
                c = _scale(c, 0.7)
            row.append(_clamp(c))
        rows.append(row)
    return rows


def cursor(size=32):
    """Menu cursor: a glowing arrowhead pointing right on pure black."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            u = (x - 4) / (size - 8)
            v = abs(y - (size - 1) / 2.0) / ((size - 8) / 2.0)
            inside = 0 <= u <= 1 and v <= 1 - u
            if inside:
                edge = min(1 - u - v, u) * (size - 8)
                k = min(1.0, edge / 4.0)
                c = _mix((255, 140, 30), (255, 250, 200), k)
                row.append(_clamp(c))
            else:
                row.append((0, 0, 0))
        rows.append(row)
    return rows


# ---------------------------------------------------------------- archive

LEVEL_TILES = (("slow", "slow"), ("normal", "normal"), ("fast", "fast"), ("veryFast", "veryfast"))


def pictures(level_count):
    out = {}

    def put(name, rows, alpha=False):
        out[name] = pngfile.encode(len(rows[0]), len(rows), rows, alpha)

    put("pictures/hud.png", hud())
    put("pictures/detail.png", detail())
    menu = THEMES["menu"]
    put("menu/background.png", menu_sky(menu))
    put("menu/clouds.png", clouds(menu), alpha=True)
    put("menu/cursor.png", cursor())
    put("menu/envmap.png", envmap(menu))
    for n in range(1, level_count + 1):
        theme = THEMES["level%d" % n]
        base = "levels/level%d/" % n
        put(base + "background.png", sky(theme))
        put(base + "clouds.png", clouds(theme), alpha=True)
        put(base + "envmap.png", envmap(theme))
        for speed, file in LEVEL_TILES:
            put(base + file + ".png", tile(theme, speed))
        put(base + "cube.png", cube(theme))
    return out


if __name__ == "__main__":
    import os
    import sys
    target = sys.argv[1] if len(sys.argv) > 1 else "pictures-preview"
    for name, data in sorted(pictures(8).items()):
        path = os.path.join(target, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
