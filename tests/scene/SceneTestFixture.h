#pragma once

#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

namespace duzsdk {

// A manager with one scene in it; the manager takes everything with it.
class SceneTestFixture : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = KDuzScene::Create(manager, "scene");
        ASSERT_NE(scene, nullptr);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Destroy();
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
};

}  // namespace duzsdk
