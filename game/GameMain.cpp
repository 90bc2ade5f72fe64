// The program entry, the GLUT callbacks, level loading and the frame.
//
// Environment switches for unattended runs (the smoke test uses them):
//   DUZ_GAME_AUTOQUIT_FRAMES=N  end with status 0 after N frames;
//   DUZ_GAME_AUTOSTART=1        start in the level instead of the menu;
//   DUZ_GAME_AUTOSTART=2        the same, then go on to the second level at once;
//   DUZ_GAME_LOG=1              diagnostic log to standard error;
//   DUZ_GAME_SCREENSHOT=file    with AUTOQUIT: the last frame as a binary PPM image.
#include "game/CGEnemy.h"
#include "game/CGGameState.h"
#include "game/CGKran.h"
#include "game/CGMenue.h"
#include "game/CGMorvoVesk.h"
#include "game/CGPhysics.h"
#include "game/CGShader.h"
#include "game/CGSound.h"
#include "game/CGStaticObject.h"
#include "game/CGTimer.h"
#include "game/CPartEmitter.h"
#include "game/GameRules.h"
#include "game/GameScreens.h"
#include "game/GameUtil.h"

#include "platform/physics/PhysicsActor.h"
#include "platform/physics/PhysicsScene.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glu.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

CGGameState gState;
double gFrameTime = 0.1;
double gFps = 1.0;
bool gMenuShown = true;
CGPhysics* gPhysics = nullptr;   // one per level; the old one is kept (its actors are still referenced)
duzplatform::CapsuleController* gController = nullptr;
CGShader* gShader = nullptr;
CGMenue* gMenu = nullptr;
CGSound* gSound = nullptr;
CPartEmitter* gSnow = nullptr;
unsigned gSnowTexture = 0;
int gOpponent = -1;   // index in the dynamic objects; -1 without an opponent
CGTimer gTimer;
float gParticleClock = 0, gParticleDelta = 0;
double gMouseLookTimer = 0;
float gPhysicsStep = 0;
CGJump gJump;
int gCursorX = -1, gCursorY = -1;
long gFramesLeft = -1;   // DUZ_GAME_AUTOQUIT_FRAMES

CGEnemy* User() {
    return gState.dynamicObjects.empty() ? nullptr : static_cast<CGEnemy*>(gState.dynamicObjects[0]);
}

CGMorvoVesk* Opponent() {
    if (gOpponent <= 0 || gOpponent >= int(gState.dynamicObjects.size())) return nullptr;
    return static_cast<CGMorvoVesk*>(gState.dynamicObjects[size_t(gOpponent)]);
}

void ApplyRenderOptions(CGObject* o) { GameApplyRenderOptions(gState, *o); }

void AddMeshActors(CGObject* o) {
    for (const CGPart& part : o->parts) {
        duzplatform::PhysicsActor* actor =
            gPhysics->AddMeshActor(part.vertices.data(), part.polygonVertexCount, {0, 0, 0}, part.polygonCount);
        if (actor == nullptr) continue;
        actor->SetGroup(10);
        o->actors.push_back(actor);
    }
}

void SetShapeGroups(CGObject* o, uint16_t group) {
    for (duzplatform::PhysicsActor* actor : o->actors)
        for (int s = int(actor->ShapeCount()) - 1; s >= 0; --s) actor->Shape(uint32_t(s))->SetGroup(group);
}

}  // namespace

