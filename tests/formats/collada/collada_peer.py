#!/usr/bin/python3
"""Makes Collada documents with pycollada and writes what pycollada reads back
from them as "expected.txt" (one record per line, blank-separated), for the
reader test to compare with what our reader imports.

Usage: collada_peer.py OUTPUT_FOLDER

scene.dae is written by pycollada's own writer: a mesh with a polygon list
and a triangle set (positions, normals, two texture coordinate sets), a
textured phong material and a lambert one, a node hierarchy with TRS and
matrix transforms, a camera and four kinds of light. skin.dae holds what
pycollada cannot write (a skin controller and animations); it is loaded back
through pycollada so that the expected values are pycollada's reading.
"""
import os
import sys

import numpy

import collada
from collada import camera, geometry, light, material, scene, source


def fmt(values):
    return " ".join("%.6f" % float(v) for v in values)


def make_scene(path):
    doc = collada.Collada()
    image = material.CImage("tex-img", "./tex/a.png")
    surface = material.Surface("tex-surface", image)
    sampler = material.Sampler2D("tex-sampler", surface)
    # The texture reads the second coordinate set, bound by the instance.
    texture_map = material.Map(sampler, "UVSET1")
    fx_a = material.Effect("fxA", [surface, sampler], "phong", diffuse=texture_map,
                           specular=(0.5, 0.25, 0.125), shininess=12.0)
    fx_b = material.Effect("fxB", [], "lambert", diffuse=(0.25, 0.5, 0.75))
    mat_a = material.Material("matA", "A", fx_a)
    mat_b = material.Material("matB", "B", fx_b)
    doc.images.append(image)
    doc.effects.extend([fx_a, fx_b])
    doc.materials.extend([mat_a, mat_b])

    positions = numpy.array([0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0.5, 0.5, 1], dtype=numpy.float32)
    normals = numpy.array([0, 0, 1, 0, 1, 0, 1, 0, 0], dtype=numpy.float32)
    uv0 = numpy.array([0, 0, 1, 0, 1, 1, 0, 1], dtype=numpy.float32)
    uv1 = numpy.array([0.5, 0.5, 0.25, 0.75, 0.125, 0.375], dtype=numpy.float32)
    sources = [
        source.FloatSource("quad-pos", positions, ("X", "Y", "Z")),
        source.FloatSource("quad-nrm", normals, ("X", "Y", "Z")),
        source.FloatSource("quad-uv0", uv0, ("S", "T")),
        source.FloatSource("quad-uv1", uv1, ("S", "T")),
    ]
    geom = geometry.Geometry(doc, "quad", "quad", sources)
    inputs = source.InputList()
    inputs.addInput(0, "VERTEX", "#quad-pos")
    inputs.addInput(1, "NORMAL", "#quad-nrm")
    inputs.addInput(2, "TEXCOORD", "#quad-uv0", set="0")
    inputs.addInput(3, "TEXCOORD", "#quad-uv1", set="1")
    # A quad and a triangle (tuples: vertex, normal, uv0, uv1).
    poly_indices = numpy.array([0, 0, 0, 0, 1, 0, 1, 1, 2, 0, 2, 2, 3, 0, 3, 0,
                                0, 1, 0, 1, 1, 1, 1, 2, 4, 1, 2, 0])
    polylist = geom.createPolylist(poly_indices, numpy.array([4, 3]), inputs, "symA")
    tri_indices = numpy.array([1, 2, 1, 1, 2, 2, 2, 2, 4, 2, 3, 0, 2, 2, 2, 0, 3, 2, 3, 1, 4, 2, 0, 2])
    triangles = geom.createTriangleSet(tri_indices, inputs, "symB")
    geom.primitives.extend([polylist, triangles])
    doc.geometries.append(geom)

    cam = camera.PerspectiveCamera("cam", 0.5, 900.0, yfov=45.0)
    doc.cameras.append(cam)
    sun = light.DirectionalLight("sun", (1.0, 0.875, 0.75))
    bulb = light.PointLight("bulb", (0.25, 0.375, 0.5))
    spot = light.SpotLight("spot", (0.5, 1.0, 0.25), falloff_ang=40.0)
    ambient = light.AmbientLight("amb", (0.125, 0.25, 0.375))
    doc.lights.extend([sun, bulb, spot, ambient])

    bound = [scene.MaterialNode("symA", mat_a, inputs=[("UVSET1", "TEXCOORD", "1")]),
             scene.MaterialNode("symB", mat_b, inputs=[])]
    matrix = numpy.array([1, 0, 0, 4, 0, 0, -1, 5, 0, 1, 0, 6, 0, 0, 0, 1], dtype=numpy.float32)
    box = scene.Node("box", children=[scene.GeometryNode(geom, bound)],
                     transforms=[scene.MatrixTransform(matrix)])
    camnode = scene.Node("camnode", children=[scene.CameraNode(cam)],
                         transforms=[scene.TranslateTransform(0, 0, 10)])
    root = scene.Node("root", children=[box, camnode],
                      transforms=[scene.TranslateTransform(1, 2, 3),
                                  scene.RotateTransform(0, 0, 1, 30),
                                  scene.RotateTransform(0, 1, 0, 20),
                                  scene.RotateTransform(1, 0, 0, 10),
                                  scene.ScaleTransform(2, 2, 2)])
    lights = [scene.Node(name + "node", children=[scene.LightNode(item)])
              for name, item in (("sun", sun), ("bulb", bulb), ("spot", spot), ("amb", ambient))]
    visual = scene.Scene("vs", [root] + lights)
    doc.scenes.append(visual)
    doc.scene = visual
    doc.write(path)


