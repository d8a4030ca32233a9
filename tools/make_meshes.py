"""Models the three ships, written with meshfile.py.

Each ship is about one unit long, nose toward -z, y up, x across; the game
scales it down (the "scale" of its ship type).  Parts are lofts (rings of
cross-sections along z) and prisms (a polygon in the x-z plane given a
thickness), flat-shaded with one colour per part, so the environment map
shows facets.  `meshes()` returns a dict of archive member name -> bytes and
`extents()` the box size of each ship mesh, which the track check uses.
"""
import math

import meshfile


def _sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def _cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def _dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def _unit(a):
    n = math.sqrt(_dot(a, a))
    return (a[0] / n, a[1] / n, a[2] / n)


class Part:
    """Triangles of one colour, each wound counter-clockwise seen from
    outside the part (its normal points away from the part's inside)."""

    def __init__(self, colour):
        self.colour = colour
        self.triangles = []

    def triangle(self, a, b, c, inside):
        n = _cross(_sub(b, a), _sub(c, a))
        if _dot(n, n) < 1e-12:
            return
        centre = ((a[0] + b[0] + c[0]) / 3, (a[1] + b[1] + c[1]) / 3, (a[2] + b[2] + c[2]) / 3)
        if _dot(n, _sub(centre, inside)) < 0:
            b, c = c, b
        self.triangles.append((a, b, c))

    def quad(self, a, b, c, d, inside):
        self.triangle(a, b, c, inside)
        self.triangle(a, c, d, inside)


def loft(colour, rings, x=0.0, y=0.0):
    """rings: [(z, [(x, y), ...])] from nose to tail, the same number of
    points on every ring, going round the section."""
    part = Part(colour)
    points = [[(px + x, py + y, z) for px, py in ring] for z, ring in rings]
    centres = []
    for z, ring in rings:
        cx = sum(p[0] for p in ring) / len(ring) + x
        cy = sum(p[1] for p in ring) / len(ring) + y
        centres.append((cx, cy, z))
    for i in range(len(points) - 1):
        inside = ((centres[i][0] + centres[i + 1][0]) / 2, (centres[i][1] + centres[i + 1][1]) / 2,
                  (centres[i][2] + centres[i + 1][2]) / 2)
        a, b = points[i], points[i + 1]
        k = len(a)
        for j in range(k):
            part.quad(a[j], a[(j + 1) % k], b[(j + 1) % k], b[j], inside)
    for ring, centre, outward in ((points[0], centres[0], -1), (points[-1], centres[-1], 1)):
        inside = (centre[0], centre[1], centre[2] - outward * 0.05)
        for j in range(1, len(ring) - 1):
            part.triangle(ring[0], ring[j], ring[j + 1], inside)
    return part


def prism(colour, outline, y0, y1):
    """A flat plate: `outline` is a convex polygon of (x, z) points."""
    part = Part(colour)
    cx = sum(p[0] for p in outline) / len(outline)
    cz = sum(p[1] for p in outline) / len(outline)
    inside = (cx, (y0 + y1) / 2, cz)
    low = [(px, y0, pz) for px, pz in outline]
    high = [(px, y1, pz) for px, pz in outline]
    k = len(outline)
    for j in range(1, k - 1):
        part.triangle(low[0], low[j], low[j + 1], inside)
        part.triangle(high[0], high[j], high[j + 1], inside)
    for j in range(k):
        part.quad(low[j], low[(j + 1) % k], high[(j + 1) % k], high[j], inside)
    return part


def section(width, height, lift=0.0):
    """A hexagonal cross-section, flat at the belly."""
    w, h = width / 2, height / 2
    return [(-w, lift), (-w * 0.6, h + lift), (w * 0.6, h + lift), (w, lift), (w * 0.5, -h * 0.6 + lift),
            (-w * 0.5, -h * 0.6 + lift)]


def mirrored(outline):
    return [(-px, pz) for px, pz in reversed(outline)]