void GameLoadLevel() {
    const CGConfig& cfg = gState.config;
    CGTexture* textures = gState.textures.get();
    textures->LoadDirectory(cfg.textureDirectory);
    gOpponent = -1;

    for (const std::string& name : ListFiles(cfg.staticDirectory)) {
        const std::string settings = cfg.staticDirectory + StripExtension(name) + "\\";
        const bool sky = GameModelRole(name, true) == CGModelRole::SkyBox;
        CGStaticObject* object = sky ? new CGSkyBox(settings, textures, gShader)
                                     : new CGStaticObject(settings, textures, gShader);
        ApplyRenderOptions(object);
        object->ImportModel(cfg.staticDirectory + name);
        object->name = StripExtension(name);
        gState.staticObjects.push_back(object);
        if (!sky) AddMeshActors(object);
    }

    CGEnemy* user = new CGEnemy;
    user->controller = gController;
    gState.dynamicObjects.insert(gState.dynamicObjects.begin(), user);

    for (const std::string& name : ListFiles(cfg.dynamicDirectory)) {
        const std::string settings = cfg.dynamicDirectory + StripExtension(name) + "\\";
        const std::string path = cfg.dynamicDirectory + name;
        const CGModelRole role = GameModelRole(name, false);
        if (role == CGModelRole::Crane) {
            CGKran* crane = new CGKran(settings, textures, gShader);
            ApplyRenderOptions(crane);
            crane->timingSource = &gFps;
            crane->name = StripExtension(name);
            crane->ImportModel(path);
            AddMeshActors(crane);
            gState.dynamicObjects.push_back(crane);
        } else if (role == CGModelRole::User) {
            user->timingSource = &gFps;
            user->LoadModel(settings, textures, gShader);
            user->displayLists = true;
            user->ImportModel(path);
        } else if (role == CGModelRole::Opponent) {
            CGMorvoVesk* vesk = new CGMorvoVesk(settings, textures, user, gShader);
            vesk->name = StripExtension(name);
            vesk->ImportModel(path);
            vesk->timingSource = &gFps;
            ApplyRenderOptions(vesk);
            gState.dynamicObjects.push_back(vesk);
            gOpponent = int(gState.dynamicObjects.size()) - 1;
        }
    }
    // The user's capsule belongs to the character whether or not its model exists.
    if (gController != nullptr && gController->Actor() != nullptr) {
        duzplatform::PhysicsActor* actor = gController->Actor();
        actor->SetGroup(5);
        actor->SetMass(3000.0f);
        if (user->actors.empty()) user->actors.push_back(actor);
    }

    for (CGObject* o : gState.staticObjects) SetShapeGroups(o, 1);
    for (size_t i = 1; i < gState.dynamicObjects.size(); ++i) SetShapeGroups(gState.dynamicObjects[i], 1);
    if (gController != nullptr && gController->Actor() != nullptr) {
        duzplatform::PhysicsActor* actor = gController->Actor();
        for (int s = int(actor->ShapeCount()) - 1; s >= 0; --s) actor->Shape(uint32_t(s))->SetGroup(2);
    }

    if (gMenu != nullptr && gMenu->PartCount() == 0) {
        const std::string settings = StripExtension(cfg.menuModel) + "\\";
        gMenu->name = "menue";
        gMenu->Bind(settings, textures, gShader);
        ApplyRenderOptions(gMenu);
        gMenu->ImportModel(cfg.menuModel);
    }
    glutSetWindow(glutGetWindow());
}

