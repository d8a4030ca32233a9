#!/usr/bin/env python3
"""Write Quorin mesh files: binary ".cmsh" and XML ".msh".

Both formats hold one mesh: its vertices, its triangles (three vertex
indices each, in drawing order) and its parts ("submeshes"), each part a
contiguous run of triangles with an optional stage-0 texture named by its
path in the data archive.

API
---
Vertex(position=(x, y, z), normal=(x, y, z), color=0xFFFFFFFF, texel=(u, v))
    One vertex.  `color` is the 32-bit word 0xAARRGGBB.  The XML format has
    no alpha: it stores red, green and blue only, and the engine reads the
    word back as 0x00RRGGBB.  Plain tuples (position, normal, color, texel)
    are accepted wherever a Vertex is.

SubMesh(first_triangle, triangle_count, first_vertex, vertex_count, texture="")
    One part: triangles first_triangle .. first_triangle + triangle_count - 1,
    using vertices first_vertex .. first_vertex + vertex_count - 1.
    `texture` is the archive path of the part's texture; "" means none.
    Plain tuples in this field order are accepted too.

whole_mesh(vertices, triangles, texture="") -> [SubMesh]
    One part covering every triangle and vertex.

cmsh_bytes(vertices, triangles, submeshes=None) -> bytes
msh_text(vertices, triangles, submeshes=None) -> str
    The file contents.  With submeshes None the mesh gets one part without
    texture (whole_mesh).

write_cmsh(path, vertices, triangles, submeshes=None)
write_msh(path, vertices, triangles, submeshes=None)
    Write the file.

Both writers check what the engine checks: every index lies below the
vertex count, every part's triangle and vertex run lies inside the mesh,
and (binary) a texture path fits in 259 bytes.  A ValueError names the
first problem.

Run as a script it writes a small textured cube in both formats:
    python3 tools/meshfile.py OUTDIR [TEXTURE]

Binary layout (little-endian)
-----------------------------
header, 28 bytes: 6 bytes tag (written "CMSH\\0\\0", not read by the engine),
  u16 part record size (276), u16 vertex record size (36),
  u16 triangle record size (12), u16 version major (1), u16 minor (0),
  i32 part count, i32 vertex count, i32 triangle count;
part record: u32 first triangle, u32 triangles, u32 first vertex,
  u32 vertices, char[260] NUL-terminated texture path;
vertex record: 3 f32 position, 3 f32 normal, u32 colour, 2 f32 texel;
triangle record: 3 u32 vertex indices.
"""

import struct
import sys
from collections import namedtuple
from xml.sax.saxutils import quoteattr

__all__ = ["Vertex", "SubMesh", "whole_mesh", "cmsh_bytes", "msh_text",
           "write_cmsh", "write_msh"]

_VertexBase = namedtuple("Vertex", "position normal color texel")


class Vertex(_VertexBase):
    __slots__ = ()

    def __new__(cls, position=(0.0, 0.0, 0.0), normal=(0.0, 0.0, 1.0),
                color=0xFFFFFFFF, texel=(0.0, 0.0)):
        return _VertexBase.__new__(cls, tuple(position), tuple(normal),
                                   int(color), tuple(texel))


_SubMeshBase = namedtuple(
    "SubMesh", "first_triangle triangle_count first_vertex vertex_count texture")


class SubMesh(_SubMeshBase):
    __slots__ = ()

    def __new__(cls, first_triangle, triangle_count, first_vertex,
                vertex_count, texture=""):
        return _SubMeshBase.__new__(cls, int(first_triangle),
                                    int(triangle_count), int(first_vertex),
                                    int(vertex_count), str(texture))


PART_RECORD_SIZE = 276
VERTEX_RECORD_SIZE = 36
TRIANGLE_RECORD_SIZE = 12
TEXTURE_NAME_SIZE = 260


def whole_mesh(vertices, triangles, texture=""):
    return [SubMesh(0, len(triangles), 0, len(vertices), texture)]


def _prepare(vertices, triangles, submeshes):
    verts = [v if isinstance(v, Vertex) else Vertex(*v) for v in vertices]
    tris = [tuple(int(i) for i in t) for t in triangles]
    if submeshes is None:
        submeshes = whole_mesh(verts, tris)
    parts = [p if isinstance(p, SubMesh) else SubMesh(*p) for p in submeshes]
    for n, t in enumerate(tris):
        if len(t) != 3:
            raise ValueError("triangle %d has %d indices, not 3" % (n, len(t)))
        for i in t:
            if not 0 <= i < len(verts):
                raise ValueError("triangle %d uses vertex %d of %d"
                                 % (n, i, len(verts)))
    for n, p in enumerate(parts):
        if (p.first_triangle < 0 or p.triangle_count < 0
                or p.first_triangle + p.triangle_count > len(tris)):
            raise ValueError("part %d: triangles %d+%d outside %d"
                             % (n, p.first_triangle, p.triangle_count, len(tris)))
        if (p.first_vertex < 0 or p.vertex_count < 0
                or p.first_vertex + p.vertex_count > len(verts)):
            raise ValueError("part %d: vertices %d+%d outside %d"
                             % (n, p.first_vertex, p.vertex_count, len(verts)))
        for t in tris[p.first_triangle:p.first_triangle + p.triangle_count]:
            for i in t:
                if not p.first_vertex <= i < p.first_vertex + p.vertex_count:
                    raise ValueError("part %d uses vertex %d outside its run"
                                     % (n, i))
    return verts, tris, parts