def faucon():
    """Light arrow with swept wings: narrow and short."""
    hull = loft(0xFFC8CCD8, [(-0.5, [(0, 0)] * 6), (-0.25, section(0.12, 0.08)),
                             (0.15, section(0.22, 0.14)), (0.5, section(0.18, 0.1))])
    cockpit = loft(0xFF3070C0, [(-0.22, [(0, 0.06)] * 6), (-0.08, section(0.1, 0.08, 0.08)),
                                (0.12, section(0.1, 0.06, 0.07))])
    wing = [(-0.08, -0.1), (-0.08, 0.45), (-0.35, 0.5), (-0.33, 0.38)]
    left = prism(0xFFB03030, wing, -0.015, 0.015)
    right = prism(0xFFB03030, mirrored(wing), -0.015, 0.015)
    fin = loft(0xFFB03030, [(0.2, [(0, 0.05), (0.01, 0.05), (-0.01, 0.05)]),
                            (0.48, [(0, 0.2), (0.01, 0.05), (-0.01, 0.05)])])
    engine = loft(0xFF404048, [(0.35, section(0.1, 0.08)), (0.5, section(0.12, 0.1))])
    return [hull, cockpit, left, right, fin, engine]


def mistral():
    """Twin hulls joined by a broad wing: wide and steady."""
    pods = []
    for side in (-1, 1):
        pods.append(loft(0xFF2E8F5A, [(-0.5, [(0, 0)] * 6), (-0.3, section(0.12, 0.1)),
                                      (0.3, section(0.16, 0.13)), (0.5, section(0.12, 0.1))],
                         x=side * 0.37))
    bridge = prism(0xFFD8D8D0, [(-0.34, -0.05), (0.34, -0.05), (0.34, 0.35), (-0.34, 0.35)], -0.02, 0.02)
    body = loft(0xFFD8D8D0, [(-0.35, [(0, 0.02)] * 6), (-0.1, section(0.14, 0.1, 0.03)),
                             (0.3, section(0.18, 0.12, 0.03)), (0.45, section(0.12, 0.08, 0.03))])
    cockpit = loft(0xFFE0B020, [(-0.2, [(0, 0.08)] * 6), (-0.05, section(0.1, 0.07, 0.1)),
                                (0.15, section(0.09, 0.05, 0.09))])
    return pods + [bridge, body, cockpit]


def titan():
    """Heavy freighter: a broad block with side fins and big engines."""
    hull = loft(0xFF8A7A66, [(-0.55, section(0.2, 0.1)), (-0.35, section(0.5, 0.22)),
                             (0.35, section(0.56, 0.26)), (0.55, section(0.5, 0.22))])
    bridge = loft(0xFF303848, [(-0.3, [(0, 0.12)] * 6), (-0.15, section(0.22, 0.08, 0.15)),
                               (0.2, section(0.26, 0.08, 0.15))])
    fins = [prism(0xFFC06020, outline, -0.02, 0.02)
            for outline in ([(-0.28, -0.1), (-0.28, 0.45), (-0.5, 0.5), (-0.5, 0.15)],
                            mirrored([(-0.28, -0.1), (-0.28, 0.45), (-0.5, 0.5), (-0.5, 0.15)]))]
    engines = [loft(0xFF505058, [(0.3, section(0.14, 0.12)), (0.55, section(0.16, 0.14))], x=side * 0.16)
               for side in (-1, 1)]
    return [hull, bridge] + fins + engines


def build(parts):
    """meshfile vertices, triangles and sub-meshes, one sub-mesh per part."""
    vertices, triangles, submeshes = [], [], []
    for part in parts:
        first_vertex, first_triangle = len(vertices), len(triangles)
        for a, b, c in part.triangles:
            n = _unit(_cross(_sub(b, a), _sub(c, a)))
            base = len(vertices)
            for p in (a, b, c):
                vertices.append(meshfile.Vertex(p, n, part.colour, (p[0] + 0.5, p[2] + 0.5)))
            triangles.append((base, base + 1, base + 2))
        submeshes.append(meshfile.SubMesh(first_triangle, len(triangles) - first_triangle,
                                          first_vertex, len(vertices) - first_vertex))
    return vertices, triangles, submeshes


SHIPS = (("ships/faucon.cmsh", faucon), ("ships/mistral.msh", mistral), ("ships/titan.cmsh", titan))


def meshes():
    out = {}
    for name, model in SHIPS:
        vertices, triangles, submeshes = build(model())
        if name.endswith(".cmsh"):
            out[name] = meshfile.cmsh_bytes(vertices, triangles, submeshes)
        else:
            out[name] = meshfile.msh_text(vertices, triangles, submeshes).encode("latin-1")
    return out


def extents():
    """Box size (x, y, z) of every ship mesh, by member name."""
    out = {}
    for name, model in SHIPS:
        vertices, _, _ = build(model())
        out[name] = tuple(max(v.position[i] for v in vertices) - min(v.position[i] for v in vertices)
                          for i in range(3))
    return out