void GameDrawPhysicsShapes() {
    if (gPhysics == nullptr || gPhysics->scene == nullptr) return;
    duzplatform::PhysicsScene* scene = gPhysics->scene;
    for (uint32_t a = 0; a < scene->ActorCount(); ++a) {
        duzplatform::PhysicsActor* actor = scene->Actor(a);
        if (actor == nullptr || actor->UserData() == nullptr) continue;
        for (int s = int(actor->ShapeCount()) - 1; s >= 0; --s) {
            const duzplatform::PhysicsShape* shape = actor->Shape(uint32_t(s));
            const duzplatform::PhysicsVec3 p = actor->GlobalPosition();
            glPushMatrix();
            glTranslatef(p.x + shape->Desc().localPosition.x, p.y + shape->Desc().localPosition.y,
                         p.z + shape->Desc().localPosition.z);
            switch (shape->Type()) {
            case duzplatform::PhysicsShapeType::Plane:
                glTranslatef(0, -0.1f, 0);
                glScalef(10240, 0, 10240);
                glBegin(GL_TRIANGLES);
                glNormal3f(0, 1, 0);
                glVertex3f(1, 0, 1); glVertex3f(1, 0, -1); glVertex3f(-1, 0, -1);
                glVertex3f(-1, 0, -1); glVertex3f(-1, 0, 1); glVertex3f(1, 0, 1);
                glEnd();
                break;
            case duzplatform::PhysicsShapeType::Box: {
                const auto& e = shape->Desc().boxHalfExtents;
                glScalef(e.x, e.y, e.z);
                glutSolidCube(2.0);
                break;
            }
            case duzplatform::PhysicsShapeType::TriangleMesh:
                if (shape->Desc().mesh != nullptr) {
                    const auto& data = shape->Desc().mesh->Data();
                    glBegin(GL_TRIANGLES);
                    for (size_t t = 0; t + 2 < data.indices.size(); t += 3) {
                        const float* v[3];
                        for (int c = 0; c < 3; ++c) v[c] = &data.points[size_t(data.indices[t + size_t(c)]) * 3];
                        float u[3], w[3], n[3];
                        for (int c = 0; c < 3; ++c) {
                            u[c] = v[1][c] - v[0][c];
                            w[c] = v[2][c] - v[0][c];
                        }
                        n[0] = u[1] * w[2] - u[2] * w[1];
                        n[1] = u[2] * w[0] - u[0] * w[2];
                        n[2] = u[0] * w[1] - u[1] * w[0];
                        const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                        if (len > 0)
                            for (float& c : n) c /= len;
                        glNormal3fv(n);
                        for (int c = 0; c < 3; ++c) glVertex3fv(v[c]);
                    }
                    glEnd();
                }
                break;
            case duzplatform::PhysicsShapeType::Sphere: GameLog("copy function drawshpere()"); break;
            case duzplatform::PhysicsShapeType::Capsule: GameLog("copy function drawencapsule()"); break;
            case duzplatform::PhysicsShapeType::Wheel: GameLog("copy function drawwheelshape()"); break;
            case duzplatform::PhysicsShapeType::HeightField: GameLog("copy function drawheightfield()"); break;
            default: break;
            }
            glPopMatrix();
        }
    }
}

void GameSpawnSnow() {
    if (gSnow == nullptr) return;
    CGEnemy* user = User();
    for (int i = 0; i < 1000; ++i) {
        CParticle p;
        p.birth = gTimer.elapsed;
        p.position[0] = float(std::rand() % 80 - 40);
        p.position[1] = float(std::rand() % 80 - 40);
        p.position[2] = float(std::rand() % 200 - 200);
        p.lifetime = float(std::rand() % 10) * 0.1f;
        p.size = float(std::rand() % 10 - 5) * 0.1f + 0.2f;
        p.velocity[0] = 0;
        p.velocity[1] = -40;
        p.velocity[2] = 1;
        p.colour[0] = p.colour[1] = p.colour[2] = 0.9f;
        p.colour[3] = 1;
        p.anchor = user != nullptr ? &user->FirstPerson() : nullptr;
        gSnow->Add(p);
    }
}

void GameInit() {
    std::srand(unsigned(std::time(nullptr)));
    gSnow = new CPartEmitter(1000);
    gTimer.Start();
    gTimer.Tick();
    gParticleClock = gTimer.elapsed;
    gParticleDelta = gTimer.delta;
    GameSpawnSnow();
}