def cmsh_bytes(vertices, triangles, submeshes=None):
    verts, tris, parts = _prepare(vertices, triangles, submeshes)
    out = bytearray()
    out += b"CMSH\0\0"
    out += struct.pack("<5H3i", PART_RECORD_SIZE, VERTEX_RECORD_SIZE,
                       TRIANGLE_RECORD_SIZE, 1, 0,
                       len(parts), len(verts), len(tris))
    for n, p in enumerate(parts):
        name = p.texture.encode("latin-1")
        if len(name) >= TEXTURE_NAME_SIZE or b"\0" in name:
            raise ValueError("part %d: texture path too long or holds NUL" % n)
        out += struct.pack("<4I", p.first_triangle, p.triangle_count,
                           p.first_vertex, p.vertex_count)
        out += name.ljust(TEXTURE_NAME_SIZE, b"\0")
    for v in verts:
        out += struct.pack("<6fI2f", *v.position, *v.normal,
                           v.color & 0xFFFFFFFF, *v.texel)
    for t in tris:
        out += struct.pack("<3I", *t)
    return bytes(out)


def _f(x):
    return repr(float(x))


def msh_text(vertices, triangles, submeshes=None):
    verts, tris, parts = _prepare(vertices, triangles, submeshes)
    lines = ['<?xml version="1.0" encoding="ISO-8859-1"?>', "<mesh>"]
    lines.append('  <materials count="%d">' % len(parts))
    for n, p in enumerate(parts):
        lines.append('    <material index="%d">' % n)
        lines.append('      <triangle start="%d" count="%d"/>'
                     % (p.first_triangle, p.triangle_count))
        lines.append('      <vertex start="%d" count="%d"/>'
                     % (p.first_vertex, p.vertex_count))
        if p.texture:
            lines.append("      <texture filename=%s/>" % quoteattr(p.texture))
        lines.append("    </material>")
    lines.append("  </materials>")
    lines.append('  <vertices count="%d">' % len(verts))
    for n, v in enumerate(verts):
        c = v.color
        lines.append(
            '    <vertice index="%d"><position x="%s" y="%s" z="%s"/>'
            '<normal x="%s" y="%s" z="%s"/><color r="%d" g="%d" b="%d"/>'
            '<texel u="%s" v="%s"/></vertice>'
            % (n, _f(v.position[0]), _f(v.position[1]), _f(v.position[2]),
               _f(v.normal[0]), _f(v.normal[1]), _f(v.normal[2]),
               (c >> 16) & 255, (c >> 8) & 255, c & 255,
               _f(v.texel[0]), _f(v.texel[1])))
    lines.append("  </vertices>")
    lines.append('  <triangles count="%d">' % len(tris))
    for n, t in enumerate(tris):
        lines.append('    <triangle index="%d"><vertices vert1="%d" vert2="%d"'
                     ' vert3="%d"/></triangle>' % (n, t[0], t[1], t[2]))
    lines.append("  </triangles>")
    lines.append("</mesh>")
    return "\n".join(lines) + "\n"


def write_cmsh(path, vertices, triangles, submeshes=None):
    data = cmsh_bytes(vertices, triangles, submeshes)
    with open(path, "wb") as f:
        f.write(data)


def write_msh(path, vertices, triangles, submeshes=None):
    text = msh_text(vertices, triangles, submeshes)
    with open(path, "w", encoding="latin-1", newline="\n") as f:
        f.write(text)


def _cube(texture=""):
    """A unit cube centred on the origin, four vertices per face."""
    faces = [((1, 0, 0), (0, 0, -1), (0, 1, 0)), ((-1, 0, 0), (0, 0, 1), (0, 1, 0)),
             ((0, 1, 0), (1, 0, 0), (0, 0, -1)), ((0, -1, 0), (1, 0, 0), (0, 0, 1)),
             ((0, 0, 1), (1, 0, 0), (0, 1, 0)), ((0, 0, -1), (-1, 0, 0), (0, 1, 0))]
    verts, tris = [], []
    for n, u, v in faces:
        base = len(verts)
        for su, sv in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
            p = tuple(0.5 * (n[i] + su * u[i] + sv * v[i]) for i in range(3))
            verts.append(Vertex(p, n, 0xFFFFFFFF, ((su + 1) / 2, (sv + 1) / 2)))
        tris += [(base, base + 1, base + 2), (base, base + 2, base + 3)]
    return verts, tris, whole_mesh(verts, tris, texture)


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: meshfile.py OUTDIR [TEXTURE]")
    import os
    out_dir = sys.argv[1]
    verts, tris, parts = _cube(sys.argv[2] if len(sys.argv) == 3 else "")
    write_cmsh(os.path.join(out_dir, "cube.cmsh"), verts, tris, parts)
    write_msh(os.path.join(out_dir, "cube.msh"), verts, tris, parts)
