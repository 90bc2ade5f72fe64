#!/usr/bin/python3
# Loads a Collada document with pycollada, an independent reader, and prints
# what it understood, one fact per line, for the writer tests to compare.
import sys

import collada
import collada.common
import collada.controller
import collada.material
import numpy


def num(v):
    v = float(v)
    return "%.4f" % (0.0 if abs(v) < 5e-5 else v)


def nums(values):
    if values is None:
        return "none"
    return " ".join(num(v) for v in numpy.ravel(values))


def ints(values):
    if values is None:
        return "none"
    return " ".join(str(int(i)) for i in numpy.ravel(values))


def describe_node(node, depth, out):
    pad = "  " * depth
    if isinstance(node, collada.scene.Node):
        out.append("%snode %s matrix %s" % (pad, node.id, nums(node.matrix)))
        for child in node.children:
            describe_node(child, depth + 1, out)
    elif isinstance(node, collada.scene.GeometryNode):
        binds = sorted(m.symbol + "->" + m.target.id for m in node.materials)
        out.append("%sgeometry %s binds %s" % (pad, node.geometry.id, " ".join(binds)))
        texture_bindings(node, pad + "  ", out)
    elif isinstance(node, collada.scene.ControllerNode):
        out.append("%scontroller %s" % (pad, node.controller.id))
    elif isinstance(node, collada.scene.CameraNode):
        out.append("%scamera %s" % (pad, node.camera.id))
    elif isinstance(node, collada.scene.LightNode):
        out.append("%slight %s" % (pad, node.light.id))


def texture_bindings(node, pad, out):
    """For each bound material with a diffuse texture: the image, the
    coordinate set its instance binds, and per corner of the primitives of
    that material the vertex and the texture coordinates of that set."""
    for bound in node.materials:
        diffuse = bound.target.effect.diffuse
        if not isinstance(diffuse, collada.material.Map):
            continue
        sets = [s for (semantic, input_semantic, s) in bound.inputs
                if semantic == diffuse.texcoord and input_semantic == "TEXCOORD"]
        chosen = sets[0] if sets else None
        out.append("%stexture %s image %s texcoord %s set %s" % (
            pad, bound.symbol, diffuse.sampler.surface.image.path, diffuse.texcoord, chosen))
        for prim in node.geometry.primitives:
            if prim.material != bound.symbol:
                continue
            inputs = prim.sources.get("TEXCOORD", [])
            found = [j for j, entry in enumerate(inputs) if chosen is not None and str(entry[3]) == str(chosen)]
            if not found:
                out.append("%s  corners %s uv none" % (pad, bound.symbol))
                continue
            j = found[0]
            uv = prim.texcoordset[j][numpy.ravel(prim.texcoord_indexset[j])]
            out.append("%s  corners %s vertices %s" % (pad, bound.symbol, ints(prim.vertex_index)))
            out.append("%s  corners %s uv %s" % (pad, bound.symbol, nums(uv)))


def main():
    # Strictly, without an ignore list: a document that pycollada refuses
    # fails the caller's test.
    out = []
    dae = collada.Collada(sys.argv[1])
    for geometry in dae.geometries:
        out.append("geometry %s" % geometry.id)
        for prim in geometry.primitives:
            out.append("  %s material=%s count=%d" % (type(prim).__name__, prim.material, len(prim)))
            out.append("  positions %s" % nums(prim.vertex))
            out.append("  vertex_index %s" % ints(prim.vertex_index))
            if prim.normal is not None:
                out.append("  normal_index %s" % ints(prim.normal_index))
            for s, texcoords in enumerate(prim.texcoordset):
                out.append("  texcoord%d %s" % (s, nums(texcoords)))
                out.append("  texcoord_index%d %s" % (s, ints(prim.texcoord_indexset[s])))
    for material in dae.materials:
        effect = material.effect
        diffuse = effect.diffuse
        if isinstance(diffuse, tuple):
            text = nums(diffuse)
        elif isinstance(diffuse, collada.material.Map):
            text = "Map %s %s" % (diffuse.sampler.surface.image.path, diffuse.texcoord)
        else:
            text = type(diffuse).__name__
        out.append("material %s shader %s diffuse %s" % (material.id, effect.shadingtype, text))
    for image in dae.images:
        out.append("image %s %s" % (image.id, image.path))
    for camera in dae.cameras:
        if isinstance(camera, collada.camera.PerspectiveCamera):
            out.append("camera %s perspective xfov %s yfov %s aspect %s znear %s zfar %s" % (
                camera.id, camera.xfov, camera.yfov, camera.aspect_ratio, num(camera.znear), num(camera.zfar)))
        else:
            out.append("camera %s orthographic xmag %s" % (camera.id, camera.xmag))
    for light in dae.lights:
        extra = ""
        if isinstance(light, collada.light.SpotLight):
            extra = " falloff %s" % num(light.falloff_ang)
        out.append("light %s %s color %s%s" % (light.id, type(light).__name__, nums(light.color), extra))
    for controller in dae.controllers:
        out.append("controller %s %s" % (controller.id, type(controller).__name__))
        if isinstance(controller, collada.controller.Skin):
            names = list(controller.weight_joints)
            for k, (joints, weights) in enumerate(zip(controller.joint_index, controller.weight_index)):
                pairs = ["%s:%s" % (names[int(j)], num(controller.weights[int(w)][0])) for j, w in zip(joints, weights)]
                out.append("  influences %d %s" % (k, " ".join(pairs)))
    if dae.scene is not None:
        out.append("scene %s" % dae.scene.id)
        for node in dae.scene.nodes:
            describe_node(node, 1, out)
    if dae.scene is not None:
        # Where things end up in the world, as this reader places them.
        for camera in dae.scene.objects("camera"):
            out.append("bound camera %s position %s direction %s up %s" % (
                camera.original.id, nums(camera.position), nums(camera.direction), nums(camera.up)))
        for light in dae.scene.objects("light"):
            out.append("bound light %s direction %s" % (light.original.id, nums(getattr(light, "direction", None))))
        for geometry in dae.scene.objects("geometry"):
            for prim in geometry.primitives():
                out.append("bound geometry %s positions %s" % (geometry.original.id, nums(prim.vertex)))
        for controller in dae.scene.objects("controller"):
            if not isinstance(controller, collada.controller.BoundSkin):
                continue
            for prim in controller.geometry.primitives():
                out.append("bound controller %s positions %s" % (controller.id, nums(prim.vertex)))
    print("\n".join(out))


if __name__ == "__main__":
    main()
