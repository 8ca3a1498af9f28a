#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "model/Trackball.h"
#include "render/CameraControl.h"
#include "render/Scene.h"
#include "render/SceneRadius.h"

using namespace velm;

namespace {

constexpr int kWidth = 200, kHeight = 100;

double Norm(const float q[4]) { return std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]); }
double TurnDegrees(const float q[4]) { return 2 * std::acos(std::min(1.0, std::fabs(double(q[3])) / Norm(q))) * 180 / M_PI; }
bool Unturned(const Trackball& t) { return t.orientation[0] == 0 && t.orientation[1] == 0 && t.orientation[2] == 0; }

void ExpectPlaced(const Trackball& t, const Vec3& from, const Vec3& to, double tolerance = 1e-5) {
    const Vec3 p = Placement(t).Place(from);
    EXPECT_NEAR(p.x, to.x, tolerance);
    EXPECT_NEAR(p.y, to.y, tolerance);
    EXPECT_NEAR(p.z, to.z, tolerance);
}

// A molecule of two atoms 4 apart along x, so that its box has an extent.
std::unique_ptr<Molecule> Pair() {
    auto m = std::make_unique<Molecule>();
    for (double x : {-2.0, 2.0}) {
        Atom a;
        a.x = x;
        a.radius = 1;
        m->atoms.push_back(a);
    }
    UpdateBoundingBox(*m);
    return m;
}

// A 200 x 100 view with two molecules and every callback counted.
class CameraControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        scene_.settings.width = kWidth;
        scene_.settings.height = kHeight;
        a_ = molecules_.Append(Pair()).get();
        b_ = molecules_.Append(Pair()).get();
        callbacks_.redraw = [this] { ++redraws_; };
        callbacks_.projectionChanged = [this] { ++projections_; };
        callbacks_.hydrogenBondsChanged = [this] { ++hbonds_; };
        callbacks_.coordinatesChanged = [this] { ++coordinates_; };
        callbacks_.pick = [this](int x, int y) { picks_.push_back({x, y}); };
        callbacks_.captureMouse = [this](bool on) { captures_.push_back(on); };
        camera_ = std::make_unique<CameraControl>(scene_, molecules_, callbacks_);
    }
    void LeftDrag(int x0, int y0, int x1, int y1, bool ctrl = false) {
        camera_->ButtonDown(kLeftButton, x0, y0, kLeftButton, ctrl);
        camera_->MouseMove(x1, y1, kLeftButton, ctrl);
        camera_->ButtonUp(kLeftButton, x1, y1, ctrl);
    }
    void RightDrag(int x0, int x1, bool ctrl = false) {
        camera_->ButtonDown(kRightButton, x0, 50, kRightButton, ctrl);
        camera_->MouseMove(x1, 50, kRightButton, ctrl);
        camera_->ButtonUp(kRightButton, x1, 50, ctrl);
    }

    Scene scene_;
    list<std::unique_ptr<Molecule>> molecules_;
    Molecule* a_ = nullptr;
    Molecule* b_ = nullptr;
    CameraCallbacks callbacks_;
    std::unique_ptr<CameraControl> camera_;
    int redraws_ = 0, projections_ = 0, hbonds_ = 0, coordinates_ = 0;
    std::vector<std::pair<int, int>> picks_;
    std::vector<bool> captures_;
};

TEST(Trackball, StepsAreUnitTurnsAndCoincidentPointsGiveTheIdentity) {
    float q[4] = {0.3f, 0.3f, 0.3f, 0.3f};
    TrackballStep(q, 0.2f, -0.4f, 0.2f, -0.4f, 0.8f);
    EXPECT_EQ(q[0], 0);
    EXPECT_EQ(q[1], 0);
    EXPECT_EQ(q[2], 0);
    EXPECT_EQ(q[3], 1);
    // Inside the ball, on the sheet outside it and across the edge.
    const float steps[][4] = {{0, 0, 0.1f, 0}, {0.9f, 0.9f, 0.95f, 0.8f}, {0.1f, 0.2f, -0.9f, 0.7f}};
    for (const auto& s : steps) {
        TrackballStep(q, s[0], s[1], s[2], s[3], 0.8f);
        EXPECT_NEAR(Norm(q), 1, 1e-5);
        EXPECT_GT(TurnDegrees(q), 0.1);
    }

    EXPECT_FLOAT_EQ(NormalisedX(0, 200), -1);
    EXPECT_FLOAT_EQ(NormalisedX(100, 200), 0);
    EXPECT_FLOAT_EQ(NormalisedX(200, 200), 1);
    EXPECT_FLOAT_EQ(NormalisedY(0, 100), 1);  // window y runs down
    EXPECT_FLOAT_EQ(NormalisedY(75, 100), -0.5f);
    EXPECT_EQ(NormalisedX(5, 0), 0);
}