namespace {

void NewPhysicsWorld() {
    gPhysics = new CGPhysics;
    gController = nullptr;
    if (duzplatform::ControllerManager* manager = GameControllerManager())
        gController = manager->CreateController(gPhysics->scene, GameControllerDesc());
}

void PlayFrame() {
    CGEnemy* user = User();
    if (user == nullptr) return;
    user->FollowController();
    const float* u = user->FirstPerson().eye;
    CGMorvoVesk* vesk = Opponent();
    if (gState.config.goal.Contains(u[0], u[1], u[2])) {
        if (gState.config.levelId == "1")
            gState.nextLevel = true;
        else
            gState.won = true;
    } else if (vesk != nullptr && GameIsCaught(u, vesk->position)) {
        gState.lost = true;
    } else {
        gPhysicsStep = float(GameFrameSeconds());
        GameDrawPhysicsShapes();
        if (gPhysics != nullptr && gPhysics->scene != nullptr) {
            gPhysics->scene->Simulate(gPhysicsStep);
            gPhysics->scene->FetchResults(true);
        }
        if (gState.trailTimer > 0.2) {
            if (vesk != nullptr) vesk->trail.push_back(GameTrailPoint(u, gJump.jumping, vesk->trail));
            gState.trailTimer = 0;
        }
        if (gState.helpPage) {
            GameDrawHelpScreen(gState);
        } else {
            GameSpawnSnow();
            for (CGObject* o : gState.staticObjects) o->Draw();
            for (CGObject* o : gState.dynamicObjects) o->Draw();
            if (gSnow != nullptr) {
                gSnow->Update(gParticleClock, gParticleDelta);
                gSnow->Draw(gSnowTexture);
            }
        }
    }
    gState.trailTimer += gFrameTime;
    if (gState.viewTimer < 1.0) GameDrawText(gState, -0.2f, -0.7f, -2, gState.viewMessage, 0);
}

}  // namespace

namespace {

void SaveScreenshot() {
    const char* path = std::getenv("DUZ_GAME_SCREENSHOT");
    if (path == nullptr) return;
    const int w = gState.config.screenWidth, h = gState.config.screenHeight;
    if (w <= 0 || h <= 0) return;
    std::vector<unsigned char> pixels(size_t(w) * size_t(h) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    if (FILE* f = std::fopen(path, "wb")) {
        std::fprintf(f, "P6\n%d %d\n255\n", w, h);
        for (int y = h - 1; y >= 0; --y) std::fwrite(&pixels[size_t(y) * size_t(w) * 3], 1, size_t(w) * 3, f);
        std::fclose(f);
    }
}

}  // namespace

void GameRenderFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GameSetupCamera(gState);
    gParticleClock = gTimer.elapsed;
    gParticleDelta = gTimer.delta;
    gTimer.Tick();
    if (gMenuShown) {
        GameDrawMenuScreen(gState, gMenu);
    } else {
        GameSetFrameLights(gState);
        if (gState.won) {
            GameDrawText(gState, -0.3f, 0, -2, "You have WON!!!", 0);
        } else if (gState.lost && !gState.nextLevel) {
            GameDrawText(gState, -0.3f, 0, -2, "You LOST!!!", 0);
        } else if (gState.nextLevel) {
            gState.ReadConfig(CurrentDirectory(), "2");
            gState.BuildFonts();
            GameDrawText(gState, -0.3f, 0, -2, "Loading next Level ...", 0);
            glFlush();
            glutSwapBuffers();
            NewPhysicsWorld();
            GameLoadLevel();
            glutWarpPointer(0, 0);
        } else {
            PlayFrame();
        }
    }
    if (!gMenuShown) {
        if (gState.statusTimer < 1.0) GameDrawText(gState, -0.9f, -0.8f, -2, gState.statusMessage, 1);
        if (gState.showFps) GameDrawFps(gState, gFps);
    }
    gState.statusTimer += gFrameTime;
    gState.viewTimer += gFrameTime;
    gFrameTime = 0;
    glFlush();
    if (gFramesLeft == 1) SaveScreenshot();
    glutSwapBuffers();
    if (GLenum error = glGetError(); error != GL_NO_ERROR)
        std::printf("GL Error: %s \n", reinterpret_cast<const char*>(gluErrorString(error)));
    GameSetupCamera(gState);
    if (gFramesLeft > 0 && --gFramesLeft == 0) std::exit(0);
}

