// The GL tests share one window: GLEW needs a GLX context, and the demo
// level's GL objects are built once for all of them.
#include "GlTestSupport.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstdio>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL | GLUT_RGBA);
    glutInitWindowSize(kGlWidth, kGlHeight);
    glutCreateWindow("GLUT");
    if (glewInit() != GLEW_OK) {
        std::fprintf(stderr, "GLEW could not be initialised\n");
        return 1;
    }
    if (GlDemoDataDir().empty()) {
        std::fprintf(stderr, "DUZ_DEMO_DATA names no demo data folder\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
