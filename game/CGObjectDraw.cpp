// The GL side of CGObject: buffer objects, display lists and the draw paths.
#include "game/CGObject.h"

#include <GL/glew.h>

void CGObject::BuildVertexBuffers() {
    if (!GLEW_ARB_vertex_buffer_object) return;
    for (CGPart& part : parts) {
        const GLsizeiptrARB corners = part.polygonVertexCount;
        glGenBuffersARB(1, &part.vertexBuffer);
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.vertexBuffer);
        glBufferDataARB(GL_ARRAY_BUFFER_ARB, corners * 12, part.vertices.data(), GL_STATIC_DRAW_ARB);
        glGenBuffersARB(1, &part.normalBuffer);
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.normalBuffer);
        glBufferDataARB(GL_ARRAY_BUFFER_ARB, corners * 12, part.normals.data(), GL_STATIC_DRAW_ARB);
        glGenBuffersARB(1, &part.uvBuffer);
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.uvBuffer);
        glBufferDataARB(GL_ARRAY_BUFFER_ARB, corners * 8, part.uvs.data(), GL_STATIC_DRAW_ARB);
    }
    if (!parts.empty()) glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

namespace {
void ApplyMaterial(const CGMaterial& m) {
    glMaterialfv(GL_FRONT, GL_AMBIENT, m.ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, m.specular);
    glMaterialf(GL_FRONT, GL_SHININESS, m.shininess);
    glMaterialfv(GL_FRONT, GL_EMISSION, m.emission);
}
}  // namespace

void CGObject::BuildDisplayList() {
    for (int i = 0; i < PartCount(); ++i) {
        CGPart& part = parts[size_t(i)];
        part.displayList = glGenLists(1);
        glNewList(part.displayList, GL_COMPILE);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        if (PartTextured(i)) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, GLuint(PartTexture(i)));
        }
        ApplyMaterial(part.material);
        glVertexPointer(3, GL_FLOAT, 12, part.vertices.data());
        glNormalPointer(GL_FLOAT, 12, part.normals.data());
        glTexCoordPointer(2, GL_FLOAT, 8, part.uvs.data());
        glDrawArrays(GL_TRIANGLES, 0, part.polygonVertexCount);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        if (PartTextured(i)) glDisable(GL_TEXTURE_2D);
        glEndList();
    }
}

void CGObject::ApplyTextureFilter() const {
    const GLint filter = textureFilter == 1 ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    if (mipmapMode == 0) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 1000);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mipmapMode == 1 ? GL_NEAREST_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_LINEAR);
    }
}

void CGObject::DrawImmediate(int i) const {
    const CGPart& part = parts[size_t(i)];
    glBegin(GL_TRIANGLES);
    for (int j = 0; j < part.polygonVertexCount; ++j) {
        glNormal3f(part.normals[size_t(3 * j)], part.normals[size_t(3 * j + 1)], part.normals[size_t(3 * j + 2)]);
        glTexCoord2f(part.uvs[size_t(2 * j)], part.uvs[size_t(2 * j + 1)]);
        glVertex3f(part.vertices[size_t(3 * j)], part.vertices[size_t(3 * j + 1)], part.vertices[size_t(3 * j + 2)]);
    }
    glEnd();
}

void CGObject::Draw() {
    glPushMatrix();
    if (!immediateMode) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    ApplyTextureFilter();
    const bool vbo = useVbo && GLEW_ARB_vertex_buffer_object;
    for (int i = firstPart < 0 ? 0 : firstPart; i <= lastPart && i < PartCount(); ++i) {
        const CGPart& part = parts[size_t(i)];
        const bool withShader = PartUsesShader(i);
        if (withShader) shader.Use();
        const bool tex = PartTextured(i);
        // The filter settings act on the bound texture: bind the part's own
        // texture first on every path, as a display list binds it only inside.
        if (tex) {
            glBindTexture(GL_TEXTURE_2D, GLuint(PartTexture(i)));
            ApplyTextureFilter();
        }
        if (displayLists) {
            glPolygonMode(GL_FRONT_AND_BACK, GLenum(polygonMode));
            glCallList(part.displayList);
        } else {
            if (tex) glEnable(GL_TEXTURE_2D);
            ApplyMaterial(part.material);
            glPolygonMode(GL_FRONT_AND_BACK, GLenum(polygonMode));
            if (vbo) {
                glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.vertexBuffer);
                glVertexPointer(3, GL_FLOAT, 0, nullptr);
                glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.uvBuffer);
                glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
                glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.normalBuffer);
                glNormalPointer(GL_FLOAT, 0, nullptr);
                glDrawArrays(GL_TRIANGLES, 0, part.polygonVertexCount);
                glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
            } else if (immediateMode) {
                DrawImmediate(i);
            } else {
                if (GLEW_ARB_vertex_buffer_object) glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
                glTexCoordPointer(2, GL_FLOAT, 8, part.uvs.data());
                glVertexPointer(3, GL_FLOAT, 12, part.vertices.data());
                glNormalPointer(GL_FLOAT, 12, part.normals.data());
                glDrawArrays(GL_TRIANGLES, 0, part.polygonVertexCount);
            }
            if (tex) glDisable(GL_TEXTURE_2D);
        }
        if (withShader) shader.Unuse();
    }
    if (!immediateMode) {
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glPopMatrix();
}
