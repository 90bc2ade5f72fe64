#!/usr/bin/env python3
"""Writes the game's demo data into assets/ (or the directory given).

Everything is made here: "config.ini", two levels of ASCII DUZ 6 models with
their per-model settings folders, 24-bit BMP textures, GLSL 1.10 shaders, the
help text and a short music file (a WAV named "song.mp3": the sound layer
recognises the content, not the name).
"""
import math
import os
import struct
import sys
import wave

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                       os.path.join(os.path.dirname(__file__), "..", "assets"))


def write(path, text, mode="w"):
    path = os.path.join(ROOT, path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, mode, newline="\n" if "b" not in mode else None) as f:
        f.write(text)


# ---- meshes ---------------------------------------------------------------

def box(cx, cy, cz, sx, sy, sz, inside=False, uv_scale=1.0):
    """A box as 6 faces of 4 corners each: (points, normals, uvs, quads)."""
    hx, hy, hz = sx / 2.0, sy / 2.0, sz / 2.0
    faces = [  # normal, u axis, v axis
        ((1, 0, 0), (0, 0, -1), (0, 1, 0)), ((-1, 0, 0), (0, 0, 1), (0, 1, 0)),
        ((0, 1, 0), (1, 0, 0), (0, 0, -1)), ((0, -1, 0), (1, 0, 0), (0, 0, 1)),
        ((0, 0, 1), (1, 0, 0), (0, 1, 0)), ((0, 0, -1), (-1, 0, 0), (0, 1, 0)),
    ]
    points, normals, uvs, quads = [], [], [], []
    for n, u, v in faces:
        base = len(points)
        for su, sv, tu, tv in ((-1, -1, 0, 0), (1, -1, 1, 0), (1, 1, 1, 1), (-1, 1, 0, 1)):
            p = [n[i] * (hx, hy, hz)[i] + su * u[i] * (hx, hy, hz)[i] + sv * v[i] * (hx, hy, hz)[i]
                 for i in range(3)]
            points.append((cx + p[0], cy + p[1], cz + p[2]))
            normals.append(tuple(-c for c in n) if inside else n)
            uvs.append((tu * uv_scale, tv * uv_scale))
        quad = [base, base + 1, base + 2, base + 3]
        quads.append(quad[::-1] if inside else quad)
    return points, normals, uvs, quads


def nums(values):
    return ",".join(("%g" % v) for v in values)


def mesh_model(name, mesh, material):
    points, normals, uvs, quads = mesh
    pvi = []
    for q in quads:  # two triangles per quad, the last index of each negated
        for tri in ((q[0], q[1], q[2]), (q[0], q[2], q[3])):
            pvi += [tri[0], tri[1], -tri[2] - 1]
    flat = lambda rows: [c for r in rows for c in r]
    return f'''    Model: "Model::{name}", "Mesh" {{
        Version: 232
        Properties60:  {{
            Property: "Visibility", "Visibility", "A+",1
        }}
        MultiLayer: 0
        Shading: Y
        Culling: "CullingOff"
        Vertices: {nums(flat(points))}
        PolygonVertexIndex: {",".join(str(i) for i in pvi)}
        GeometryVersion: 124
        LayerElementNormal: 0 {{
            Version: 101
            Name: ""
            MappingInformationType: "ByVertice"
            ReferenceInformationType: "Direct"
            Normals: {nums(flat(normals))}
        }}
        LayerElementUV: 0 {{
            Version: 101
            Name: "UVChannel_1"
            MappingInformationType: "ByVertice"
            ReferenceInformationType: "Direct"
            UV: {nums(flat(uvs))}
        }}
        LayerElementMaterial: 0 {{
            Version: 101
            Name: ""
            MappingInformationType: "AllSame"
            ReferenceInformationType: "IndexToDirect"
            Materials: 0
        }}
        Layer: 0 {{
            Version: 100
            LayerElement:  {{
                Type: "LayerElementNormal"
                TypedIndex: 0
            }}
            LayerElement:  {{
                Type: "LayerElementMaterial"
                TypedIndex: 0
            }}
            LayerElement:  {{
                Type: "LayerElementUV"
                TypedIndex: 0
            }}
        }}
    }}
'''


def material(name, diffuse):
    d = nums(diffuse)
    a = nums([c * 0.5 for c in diffuse])
    return f'''    Material: "Material::{name}", "" {{
        Version: 102
        ShadingModel: "phong"
        MultiLayer: 0
        Properties60:  {{
            Property: "ShadingModel", "KString", "", "Phong"
            Property: "AmbientColor", "ColorRGB", "",{a}
            Property: "DiffuseColor", "ColorRGB", "",{d}
            Property: "SpecularColor", "ColorRGB", "",0.2,0.2,0.2
            Property: "EmissiveColor", "ColorRGB", "",0,0,0
            Property: "TransparencyFactor", "double", "",1
            Property: "ShininessExponent", "double", "",20
        }}
    }}
'''