TEST(Trackball, ThousandsOfCompositionsStayUnit) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> near(-0.05f, 0.05f);
    float q[4] = {0, 0, 0, 1}, spin[4];
    for (int i = 0; i < 10000; ++i) {
        TrackballStep(spin, near(random), near(random), near(random), near(random), 0.8f);
        AddQuaternions(spin, q, q);
    }
    EXPECT_NEAR(Norm(q), 1, 1e-3);
}

TEST_F(CameraControlTest, TurnsAreRightHandedAboutTheScreenAxesAndCompose) {
    Trackball& t = a_->trackball;
    camera_->Turn({0, 0, 1}, 90);
    ExpectPlaced(t, {1, 0, 0}, {0, 1, 0});
    ExpectPlaced(scene_.trackball, {1, 0, 0}, {0, 1, 0});
    // The second turn is about the screen's x axis, not the molecule's.
    camera_->Turn({2, 0, 0}, 90);
    ExpectPlaced(t, {1, 0, 0}, {0, 0, 1});
    camera_->Turn({0, 1, 0}, 90);
    ExpectPlaced(t, {1, 0, 0}, {1, 0, 0});
    ExpectPlaced(t, {0, 0, 1}, {0, -1, 0});

    const float before[4] = {t.orientation[0], t.orientation[1], t.orientation[2], t.orientation[3]};
    camera_->Turn({0, 0, 0}, 90);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(t.orientation[k], before[k]);
}

TEST_F(CameraControlTest, LeftDragTurnsFreeTrackballsWithTheMouse) {
    b_->trackball.free = false;
    // Right from the middle: the front of the ball goes right.
    LeftDrag(100, 50, 120, 50);
    EXPECT_GT(Placement(a_->trackball).Place({0, 0, 1}).x, 0.1);
    EXPECT_GT(Placement(scene_.trackball).Place({0, 0, 1}).x, 0.1);
    EXPECT_TRUE(Unturned(b_->trackball));
    // Up the window (y falling): the front goes up.
    a_->trackball = Trackball{};
    LeftDrag(100, 50, 100, 40);
    const Vec3 front = Placement(a_->trackball).Place({0, 0, 1});
    EXPECT_GT(front.y, 0.1);
    EXPECT_NEAR(front.x, 0, 1e-5);

    EXPECT_EQ(picks_, (std::vector<std::pair<int, int>>{{100, 50}, {100, 50}}));
    EXPECT_EQ(captures_, (std::vector<bool>{true, false, true, false}));
    EXPECT_GT(coordinates_, 0);
    EXPECT_FALSE(camera_->Dragging());
}

TEST_F(CameraControlTest, HydrogenBondsAreRecomputedOnlyWhenMoleculesMoveApart) {
    scene_.settings.showHBonds = true;
    LeftDrag(100, 50, 120, 50);
    EXPECT_EQ(hbonds_, 0);  // everything turns together
    b_->trackball.free = false;
    LeftDrag(100, 50, 120, 50);
    EXPECT_GT(hbonds_, 0);
    scene_.settings.showHBonds = false;
    hbonds_ = 0;
    LeftDrag(100, 50, 120, 50);
    EXPECT_EQ(hbonds_, 0);
}

TEST_F(CameraControlTest, SmallerTrackballsTurnFurtherAndSensitivityStaysInItsRange) {
    LeftDrag(100, 50, 110, 50);
    const double standard = TurnDegrees(a_->trackball.orientation);
    camera_->IncreaseSensitivity();
    camera_->IncreaseSensitivity();
    a_->trackball = Trackball{};
    a_->trackball.radius = scene_.trackball.radius;
    LeftDrag(100, 50, 110, 50);
    EXPECT_GT(TurnDegrees(a_->trackball.orientation), standard * 1.2);

    b_->trackball.free = false;  // every trackball, fixed or not
    for (int i = 0; i < 20; ++i) camera_->IncreaseSensitivity();
    for (const Trackball* t : {&scene_.trackball, &b_->trackball}) {
        EXPECT_GT(t->radius, 0.29f);
        EXPECT_LT(t->radius, 0.41f);
    }
    for (int i = 0; i < 30; ++i) camera_->DecreaseSensitivity();
    EXPECT_GE(b_->trackball.radius, 1.49f);
    EXPECT_LT(b_->trackball.radius, 1.61f);
    camera_->DefaultSensitivity();
    EXPECT_EQ(scene_.trackball.radius, 0.8f);
    EXPECT_EQ(b_->trackball.radius, 0.8f);
}

