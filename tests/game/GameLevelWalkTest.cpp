// The first demo level walked as the game walks its user: the level's
// models as frozen meshes, the user's capsule pushed down each frame and
// moved at the game's speed, no jump.
#include "game/CGConfig.h"
#include "game/CGObject.h"
#include "game/CGPhysics.h"
#include "game/GameModelImport.h"
#include "game/GameUtil.h"

#include "GameTestSupport.h"

#include "platform/physics/PhysicsActor.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// The bundled demo data: DUZ_DEMO_DATA, else beside the test data.
std::string DemoDataDir() {
    if (const char* dir = std::getenv("DUZ_DEMO_DATA")) return dir;
    const char* data = std::getenv("DUZ_TEST_DATA");
    return data != nullptr ? std::string(data) + "/../../assets" : std::string();
}

TEST(GameLevelWalk, TheFirstLevelsStairsLeadToTheGoalWithoutAJump) {
    const std::string demo = DemoDataDir();
    ASSERT_FALSE(demo.empty()) << "set DUZ_DEMO_DATA or DUZ_TEST_DATA";
    CGConfig config;
    config.Read(demo, "1");
    GameTempDir dir;
    GameCreateControllerManager();
    {
        CGPhysics physics;
        physics.cookedMeshFile = dir.Path() + "/temp.bin";
        duzsdk::KDuzSdkManager* manager = duzsdk::KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        std::vector<std::unique_ptr<CGObject>> objects;
        int boxes = 0;
        for (const std::string& name : ListFiles(config.staticDirectory)) {
            if (name.rfind("sky", 0) == 0) continue;
            duzsdk::KDuzScene* scene = duzsdk::KDuzScene::Create(manager, "");
            ASSERT_TRUE(GameImportScene(manager, scene, config.staticDirectory + name)) << name;
            auto object = std::make_unique<CGObject>();
            object->AddPartsFromScene(scene);
            for (const CGPart& part : object->parts) {
                duzplatform::PhysicsActor* actor =
                    physics.AddMeshActor(part.vertices.data(), part.polygonVertexCount, {0, 0, 0}, part.polygonCount);
                ASSERT_NE(actor, nullptr) << name;
                for (uint32_t s = 0; s < actor->ShapeCount(); ++s) actor->Shape(s)->SetGroup(1);
            }
            if (name.rfind("box", 0) == 0) ++boxes;
            objects.push_back(std::move(object));
        }
        ASSERT_GT(boxes, 1);

        duzplatform::CapsuleController* user =
            GameControllerManager()->CreateController(physics.scene, GameControllerDesc());
        ASSERT_NE(user, nullptr);
        // As the game's idle step at 60 frames a second: pushed down unless
        // standing on the ground, walking 20 units a second.
        const float speed = 20.0f / 60.0f;
        auto walkTowards = [&](float x, float z) {
            const duzplatform::PhysicsVec3 p = user->Actor()->GlobalPosition();
            const float dx = x - float(p.x), dz = z - float(p.z);
            const float length = std::sqrt(dx * dx + dz * dz);
            const float v = p.y <= 2.0 ? 0.0f : -0.7f;
            if (length < 1e-3f) return;
            const float step = std::min(speed, length);
            user->Move({dx / length * step, v, dz / length * step}, 6, 0.000001f, v);
        };
        // To the foot of the stairs, then straight up them.
        int frames = 0;
        for (; frames < 600; ++frames) {
            const duzplatform::PhysicsVec3 p = user->Actor()->GlobalPosition();
            if (std::fabs(p.x + 15) < 0.01 && std::fabs(p.z + 38) < 0.01) break;
            walkTowards(-15, -38);
        }
        bool reached = false;
        double highest = 0;
        for (int f = 0; f < 1200 && !reached; ++f) {
            walkTowards(-15, -88);
            const duzplatform::PhysicsVec3 p = user->Actor()->GlobalPosition();
            highest = std::max(highest, double(p.y));
            reached = config.goal.Contains(float(p.x), float(p.y), float(p.z));
        }
        const duzplatform::PhysicsVec3 p = user->Actor()->GlobalPosition();
        EXPECT_TRUE(reached) << "stopped at (" << p.x << ", " << p.y << ", " << p.z << "), highest " << highest;
        GameControllerManager()->PurgeControllers();
        manager->Destroy();
    }
    GameReleaseControllerManager();
}

}  // namespace
