"""The ship's motion on a track, step for step as the game runs it, and an
autopilot that drives it along a track's planned line.

The content build uses it to prove every level can be finished by every
ship at several frame rates before the archive is written.
"""
import math
import sys
from fractions import Fraction

CELL = 0.1
COLUMNS = 9
RIGHT_EDGE = COLUMNS * CELL

TILE_IDS = {"0": 0, "s": 0, "S": 1, "X": 2, "F": 3, "f": 4, "C": 5}


def parse_track(text):
    """Grid of tile ids, row by row, as the level reads a track file."""
    cells = [TILE_IDS[ch] for ch in text if ch in TILE_IDS]
    rows = len(cells) // COLUMNS
    return [cells[r * COLUMNS:(r + 1) * COLUMNS] for r in range(rows)]


class Grid:
    def __init__(self, rows):
        self.rows = rows
        self.row_count = len(rows)

    def tile_at(self, column, row):
        if column < 0 or column > COLUMNS - 1 or row < 0 or row >= self.row_count:
            return 0
        return self.rows[row][column]

    def sample(self, p, q):
        return self.tile_at(int(p / CELL), int(q / CELL))


class ShipShape:
    """The physics' view of a ship type: its mesh extents and scale."""

    def __init__(self, name, extent_x, extent_z, scale):
        self.name = name
        self.half_width = extent_x * scale * 0.5
        self.nose = extent_z * scale * 0.65
        self.front = extent_z * scale * 2.5


def step_while(value, step, limit, holds):
    """value -= step, up to limit times, while each subtraction moves the
    value and holds(value) stays true; holds must be true on a range of
    values. Returns (steps taken, value). As the game does it in float, here
    in Python's doubles: between two powers of two a fixed step moves the
    value by a fixed number of units in the last place (a tie to the even
    one), so those steps are taken in one go; near a power of two, from zero
    and for values that are not finite they are taken one by one."""
    taken = 0
    while taken < limit:
        room = 0
        if math.isfinite(value) and math.isfinite(step) and value != 0.0 and step != 0.0:
            negative = value < 0.0
            size, toward = (-value, -step) if negative else (value, step)
            if size < sys.float_info.min:
                unit, low, high = math.ldexp(1.0, -1074), 0, 1 << 52
            else:
                unit, low, high = math.ldexp(1.0, math.frexp(size)[1] - 53), 1 << 52, 1 << 53
            count = int(size / unit)
            units = Fraction(toward) / Fraction(unit)
            delta = math.floor(units)
            part = units - delta
            on_grid = True
            if part > Fraction(1, 2):
                delta += 1
            elif part == Fraction(1, 2):
                if count % 2:
                    on_grid = False
                elif delta % 2:
                    delta += 1
            if on_grid:
                if delta == 0:
                    if low < count < high:
                        return taken, value  # below half a unit: no longer moves
                elif delta > 0:
                    room = (count - low - 1) // delta if count > low else 0
                else:
                    room = (high - 1 - count) // -delta

                def at(n):
                    v = (count - n * delta) * unit
                    return -v if negative else v
        if room <= 0:
            following = value - step
            if following == value or not holds(following):
                return taken, value
            value = following
            taken += 1
            continue
        n = min(room, limit - taken)
        if holds(at(n)):
            value = at(n)
            taken += n
            continue
        good, bad = 0, n
        while bad - good > 1:
            middle = (good + bad) // 2
            if holds(at(middle)):
                good = middle
            else:
                bad = middle
        return taken + good, (at(good) if good else value)
    return taken, value