SKIN_DOC = """<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><up_axis>Y_UP</up_axis></asset>
<library_animations>
 <animation id="move">
  <source id="move-in"><float_array id="move-in-a" count="3">0.5 1 2</float_array>
   <technique_common><accessor source="#move-in-a" count="3"><param name="TIME" type="float"/></accessor></technique_common></source>
  <source id="move-out"><float_array id="move-out-a" count="3">0 2.5 -1</float_array>
   <technique_common><accessor source="#move-out-a" count="3"><param name="X" type="float"/></accessor></technique_common></source>
  <source id="move-int"><Name_array id="move-int-a" count="3">LINEAR STEP LINEAR</Name_array>
   <technique_common><accessor source="#move-int-a" count="3"><param name="INTERPOLATION" type="name"/></accessor></technique_common></source>
  <sampler id="move-s"><input semantic="INPUT" source="#move-in"/><input semantic="OUTPUT" source="#move-out"/>
   <input semantic="INTERPOLATION" source="#move-int"/></sampler>
  <channel source="#move-s" target="j1/translate.X"/>
  <animation id="turn">
   <source id="turn-in"><float_array id="turn-in-a" count="2">0 1.5</float_array>
    <technique_common><accessor source="#turn-in-a" count="2"><param name="TIME" type="float"/></accessor></technique_common></source>
   <source id="turn-out"><float_array id="turn-out-a" count="2">0 90</float_array>
    <technique_common><accessor source="#turn-out-a" count="2"><param name="ANGLE" type="float"/></accessor></technique_common></source>
   <sampler id="turn-s"><input semantic="INPUT" source="#turn-in"/><input semantic="OUTPUT" source="#turn-out"/></sampler>
   <channel source="#turn-s" target="j2/rotateZ.ANGLE"/>
  </animation>
 </animation>
</library_animations>
<library_geometries>
 <geometry id="strip"><mesh>
  <source id="strip-pos"><float_array id="strip-pos-a" count="12">0 0 0 1 0 0 1 2 0 0 2 0</float_array>
   <technique_common><accessor source="#strip-pos-a" count="4" stride="3"><param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/></accessor></technique_common></source>
  <vertices id="strip-v"><input semantic="POSITION" source="#strip-pos"/></vertices>
  <triangles count="2"><input semantic="VERTEX" source="#strip-v" offset="0"/><p>0 1 2 0 2 3</p></triangles>
 </mesh></geometry>
</library_geometries>
<library_controllers>
 <controller id="skin1"><skin source="#strip">
  <bind_shape_matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</bind_shape_matrix>
  <source id="skin1-joints"><Name_array id="skin1-joints-a" count="2">j1 j2</Name_array>
   <technique_common><accessor source="#skin1-joints-a" count="2"><param name="JOINT" type="name"/></accessor></technique_common></source>
  <source id="skin1-bind"><float_array id="skin1-bind-a" count="32">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1  1 0 0 0 0 1 0 -1 0 0 1 0 0 0 0 1</float_array>
   <technique_common><accessor source="#skin1-bind-a" count="2" stride="16"><param name="TRANSFORM" type="float4x4"/></accessor></technique_common></source>
  <source id="skin1-w"><float_array id="skin1-w-a" count="4">1 0.75 0.25 0.5</float_array>
   <technique_common><accessor source="#skin1-w-a" count="4"><param name="WEIGHT" type="float"/></accessor></technique_common></source>
  <joints><input semantic="JOINT" source="#skin1-joints"/><input semantic="INV_BIND_MATRIX" source="#skin1-bind"/></joints>
  <vertex_weights count="4"><input semantic="JOINT" source="#skin1-joints" offset="0"/><input semantic="WEIGHT" source="#skin1-w" offset="1"/>
   <vcount>1 2 2 1</vcount><v>0 0 0 1 1 2 0 3 1 2 1 0</v></vertex_weights>
 </skin></controller>
</library_controllers>
<library_visual_scenes>
 <visual_scene id="vs">
  <node id="j1" type="JOINT"><translate sid="translate">0 0 0</translate>
   <node id="j2" type="JOINT"><translate sid="translate">0 1 0</translate><rotate sid="rotateZ">0 0 1 0</rotate></node>
  </node>
  <node id="skinned"><instance_controller url="#skin1"><skeleton>#j1</skeleton></instance_controller></node>
 </visual_scene>
</library_visual_scenes>
<scene><instance_visual_scene url="#vs"/></scene>
</COLLADA>
"""