namespace {

void FinishFrameTiming(std::chrono::steady_clock::time_point start) {
    gFrameTime += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    gFps = gFrameTime > 0 ? 1.0 / gFrameTime : gFps;
}

void GameMouseLook(int x, int y) {
    if (gMenuShown || !gState.hasFocus) return;
    if (gState.lastCursorX == -1) {
        gState.lastCursorX = x;
        gState.lastCursorY = y;
        return;
    }
    CGLookFlags flags;
    if (!GameMouseLookFlags(gState.lastCursorX, gState.lastCursorY, x, y, flags)) return;
    gState.turnLeft = flags.turnLeft;
    gState.turnRight = flags.turnRight;
    gState.pitchUp = flags.pitchUp;
    gState.pitchDown = flags.pitchDown;
    const int cx = gState.config.screenWidth / 2, cy = gState.config.screenHeight / 2;
    glutWarpPointer(cx, cy);
    gCursorX = cx;
    gCursorY = cy;
    gState.lastCursorX = cx;
    gState.lastCursorY = cy;
}

uint32_t MoveUser(float dx, float dy, float dz, float sharpness) {
    if (gController == nullptr) return 0;
    return gController->Move({dx, dy, dz}, 6, 0.000001f, sharpness);
}

void GameOnIdle() {
    const auto start = std::chrono::steady_clock::now();
    if (gMouseLookTimer > 0.008) {
        gMouseLookTimer = 0;
        GameMouseLook(gCursorX, gCursorY);
    }
    gMouseLookTimer += gFrameTime;
    CGEnemy* user = User();
    if (!gMenuShown && user != nullptr) {
        float v = -0.7f;
        if (gController != nullptr && gController->Actor() != nullptr &&
            gController->Actor()->GlobalPosition().y <= 2.0f)
            v = 0;
        const float s = gJump.Step(gPhysicsStep / 3);
        if (s != 0) v = s * 0.7f;
        uint32_t collision = 0;
        if (v != 0) collision = MoveUser(0, v, 0, 1);
        const float ft = float(gFrameTime);
        if (gState.turnLeft) user->Turn(ft * -3);
        if (gState.turnRight) user->Turn(ft * 3);
        if (gState.pitchUp) user->Pitch(ft * 2.4f);
        if (gState.pitchDown) user->Pitch(ft * -2.4f);
        const CGCamera& cam = user->FirstPerson();
        const float speed = float(20 / gFps);
        if (gState.walkForward) collision = MoveUser(cam.look[0] * speed, v, cam.look[2] * speed, v);
        if (gState.walkBackward) collision = MoveUser(-cam.look[0] * speed, v, -cam.look[2] * speed, v);
        if (gState.strafeLeft) collision = MoveUser(-cam.side[0] * speed, v, -cam.side[2] * speed, v);
        if (gState.strafeRight) collision = MoveUser(cam.side[0] * speed, v, cam.side[2] * speed, v);
        if (collision & duzplatform::PhysicsControllerFlag::Down) gJump.jumping = false;
        GameApplyRenderOptions(gState);
    }
    GameRenderFrame();
    FinishFrameTiming(start);
}

void GameOnDisplay() {
    const auto start = std::chrono::steady_clock::now();
    GameRenderFrame();
    FinishFrameTiming(start);
}

void GameOnKeyboard(unsigned char key, int, int) {
    if (gMenuShown) {
        if (key == ' ' && gMenu != nullptr) {
            const std::string& entry = gMenu->SelectedText();
            if (entry == "Start") gMenuShown = false;
            else if (entry == "Help") gMenu->helpPage = true;
            else if (entry == "Exit") std::exit(0);
        }
        return;
    }
    switch (key) {
    case 27: std::exit(0);
    case ' ': gJump.Start(70); break;
    case 'w': gState.walkForward = true; break;
    case 's': gState.walkBackward = true; break;
    case 'a': gState.strafeLeft = true; break;
    case 'd': gState.strafeRight = true; break;
    case 'f':
        if (CGMorvoVesk* vesk = Opponent()) vesk->following = !vesk->following;
        break;
    case 'n': gState.nextLevel = true; break;
    case 'v':
        if (CGEnemy* user = User()) {
            user->ToggleView();
            gState.viewMessage = user->ViewName();
            gState.viewTimer = 0;
        }
        break;
    default: break;
    }
}

void GameOnKeyboardUp(unsigned char key, int, int) {
    switch (key) {
    case 'w': gState.walkForward = false; break;
    case 's': gState.walkBackward = false; break;
    case 'a': gState.strafeLeft = false; break;
    case 'd': gState.strafeRight = false; break;
    default: break;
    }
    if (gController != nullptr && gController->Actor() != nullptr) gController->Actor()->PutToSleep();
}

void GameOnSpecialKey(int key, int, int) {
    if (gMenuShown && gMenu != nullptr) {
        if (key == GLUT_KEY_UP) gMenu->SelectPrevious();
        if (key == GLUT_KEY_DOWN) gMenu->SelectNext();
    }
    GameApplySpecialKey(gState, key, GLEW_ARB_vertex_program);
}

void GameOnEntry(int state) {
    if (state == GLUT_ENTERED) {
        gState.hasFocus = true;
    } else {
        gState.hasFocus = false;
        gState.lastCursorX = gState.lastCursorY = -1;
    }
}

void GameOnMotion(int x, int y) {
    gCursorX = x;
    gCursorY = y;
    gState.hasFocus = true;   // moving inside the window is focus enough without entry events
}

void EnterWindow(const std::string& resolution) {
    glutGameModeString(resolution.c_str());
    if (glutGameModeGet(GLUT_GAME_MODE_POSSIBLE) && glutEnterGameMode() != 0) return;
    // No mode switch (e.g. a virtual display): a full-screen window instead.
    int width = gState.config.screenWidth, height = gState.config.screenHeight;
    if (width <= 0 || height <= 0) {
        width = 1024;
        height = 768;
    }
    glutInitWindowSize(width, height);
    glutCreateWindow("GLUT");
    glutFullScreen();
}

}  // namespace