class Ship:
    # As in the game, a frame's collision passes end only when the ship is
    # clear, has crashed or a pass moved nothing, and runs of identical
    # passes are taken in one go (passes_in_runs): a step that is all that is
    # left of a released key's speed would otherwise take millions of passes.

    def __init__(self, shape, grid, level_speed, jump_count, tile_speed, tick_time):
        self.shape = shape
        self.grid = grid
        self.level_speed = level_speed
        self.jump_count = jump_count
        self.tile_speed = tile_speed  # index 1..4
        self.tick_time = tick_time
        self.score = 0
        self.lives = 2
        self.deaths = 0
        self.crashes = []  # (row, x, jumps left) of every crash
        self.reset()

    def reset(self):
        self.x = COLUMNS * 0.5 * CELL
        self.height = 0.0
        self.distance = 0.0
        self.lateral = 0.0
        self.phase = -1.0
        self.forward = 0.0
        self.fall = 0.0
        self.started = False
        self.clock = -3.0 * self.tick_time
        self.advance = self.tile_speed[2]
        self.jumps = self.jump_count
        self.finished = False
        self.crashed = False
        self.crash_time = 0.0

    def jumping(self):
        return self.phase != -1.0

    def key(self, name, on_jump=None):
        if name == "jump":
            if self.clock >= 0 and self.phase == -1.0 and self.jumps >= 1:
                self.jumps -= 1
                self.phase = 0.0
                if on_jump:
                    on_jump()
        elif name == "right":
            self.lateral = 0.04
        elif name == "left":
            self.lateral = -0.04

    def tile_under(self):
        hw = self.shape.half_width
        if self.x < hw or self.x > RIGHT_EDGE - hw:
            return 0
        return self.grid.sample(self.x, self.distance + self.shape.nose)

    def collide(self):
        hw = self.shape.half_width
        events = []
        corners = ((1, self.x - hw, self.distance), (2, self.x + hw, self.distance),
                   (3, self.x - hw, self.distance + self.shape.front),
                   (4, self.x + hw, self.distance + self.shape.front))
        for corner, p, q in corners:
            tile = self.grid.sample(p, q)
            if corner <= 2:
                if tile == 0 and not self.jumping():
                    events.append((corner, 0))
                elif tile == 5:
                    events.append((corner, 5))
            elif tile == 5:
                events.append((corner, 5))
        if not self.jumping():
            if self.x < hw:
                events.append((1, 0))
            if self.x > RIGHT_EDGE - hw:
                events.append((2, 0))
        return events

    def samples(self, x, distance):
        """The cells and edges collide and tile_under look at."""
        hw = self.shape.half_width
        return (int((x - hw) / CELL), int((x + hw) / CELL), int(x / CELL), int(distance / CELL),
                int((distance + self.shape.front) / CELL), int((distance + self.shape.nose) / CELL),
                x < hw, x > RIGHT_EDGE - hw)

    def collision_pass(self, events, step, frame_advance, game_clock):
        corner, tile = events[0]
        if corner <= 2:
            if not self.jumping() or tile == 5:
                self.x -= step
                self.lateral *= -0.25
        elif tile == 5:
            self.distance -= frame_advance  # again on every pass that finds one
            self.forward = -0.05
        if self.tile_under() == 0 and not self.jumping():
            self.crash_time = game_clock
            self.crashed = True
            self.deaths += 1
            self.crashes.append((round(self.distance / CELL, 1), round(self.x, 3), self.jumps))

    def skip_repeated_passes(self, events, step, frame_advance):
        """Passes that would repeat the next one exactly, taken in one go."""
        corner, tile = events[0]
        sideways = corner <= 2 and (not self.jumping() or tile == 5)
        back = corner >= 3 and tile == 5
        if not (sideways or back) or (not self.jumping() and self.tile_under() == 0):
            return 0
        move = step if sideways else frame_advance
        if move == 0.0 or not all(map(math.isfinite, (move, self.x, self.distance))):
            return 0
        here = self.samples(self.x, self.distance)
        if sideways:
            repeats, self.x = step_while(self.x, move, 1 << 62,
                                         lambda v: self.samples(v, self.distance) == here)
            for done in range(1, repeats + 1):
                self.lateral *= -0.25
                if self.lateral == 0.0:
                    if (repeats - done) % 2:
                        self.lateral = -self.lateral  # each further pass flips zero's sign
                    break
        else:
            repeats, self.distance = step_while(self.distance, move, 1 << 62,
                                                lambda v: self.samples(self.x, v) == here)
            if repeats:
                self.forward = -0.05
        return repeats

    def collision_passes(self, events, step, frame_advance, game_clock, in_runs=True):
        """Resolves the first contact and looks again, until the ship is
        clear, has crashed or a pass moved nothing; returns the passes."""
        passes = 0
        while not self.crashed:
            if in_runs:
                passes += self.skip_repeated_passes(events, step, frame_advance)
            old = (self.x, self.distance)
            self.collision_pass(events, step, frame_advance, game_clock)
            passes += 1
            events = self.collide()
            if not events:
                break
            if not self.crashed and (self.x, self.distance) == old:
                break  # the same contact would come back unchanged
        return passes

    def update(self, dt, game_clock, in_runs=True):
        if self.started:
            self.clock += dt
        self.started = True
        if self.crashed:
            self.height += self.fall
            self.fall -= dt * 0.003
            if self.crash_time + 2.0 < game_clock:
                self.lives -= 1
                if self.lives >= 0:
                    self.reset()
                else:
                    self.lives = -1
            return
        step = dt * self.lateral * 8.0
        self.x += step
        frame_advance = 0.0  # only this frame's advance can be taken back
        if self.clock >= 0:
            self.advance = self.level_speed * self.forward * dt
            self.distance += self.advance
            frame_advance = self.advance
            self.score = int(self.distance) * 16
        if int((self.distance + self.shape.nose) / CELL) >= self.grid.row_count:
            self.finished = True
            return
        if self.phase != -1.0:
            self.phase += dt * 1.5
            self.height = math.sin(self.phase) * 0.025
            if self.height < 0:
                self.phase = -1.0
                self.height = 0.0
        events = self.collide()
        if events:
            self.collision_passes(events, step, frame_advance, game_clock, in_runs)
        if not self.jumping():
            t = self.tile_under()
            if t != 0 and t != 5:
                self.forward = self.tile_speed[t]
        self.lateral -= self.lateral * 0.1
        self.forward += (self.tile_speed[2] - self.forward) * 0.01