TEST_F(CameraControlTest, MomentumKeepsADragSpinningButAClickStopsIt) {
    scene_.settings.momentum = true;
    LeftDrag(100, 50, 110, 50);
    const AnimationState& a = scene_.settings.animation;
    EXPECT_TRUE(a.spinning);
    EXPECT_TRUE(a.animating);
    const Trackball dragged = a_->trackball;
    camera_->SpinFrame();
    EXPECT_NE(a_->trackball.orientation[1], dragged.orientation[1]);

    // Press and release at one point: still spinning by the book, but by nothing.
    camera_->ButtonDown(kLeftButton, 30, 30, kLeftButton, false);
    EXPECT_FALSE(a.spinning);
    camera_->ButtonUp(kLeftButton, 30, 30, false);
    EXPECT_TRUE(a.spinning);
    const Trackball still = a_->trackball, global = scene_.trackball;
    for (int i = 0; i < 5; ++i) camera_->SpinFrame();
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(a_->trackball.orientation[k], still.orientation[k], 1e-6);
        EXPECT_NEAR(scene_.trackball.orientation[k], global.orientation[k], 1e-6);
    }

    // Switching momentum off stops a spin; a trajectory keeps animating.
    LeftDrag(100, 50, 110, 50);
    scene_.settings.animation.playing = true;
    camera_->ToggleMomentum();
    EXPECT_FALSE(a.spinning);
    EXPECT_TRUE(a.animating);
    const Trackball stopped = a_->trackball;
    camera_->SpinFrame();
    EXPECT_EQ(a_->trackball.orientation[1], stopped.orientation[1]);
}

TEST_F(CameraControlTest, RightDragZoomsWhileEveryMoleculeIsFree) {
    RightDrag(100, 150);
    EXPECT_FLOAT_EQ(scene_.settings.fieldOfView, 60 - 40.0f * 50 / kWidth);
    EXPECT_GT(projections_, 0);
    RightDrag(150, -2000);
    EXPECT_EQ(scene_.settings.fieldOfView, 180);
    RightDrag(0, 2000);
    EXPECT_EQ(scene_.settings.fieldOfView, 0);
    EXPECT_EQ(a_->trackball.translation[2], 0);
}

TEST_F(CameraControlTest, RightDragMovesFreeMoleculesInDepthBesideAFixedOne) {
    b_->trackball.free = false;
    scene_.settings.SceneRadius = 5;
    camera_->Turn({0, 1, 0}, 90);  // screen z is the molecule's -x
    scene_.settings.showHBonds = true;
    const float fov = scene_.settings.fieldOfView;
    RightDrag(100, 120);
    EXPECT_EQ(scene_.settings.fieldOfView, fov);
    const double k = 3.0 * 20 * 5 / kWidth;
    EXPECT_NEAR(a_->trackball.translation[0], -k, 1e-5);
    EXPECT_NEAR(a_->trackball.translation[2], 0, 1e-5);
    ExpectPlaced(a_->trackball, {0, 0, 0}, {0, 0, k});
    EXPECT_EQ(b_->trackball.translation[0], 0);
    EXPECT_EQ(b_->trackball.translation[2], 0);
    EXPECT_FLOAT_EQ(scene_.settings.SceneRadius, ComputeSceneRadius(molecules_, true));
    EXPECT_GT(hbonds_, 0);
    EXPECT_GT(coordinates_, 0);

    // Shift and an arrow zoom the same way, by ten pixels.
    camera_->Shift(true);
    const float x = a_->trackball.translation[0], radius = scene_.settings.SceneRadius;
    camera_->Arrow(ArrowKey::Down);
    EXPECT_NEAR(a_->trackball.translation[0] - x, -3.0 * 10 * radius / kWidth, 1e-5);
}