int main(int argc, char** argv) {
    std::printf("DUZ Snow Run\n");
    std::printf("===========================================================\n");
    std::printf("Loading, please wait ...\n");
    std::fflush(stdout);
    if (const char* frames = std::getenv("DUZ_GAME_AUTOQUIT_FRAMES")) gFramesLeft = std::atol(frames);
    const char* autostart = std::getenv("DUZ_GAME_AUTOSTART");
    const int autostartMode = autostart != nullptr ? std::atoi(autostart) : 0;
    gMenuShown = autostartMode == 0;

    GameCreateControllerManager();
    std::atexit(GameReleaseControllerManager);

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    const std::string directory = CurrentDirectory();
    // Only the resolution is needed before the window exists.
    gState.config.Read(directory, "1");
    EnterWindow(gState.config.resolution);
    glutSetCursor(GLUT_CURSOR_NONE);

    gState.ReadConfig(directory, "1");
    gState.BuildFonts();
    GameInitGL(gState);

    gShader = new CGShader(gState.config.vertexShader1, gState.config.fragmentShader1);
    gShader->Compile();
    gMenu = new CGMenue(2, 2, &gState.fonts[3], &gState.fonts[4]);

    NewPhysicsWorld();
    GameLoadLevel();

    glutDisplayFunc(GameOnDisplay);
    glutReshapeFunc([](int width, int height) { GameOnReshape(gState, width, height); });
    glutIgnoreKeyRepeat(1);
    glutKeyboardFunc(GameOnKeyboard);
    glutKeyboardUpFunc(GameOnKeyboardUp);
    glutSpecialFunc(GameOnSpecialKey);
    glutEntryFunc(GameOnEntry);
    glutIdleFunc(GameOnIdle);
    glutPassiveMotionFunc(GameOnMotion);
    glutMotionFunc(GameOnMotion);

    gSound = new CGSound;
    gSound->PlayMusic(directory + "/");

    if (gPhysics->scene != nullptr) {
        gPhysics->scene->Simulate(0.2f);
        gPhysics->scene->FetchResults(true);
    }
    gSnowTexture = unsigned(gState.textures->Find("snow"));
    GameInit();
    if (autostartMode == 2) gState.nextLevel = true;
    glutMainLoop();
    return 0;
}