def duz_file(path, parts, colour=(0.8, 0.8, 0.8)):
    """parts: list of (model name, mesh); one material shared by all parts."""
    mat = os.path.splitext(os.path.basename(path))[0] + "_mat"
    objects = "".join(mesh_model(n, m, mat) for n, m in parts) + material(mat, colour)
    connections = "".join(f'    Connect: "OO", "Model::{n}", "Model::Scene"\n' for n, _ in parts)
    connections += "".join(f'    Connect: "OO", "Material::{mat}", "Model::{n}"\n' for n, _ in parts)
    text = f'''; DUZ 6.1.0 project file
; Made by scripts/make-demo-data.py
; ----------------------------------------------------

; Object definitions
;------------------------------------------------------------------

Definitions:  {{
    Version: 100
    Count: {len(parts) + 1}
    ObjectType: "Model" {{
        Count: {len(parts)}
    }}
    ObjectType: "Material" {{
        Count: 1
    }}
}}

; Object properties
;------------------------------------------------------------------

Objects:  {{
{objects}}}

; Object connections
;------------------------------------------------------------------

Connections:  {{
{connections}}}
'''
    write(path, text)


def settings(path, texture=None, shader=False, transformation=None):
    lines = []
    if texture:
        lines += ["[texture]"] + [f"{i}={t}" for i, t in enumerate(texture)]
    if shader:
        lines += ["[shader]", "0=1"]
    if transformation:
        lines += ["[transformation]"] + [f"{k}={v}" for k, v in transformation.items()]
    write(path, "\n".join(lines) + "\n")


def character(path, colour):
    """Legs first (parts 0 and 1, swinging about the hip at 1.632), then the body."""
    duz_file(path, [
        ("leg_left", box(0, 0.8, -0.3, 0.3, 1.6, 0.3)),
        ("leg_right", box(0, 0.8, 0.3, 0.3, 1.6, 0.3)),
        ("body", box(0, 2.4, 0, 0.6, 1.6, 1.0)),
    ], colour)


# The game stops a fall at a height of 2 (the walker's start); a walker of
# radius 1, height 1 and skin 0.1 stands there on ground whose top is at 0.4.
GROUND_TOP = 0.4


def level(name, steps, goal, crane_at):
    base = f"{name}/static/"
    duz_file(base + "ground.duz", [("ground", box(0, GROUND_TOP - 0.5, -100, 400, 1, 400, uv_scale=40))],
             (0.9, 0.9, 0.9))
    settings(base + "ground/settings.ini", texture=["ground"])
    # Steps are columns standing on the ground: (x, z, top height above the ground).
    for i, (x, z, top) in enumerate(steps):
        height = GROUND_TOP + top
        duz_file(base + f"box{i + 1}.duz", [(f"box{i + 1}", box(x, height / 2.0, z, 4, height, 4))],
                 (0.7, 0.5, 0.3))
        settings(base + f"box{i + 1}/settings.ini", texture=["box"])
    # The goal marker floats above the goal area, out of the walker's way.
    gx, gy, gz = goal
    duz_file(base + "goal.duz", [("goal", box(gx, gy, gz, 2, 2, 2))], (1.0, 0.8, 0.1))
    settings(base + "goal/settings.ini", texture=["goal"], shader=True)
    for i in range(1, 6):
        duz_file(base + f"sky{i}.duz", [(f"sky{i}", box(0, 0, 0, 900 - 20 * i, 900 - 20 * i, 900 - 20 * i,
                                                         inside=True))], (0.4, 0.5, 0.9))
        settings(base + f"sky{i}/settings.ini", texture=["sky"])
    dyn = f"{name}/dynamic/"
    character(dyn + "enemy.duz", (0.2, 0.4, 0.9))
    settings(dyn + "enemy/settings.ini")
    character(dyn + "vesk.duz", (0.8, 0.1, 0.1))
    settings(dyn + "vesk/settings.ini")
    cx, cy, cz = crane_at
    duz_file(dyn + "kran.duz", [("kran_mast", box(0, 6, 0, 1, 12, 1)),
                                ("kran_arm", box(6, 12.5, 0, 14, 1, 1))], (0.9, 0.7, 0.0))
    settings(dyn + "kran/settings.ini", texture=["box", "box"], transformation={
        "translation_x": cx, "translation_y": cy, "translation_z": cz,
        "rotation_x": 0, "rotation_y": 1, "rotation_z": 0, "rotation_angle": 15})
    textures(f"{name}/textures/")


# ---- textures -------------------------------------------------------------

def bmp(path, width, height, pixel):
    """24-bit uncompressed BMP; pixel(x, y) -> (r, g, b). Widths are multiples of 4 (no row padding)."""
    assert width % 4 == 0
    data = bytearray()
    for y in range(height):
        for x in range(width):
            r, g, b = pixel(x, y)
            data += bytes((b, g, r))
    header = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    write(path, header + info + bytes(data), "wb")