class Autopilot:
    """Drives along the planned line of a track: `lanes[r]` is the range of
    columns (lo, hi) the ship's centre should keep to on row r; `None` marks a
    row to be crossed in the air."""

    def __init__(self, ship, lanes, lookahead=2.5):
        self.ship = ship
        self.lanes = lanes
        self.lookahead = lookahead

    def _lane(self, row):
        if row < 0:
            row = 0
        if row >= len(self.lanes):
            return (0, COLUMNS - 1)
        return self.lanes[row]

    def keys(self, dt):
        ship = self.ship
        shape = ship.shape
        speed = max(0.3, ship.level_speed * max(ship.forward, 0.5))
        keys = []
        # Jump just before the rear corners reach a row that must be flown.
        if not ship.jumping() and ship.clock >= 0:
            reach = ship.distance + speed * dt * 3 + 0.02
            if self._lane(int(reach / CELL)) is None:
                keys.append("jump")
        # Keep inside every lane from the rear corners on; beyond the first
        # row that the current lanes cannot share, lean toward that row's lane.
        first = int(ship.distance / CELL)
        last = int((ship.distance + shape.front + speed * self.lookahead) / CELL)
        margin = shape.half_width + 0.012
        lo_b, hi_b = 0.0, RIGHT_EDGE
        ahead = None
        for r in range(first, last + 1):
            lane = self._lane(r)
            if lane is None:
                continue
            lo = lane[0] * CELL + margin
            hi = (lane[1] + 1) * CELL - margin
            if max(lo_b, lo) > min(hi_b, hi):
                ahead = (lo + hi) / 2
                break
            lo_b, hi_b = max(lo_b, lo), min(hi_b, hi)
        if ahead is not None:
            target = min(max(ahead, lo_b + 0.01), hi_b - 0.01)
            band = (target - 0.01, target + 0.01)
        elif hi_b - lo_b < 0.03:
            band = ((lo_b + hi_b) / 2 - 0.01, (lo_b + hi_b) / 2 + 0.01)
        else:
            band = (lo_b + 0.01, hi_b - 0.01)
        # Hold a key while the ship, left to coast from here, would stop
        # short of the band.
        stop = ship.x + ship.lateral * 8.0 * dt * 9.0
        if stop < band[0]:
            keys.append("right")
        elif stop > band[1]:
            keys.append("left")
        return keys


def drive(shape, grid, lanes, level_speed, jump_count, tile_speed, tick_time, dt, limit=300.0):
    """Races one ship along the plan; returns the ship once it has finished,
    is out for good or the time limit has run out, and the seconds taken."""
    ship = Ship(shape, grid, level_speed, jump_count, tile_speed, tick_time)
    pilot = Autopilot(ship, lanes)
    clock = 0.0
    while clock < limit:
        for k in pilot.keys(dt):
            ship.key(k)
        clock += dt
        ship.update(dt, clock)
        if ship.finished or (ship.crashed and ship.lives < 0):
            break
    return ship, clock