TEST_F(CameraControlTest, MiddleOrBothButtonsTranslateInScreenDirections) {
    b_->trackball.free = false;
    camera_->Turn({0, 0, 1}, 90);
    b_->trackball.free = true;
    scene_.settings.SceneRadius = 2;
    const double k = 3.0 * 2 / kWidth;
    camera_->ButtonDown(kMiddleButton, 100, 50, kMiddleButton, false);
    camera_->MouseMove(110, 45, kMiddleButton, false);
    camera_->ButtonUp(kMiddleButton, 110, 45, false);
    // Right and up on screen, for the turned molecule and the one that is not.
    ExpectPlaced(a_->trackball, {0, 0, 0}, {10 * k, 5 * k, 0});
    ExpectPlaced(b_->trackball, {0, 0, 0}, {10 * k, 5 * k, 0});
    EXPECT_NEAR(a_->trackball.translation[1], -10 * k, 1e-6);
    EXPECT_FLOAT_EQ(scene_.settings.SceneRadius, ComputeSceneRadius(molecules_, true));

    // Left and right together; the second button press starts the move.
    scene_.settings.SceneRadius = 2;
    b_->trackball = Trackball{};
    camera_->ButtonDown(kRightButton, 50, 50, kRightButton, false);
    camera_->ButtonDown(kLeftButton, 60, 50, kLeftButton | kRightButton, false);
    camera_->MouseMove(60, 70, kLeftButton | kRightButton, false);
    EXPECT_NEAR(b_->trackball.translation[1], -20 * k, 1e-6);
    EXPECT_EQ(b_->trackball.translation[0], 0);
    EXPECT_EQ(scene_.settings.fieldOfView, 60);

    // Centre brings free molecules back, fixed ones stay.
    b_->trackball.free = false;
    camera_->Centre();
    EXPECT_EQ(a_->trackball.translation[0], 0);
    EXPECT_EQ(a_->trackball.translation[1], 0);
    EXPECT_NE(b_->trackball.translation[1], 0);
}

TEST_F(CameraControlTest, WheelNotchesAndArrowKeys) {
    camera_->Wheel(120);
    EXPECT_EQ(scene_.settings.fieldOfView, 65);
    camera_->Wheel(-240);
    EXPECT_EQ(scene_.settings.fieldOfView, 55);
    camera_->Wheel(119);  // less than a notch
    EXPECT_EQ(scene_.settings.fieldOfView, 55);
    EXPECT_EQ(projections_, 3);
    camera_->Wheel(120 * 40);
    EXPECT_EQ(scene_.settings.fieldOfView, 180);
    camera_->Wheel(-120 * 40);
    EXPECT_EQ(scene_.settings.fieldOfView, 0);

    scene_.settings.fieldOfView = 60;
    camera_->Shift(true);
    camera_->Arrow(ArrowKey::Left);
    EXPECT_FLOAT_EQ(scene_.settings.fieldOfView, 58);
    camera_->Arrow(ArrowKey::Up);
    EXPECT_FLOAT_EQ(scene_.settings.fieldOfView, 60);
    EXPECT_TRUE(Unturned(a_->trackball));

    // Without Shift the arrows turn the front of the scene their way.
    camera_->Shift(false);
    const struct {
        ArrowKey key;
        Vec3 towards;
    } arrows[] = {{ArrowKey::Left, {-1, 0, 0}}, {ArrowKey::Right, {1, 0, 0}}, {ArrowKey::Up, {0, 1, 0}},
                  {ArrowKey::Down, {0, -1, 0}}};
    for (const auto& [key, towards] : arrows) {
        a_->trackball = Trackball{};
        camera_->Arrow(key);
        EXPECT_GT(Dot(Placement(a_->trackball).Place({0, 0, 1}), towards), 0.01);
    }
    EXPECT_EQ(scene_.settings.fieldOfView, 60);
}

TEST_F(CameraControlTest, CtrlDragsMoveTheClippingPlaneNotTheMolecules) {
    const Vec3 normal = scene_.clip.Normal();
    camera_->ButtonDown(kLeftButton, 100, 50, kLeftButton, true);
    camera_->MouseMove(130, 50, kLeftButton, true);
    camera_->ButtonUp(kLeftButton, 130, 50, true);
    EXPECT_TRUE(Unturned(a_->trackball));
    EXPECT_TRUE(Unturned(scene_.trackball));
    EXPECT_GT(Length(scene_.clip.Normal() - normal), 0.05);
    EXPECT_EQ(picks_.size(), 1u);

    RightDrag(100, 150, true);
    EXPECT_NEAR(Length(scene_.clip.Point()), 50.0 / kWidth, 1e-6);
    EXPECT_EQ(scene_.settings.fieldOfView, 60);
}

}  // namespace
