#include "game/CGEnemy.h"
#include "game/CGFont.h"
#include "game/CGKran.h"
#include "game/CGMenue.h"
#include "game/CGMorvoVesk.h"
#include "game/CPartEmitter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(CGCamera, TurnAndPitchWithinTheLimit) {
    CGCamera camera;
    camera.Turn(3.1415926f / 2);
    EXPECT_NEAR(camera.look[0], 1.0f, 1e-6);
    EXPECT_NEAR(camera.look[2], 0.0f, 1e-6);
    EXPECT_NEAR(camera.side[2], 1.0f, 1e-6);
    for (int i = 0; i < 100; ++i) camera.Pitch(0.1f);
    EXPECT_LT(camera.pitch, 1.6f);   // turned back at the limit
    EXPECT_GT(camera.pitch, 1.3f);
    EXPECT_NEAR(camera.look[1], std::sin(camera.pitch), 1e-6);
}

TEST(CGSwing, SwingsBetweenTheLimits) {
    CGSwing swing;
    float lowest = 0, highest = 0;
    for (int i = 0; i < 500; ++i) {
        swing.Step(10.0);
        lowest = std::min(lowest, swing.angle);
        highest = std::max(highest, swing.angle);
    }
    EXPECT_GE(lowest, -70.0f - 6.9f);   // one step past the limit before turning
    EXPECT_LE(highest, 70.0f + 6.9f);
    EXPECT_GT(highest, 60.0f);
}

TEST(CGEnemy, ViewsCycleWithTheirNames) {
    CGEnemy enemy;
    EXPECT_STREQ(enemy.ViewName(), "First Person");
    enemy.ToggleView();
    EXPECT_STREQ(enemy.ViewName(), "Third Person");
    EXPECT_EQ(enemy.viewIndex, 1);
    enemy.ToggleView();
    EXPECT_STREQ(enemy.ViewName(), "First Person (backview)");
    EXPECT_EQ(enemy.viewIndex, 0);
    enemy.ToggleView();
    EXPECT_STREQ(enemy.ViewName(), "First Person");
    // The backview camera looks the other way.
    EXPECT_NEAR(enemy.cameras[CGEnemy::kBackview].look[2], 1.0f, 1e-6);
    EXPECT_EQ(enemy.cameras[CGEnemy::kBackview].pitchSign, -1);
    EXPECT_EQ(enemy.cameras[CGEnemy::kThirdPerson].eye[1], 3.0f);
}

TEST(CGMorvoVesk, FollowsTheTrail) {
    CGMorvoVesk vesk("", nullptr, nullptr, nullptr);
    vesk.FollowTrail();   // empty trail: nothing changes
    EXPECT_EQ(vesk.direction[0], 0.0f);

    // A waypoint within a unit (after the 1.5 drop): stands still.
    vesk.trail.push_back({30.5f, 1.5f, -30});
    vesk.FollowTrail();
    EXPECT_EQ(vesk.direction[0], 0.0f);
    EXPECT_EQ(vesk.direction[2], 0.0f);

    // Reached: moves on to the next point, heading straight at it.
    vesk.trail.push_back({30, 1.5f, -40});
    vesk.FollowTrail();
    EXPECT_EQ(vesk.waypoint, 1u);
    EXPECT_FLOAT_EQ(vesk.direction[2], -1.0f);
    vesk.Advance(7.0);
    EXPECT_FLOAT_EQ(vesk.position[2], -31.0f);

    // The integer length makes components above 1: clamped.
    vesk.trail.push_back({31.9f, 1.5f, -31});
    vesk.waypoint = 2;
    vesk.FollowTrail();
    EXPECT_FLOAT_EQ(vesk.direction[0], 1.0f);
}

TEST(CGKran, RotationAboutTheAxis) {
    const float none[3] = {0, 0, 0};
    duzplatform::PhysicsMat33 identity = CGKran::RotationMatrix(none, 45);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(identity.m[i][j], i == j ? 1.0f : 0.0f);
    const float up[3] = {0, 2, 0};   // normalised before use
    duzplatform::PhysicsMat33 r = CGKran::RotationMatrix(up, 90);
    EXPECT_NEAR(r.m[0][0], 0.0f, 1e-6);
    EXPECT_NEAR(r.m[0][2], 1.0f, 1e-6);
    EXPECT_NEAR(r.m[2][0], -1.0f, 1e-6);
    EXPECT_NEAR(r.m[1][1], 1.0f, 1e-6);

    CGKran crane("");
    crane.rotationAxis[1] = 1;
    crane.rotationAngle = 0;
    crane.Animate(60);
    EXPECT_EQ(crane.angle, 0.0f);   // a crane with angle 0 stands still
    crane.rotationAngle = 30;
    crane.Animate(10);
    EXPECT_FLOAT_EQ(crane.angle, 3.0f);
    EXPECT_FLOAT_EQ(crane.previousAngle, 0.0f);
}

TEST(CGMenue, SelectionWrapsAround) {
    CGMenue menu(2, 2, nullptr, nullptr);
    EXPECT_EQ(menu.SelectedText(), "Start");
    menu.SelectPrevious();
    EXPECT_EQ(menu.SelectedText(), "Exit");
    menu.SelectNext();
    EXPECT_EQ(menu.SelectedText(), "Start");
    menu.SelectNext();
    EXPECT_EQ(menu.SelectedText(), "Help");
}

TEST(CGFont, TextsKeepPercentDirectivesLiteral) {
    EXPECT_EQ(CGFont::FormatWithoutArguments("50%% off"), "50% off");
    EXPECT_EQ(CGFont::FormatWithoutArguments("%s %n %d"), "%s %n %d");
    EXPECT_EQ(CGFont::FormatWithoutArguments("end %"), "end %");
}

TEST(CPartEmitter, LifetimesAndCapacity) {
    CPartEmitter emitter(3);
    CParticle p;
    p.velocity[1] = -40;
    p.birth = 1.0f;
    p.lifetime = 0.0f;
    EXPECT_TRUE(emitter.Add(p));
    p.lifetime = 8.0f;
    p.size = -0.3f;   // a mirrored quad is still a particle
    EXPECT_TRUE(emitter.Add(p));
    EXPECT_TRUE(emitter.Add(p));
    EXPECT_FALSE(emitter.Add(p));
    EXPECT_EQ(emitter.Count(), 3);

    emitter.Update(1.5f, 0.5f);   // the one with lifetime 0 ends at once
    EXPECT_EQ(emitter.Count(), 2);
    ASSERT_EQ(emitter.particles.size(), 2u);
    EXPECT_FLOAT_EQ(emitter.particles[0].position[1], -20.0f);
    emitter.Update(20.0f, 0.1f);
    EXPECT_EQ(emitter.Count(), 0);
}

}  // namespace
