#!/usr/bin/python3
"""The independent side of the DXF tests, on ezdxf.

  dxf_peer.py make FOLDER   writes DXF files made by ezdxf's own writer into
                            FOLDER, each with a NAME.expect file: the faces
                            ezdxf itself finds in the file, in world
                            coordinates (block references exploded by ezdxf).
  dxf_peer.py dump FILE     reads FILE with ezdxf (and audits it) and prints
                            its layers and faces.

Face lines read "face LAYER COLOUR x,y,z;x,y,z;..." with corners in the
file's order, rotated to start at the smallest corner text, each coordinate
"%.4f". COLOUR is the resolved colour number (by-layer resolved through the
layer table, made positive), 0 without one. Exit code 77 when ezdxf is
missing, so that the caller can skip.
"""
import math
import sys

try:
    import ezdxf
except ImportError:
    print("ezdxf is not installed", file=sys.stderr)
    sys.exit(77)


def fmt(v):
    return "%.4f" % (0.0 if abs(v) < 5e-5 else v)


def canonical(points):
    corners = [",".join(fmt(c) for c in p) for p in points]
    start = corners.index(min(corners))
    return ";".join(corners[start:] + corners[:start])


def resolved_colour(doc, entity):
    colour = entity.dxf.get("color", 256)
    if colour in (0, 256):
        layer = doc.layers.get(entity.dxf.layer) if doc.layers.has_entry(entity.dxf.layer) else None
        colour = abs(layer.dxf.color) if layer is not None else 0
    return colour


def same(a, b):
    return all(abs(x - y) <= 1e-6 for x, y in zip(a, b))


def faces_of(doc, entity, out, layer=None):
    """Face lines of one entity; block references are exploded by ezdxf."""
    kind = entity.dxftype()
    name = layer if layer is not None else entity.dxf.layer
    if kind == "3DFACE":
        v = [tuple(entity.dxf.get("vtx%d" % i)) for i in range(4)]
        if same(v[2], v[3]):
            v = v[:3]
        # Two equal corners make no surface: nothing to compare.
        if any(same(v[i], v[j]) for i in range(len(v)) for j in range(i + 1, len(v))):
            return
        out.append("face %s %d %s" % (name, resolved_colour(doc, entity), canonical(v)))
    elif kind == "POLYLINE" and entity.is_poly_face_mesh:
        for face in entity.faces():
            record = face[-1]
            colour = record.dxf.get("color", 256)
            if colour in (0, 256):
                colour = resolved_colour(doc, entity)
            points = [tuple(v.dxf.location) for v in face[:-1]]
            out.append("face %s %d %s" % (name, colour, canonical(points)))
    elif kind == "INSERT":
        for virtual in entity.virtual_entities():
            faces_of(doc, virtual, out, "*")


def dump(doc):
    lines = ["audit %d" % len(doc.audit().errors)]
    for layer in doc.layers:
        lines.append("layer %s %d" % (layer.dxf.name, layer.dxf.color))
    faces = []
    for entity in doc.modelspace():
        faces_of(doc, entity, faces)
    return lines + sorted(faces)


def expect(doc):
    faces = []
    for entity in doc.modelspace():
        faces_of(doc, entity, faces)
    return sorted(faces)


def make(folder):
    files = {}

    # Layers with colours (one switched off, one named with blanks), 3DFACEs
    # sharing an edge, a triangle, degenerate faces, a polyface mesh with a
    # face colour of its own, and entities the reader skips.
    doc = ezdxf.new("R2000")
    doc.layers.add("Red", color=1)
    off = doc.layers.add("Off", color=5)
    off.off()
    doc.layers.add("Two words", color=30)
    doc.layers.add("Mesh", color=140)
    msp = doc.modelspace()
    msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)], dxfattribs={"layer": "Red"})
    msp.add_3dface([(1, 0, 0), (2, 0, 0), (2, 1, 0.5), (1, 1, 0)], dxfattribs={"layer": "Red"})
    msp.add_3dface([(0, 0, 1), (1, 0, 1), (0, 1, 1)], dxfattribs={"layer": "Off"})
    msp.add_3dface([(0, 0, 2), (2, 0, 2), (2, 2, 2)], dxfattribs={"layer": "Two words", "color": 3})
    # Two equal corners: no surface, read by neither side.
    msp.add_3dface([(5, 5, 5), (5, 5, 5), (6, 5, 5)], dxfattribs={"layer": "Red"})
    mesh = msp.add_polyface(dxfattribs={"layer": "Mesh"})
    mesh.append_face([(0, 0, 3), (1, 0, 3), (1, 1, 3), (0, 1, 3)])
    mesh.append_face([(1, 0, 3), (2, 0, 3.5), (1, 1, 3)], dxfattribs={"color": 5})
    mesh.append_face([(0, 0, 3), (0, 1, 3), (-1, 0.5, 3.25)])
    mesh.optimize()
    msp.add_line((0, 0, 0), (3, 3, 3), dxfattribs={"layer": "Red"})
    msp.add_lwpolyline([(0, 0), (1, 0), (1, 1)], dxfattribs={"layer": "Red"})
    msp.add_circle((0, 0), 2, dxfattribs={"layer": "Red"})
    files["layers"] = doc

    # Blocks: a base point, references with scale and rotation, a block
    # holding references to another, and a reference to a missing block.
    doc = ezdxf.new("R2000")
    doc.layers.add("Parts", color=2)
    box = doc.blocks.new("Box", base_point=(1, 0, 0))
    box.add_3dface([(1, 0, 0), (2, 0, 0), (2, 1, 0), (1, 1, 0)], dxfattribs={"layer": "Parts"})
    box.add_3dface([(1, 0, 0), (1, 1, 0), (1, 0, 1)], dxfattribs={"layer": "Parts", "color": 6})
    pair = doc.blocks.new("Pair")
    pair.add_blockref("Box", (0, 0, 0))
    pair.add_blockref("Box", (0, 3, 0), dxfattribs={"rotation": 90})
    msp = doc.modelspace()
    msp.add_blockref("Box", (10, 0, 0))
    msp.add_blockref("Box", (0, 10, 0), dxfattribs={"xscale": 2, "yscale": 3, "zscale": 4, "rotation": 30})
    msp.add_blockref("Pair", (0, 0, 5), dxfattribs={"rotation": -45})
    msp.add_3dface([(0, 0, -1), (1, 0, -1), (1, 1, -1)], dxfattribs={"layer": "Parts"})
    files["blocks"] = doc

    for name, doc in files.items():
        path = "%s/%s.dxf" % (folder, name)
        doc.saveas(path)
        # What ezdxf finds in the file it wrote, not in its memory.
        with open("%s/%s.expect" % (folder, name), "w") as out:
            out.write("\n".join(expect(ezdxf.readfile(path))) + "\n")
    return 0


def main(argv):
    if len(argv) == 3 and argv[1] == "make":
        return make(argv[2])
    if len(argv) == 3 and argv[1] == "dump":
        print("\n".join(dump(ezdxf.readfile(argv[2]))))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