def textures(base):
    bmp(base + "ground.bmp", 64, 64, lambda x, y: (235, 240, 250) if (x // 8 + y // 8) % 2 else (215, 220, 235))
    bmp(base + "box.bmp", 64, 64, lambda x, y: (150, 90, 40) if x % 16 and y % 16 else (90, 50, 20))
    bmp(base + "goal.bmp", 32, 32, lambda x, y: (255, 210, 0) if (x + y) % 8 < 4 else (255, 120, 0))
    bmp(base + "sky.bmp", 64, 64, lambda x, y: (60 + y, 90 + y, 200))
    # The snow flake: white on the colour key (250, 250, 250 turns transparent).
    bmp(base + "snow.bmp", 16, 16,
        lambda x, y: (255, 255, 255) if (x - 7.5) ** 2 + (y - 7.5) ** 2 < 36 else (250, 250, 250))


# ---- the rest -------------------------------------------------------------

def main():
    write("config.ini", "\n".join([
        "[level1]", "path=\\level1",
        "[level2]", "path=\\level2",
        "[geo]", "stat_path=\\static\\", "dyn_path=\\dynamic\\",
        "[texture]", "tex_path=\\textures\\",
        "[help]", "helppath=\\help.txt",
        "[menue]", "menuepath=\\menue\\menue.duz",
        "[shader]", "vertexshader=\\shader\\glow.vert", "fragmentshader=\\shader\\glow.frag",
        "[shader2]", "vertexshader=\\shader\\plain.vert", "fragmentshader=\\shader\\plain.frag",
        "[view]", "resolution=1024x768:32", ""]))
    # Level 1: a staircase of 1-unit steps (the walker climbs ledges up to 1)
    # up to the goal platform at (-15, 10, -88); the goal area lies above it.
    # Steps and platform are 4 deep: a landing at the top's height joins the
    # last step (ending at z -82) to the platform (from z -86) without a gap.
    stairs = [(-15, -44 - 4 * i, i + 1) for i in range(10)] + [(-15, -84, 10), (-15, -88, 10)]
    level("level1", stairs, (-15, 16, -88), (20, 0, -60))
    # Level 2: a long run over open ground to the goal area at (9, -189).
    level("level2", [(5, -60, 2), (-5, -100, 3), (8, -150, 2)], (9, 5, -189), (-20, 0, -120))
    duz_file("menue/menue.duz", [("menue", box(0, 0, -5, 2, 2, 0.1))], (0.1, 0.2, 0.4))
    settings("menue/menue/settings.ini", texture=["sky"])
    # One line of the help page per ";", drawn from a quarter of the screen's
    # width in: each line must fit in the other three quarters of 1024 pixels.
    write("help.txt", ";".join([
        "Help",
        "",
        "W / S: walk forward / back",
        "A / D: step left / right",
        "Mouse: look around      Space: jump",
        "V: first person, third person, back view",
        "F: the follower stops or goes on",
        "N: on to the next level",
        "F1: help    F2: frame rate    F3: wire frame",
        "F4: texture filter    F5: mipmaps",
        "F6: vertex buffers    F7: display lists",
        "F8: frustum    F9: blending",
        "Esc: quit",
        "",
        "Climb to the yellow goal and do not get caught.",
    ]) + ";\n")
    write("shader/glow.vert", "#version 110\nvarying vec3 normal;\nvoid main() {\n"
          "    normal = gl_NormalMatrix * gl_Normal;\n    gl_TexCoord[0] = gl_MultiTexCoord0;\n"
          "    gl_Position = ftransform();\n}\n")
    write("shader/glow.frag", "#version 110\nvarying vec3 normal;\nvoid main() {\n"
          "    float light = 0.5 + 0.5 * abs(normalize(normal).y);\n"
          "    gl_FragColor = vec4(1.0, 0.8 * light, 0.1, 1.0);\n}\n")
    write("shader/plain.vert", "#version 110\nvoid main() {\n    gl_FrontColor = gl_Color;\n"
          "    gl_Position = ftransform();\n}\n")
    write("shader/plain.frag", "#version 110\nvoid main() {\n    gl_FragColor = gl_Color;\n}\n")
    # Two seconds of a soft chord, looped by the game.
    path = os.path.join(ROOT, "song.mp3")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(22050)
        frames = bytearray()
        for i in range(22050 * 2):
            t = i / 22050.0
            s = sum(math.sin(2 * math.pi * f * t) for f in (220.0, 277.2, 329.6)) / 3
            frames += struct.pack("<h", int(s * 6000 * min(1.0, t * 4, (2 - t) * 4)))
        w.writeframes(bytes(frames))
    print("demo data written to", ROOT)


if __name__ == "__main__":
    main()