def expect_scene(path, out):
    doc = collada.Collada(path)
    geom = doc.geometries["quad"]
    corner = 0
    for prim in geom.primitives:
        polygons = prim.polygons() if hasattr(prim, "polygons") else list(prim)
        for polygon in polygons:
            out.append("polygon %d" % len(polygon.vertices))
            for k in range(len(polygon.vertices)):
                out.append("corner %d %s %s %s %s" % (corner, fmt(polygon.vertices[k]), fmt(polygon.normals[k]),
                                                        fmt(polygon.texcoords[0][k]), fmt(polygon.texcoords[1][k])))
                corner += 1

    def walk(node, parent):
        if not isinstance(node, scene.Node):
            return
        world = parent.dot(node.matrix)
        out.append("world %s %s" % (node.id, fmt(world.flatten())))
        for child in node.children:
            walk(child, world)
    for node in doc.scene.nodes:
        walk(node, numpy.identity(4))

    for bound in doc.scene.objects("geometry"):
        for symbol, node in sorted(bound.materialnodebysymbol.items()):
            effect = node.target.effect
            if isinstance(effect.diffuse, material.Map):
                sets = [s for semantic, kind, s in node.inputs
                        if semantic == effect.diffuse.texcoord and kind == "TEXCOORD"]
                value = "texture %s set %s" % (effect.diffuse.sampler.surface.image.path, sets[0])
            else:
                value = "color " + fmt(effect.diffuse[:3])
            out.append("material %s %s %s %s" % (symbol, node.target.id, effect.shadingtype, value))
    cam = doc.cameras["cam"]
    out.append("camera %s %s" % (cam.id, fmt([cam.yfov, cam.znear, cam.zfar])))
    for item in doc.lights:
        kind = type(item).__name__
        extra = [item.falloff_ang] if kind == "SpotLight" else []
        out.append("light %s %s %s" % (item.id, kind, fmt(list(item.color[:3]) + extra)))


def expect_skin(path, out):
    doc = collada.Collada(path)
    skin = doc.controllers["skin1"]
    names = list(skin.weight_joints)
    weights = skin.weights.data.flatten()
    for joint, name in enumerate(names):
        pairs = []
        for vertex, influences in enumerate(skin.index):
            for influence in influences:
                if influence[skin.offsets[0]] == joint:
                    pairs += [vertex, weights[influence[skin.offsets[1]]]]
        out.append("cluster %s %s" % (name, fmt(pairs)))
        out.append("invbind %s %s" % (name, fmt(skin.joint_matrices[name].flatten())))

    def animations(item):
        yield item
        for child in item.children:
            yield from animations(child)
    for top in doc.animations:
        for anim in animations(top):
            node = anim.xmlnode
            for channel in node.findall(doc.tag("channel")):
                sampler = [s for s in node.findall(doc.tag("sampler"))
                           if s.get("id") == channel.get("source")[1:]][0]
                data = {}
                for item in sampler.findall(doc.tag("input")):
                    data[item.get("semantic")] = anim.sourceById[item.get("source")[1:]]
                times = data["INPUT"].data.flatten()
                values = data["OUTPUT"].data.flatten()
                kinds = list(data["INTERPOLATION"]) if "INTERPOLATION" in data else ["LINEAR"] * len(times)
                keys = []
                for t, v, k in zip(times, values, kinds):
                    keys.append("%.6f %.6f %s" % (t, v, k))
                out.append("channel %s %s" % (channel.get("target"), " ".join(keys)))


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    scene_path = os.path.join(folder, "scene.dae")
    skin_path = os.path.join(folder, "skin.dae")
    make_scene(scene_path)
    with open(skin_path, "w") as handle:
        handle.write(SKIN_DOC)
    out = []
    expect_scene(scene_path, out)
    expect_skin(skin_path, out)
    with open(os.path.join(folder, "expected.txt"), "w") as handle:
        handle.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
