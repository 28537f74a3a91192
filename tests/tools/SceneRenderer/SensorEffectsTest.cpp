// The realistic body and sensor effects: each switched off by its scene
// line, the clean mode as it always was, and ground truth that describes the
// delivered pixels.

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "RendererTestSupport.h"

namespace {

using namespace scene_test;

uint64_t Fnv(uint64_t hash, const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= p[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

// The truth's JSON line without the per-hand truth and the running motions,
// which came later (each is tested on its own).
std::string JsonWithoutHands(std::string json) {
    for (const auto& [key, open, close] : {std::make_tuple(std::string(",\"hands\":{"), '{', '}'),
                                           std::make_tuple(std::string(",\"motions\":["), '[', ']')}) {
        for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at)) {
            size_t end = at + key.size();
            for (int depth = 1; depth > 0; ++end) depth += json[end] == open ? 1 : (json[end] == close ? -1 : 0);
            json.erase(at, end - at);
        }
    }
    return json;
}

// Depth, labels and truth of a frame in one number.
uint64_t HashFrame(const RenderedFrame& frame) {
    uint64_t hash = 14695981039346656037ull;
    hash = Fnv(hash, frame.depth.data(), frame.depth.size() * 2);
    hash = Fnv(hash, frame.users.data(), frame.users.size() * 2);
    hash = Fnv(hash, frame.parts.data(), frame.parts.size());
    const std::string json = JsonWithoutHands(FrameTruthToJson(frame.truth));
    return Fnv(hash, json.data(), json.size());
}

// Scenes in the clean mode against the frames the renderer made before the
// dressed body and the new effects: planes, boxes, both bodies' poses and
// motions, white noise, dropouts, shadow, tilt, mirroring, a clip.
TEST(SensorEffects, CleanModeRendersBitForBitAsBefore) {
    const std::string clean = kCleanSensorLine, plain = kPlainBodyKey;
    const struct {
        std::string text;
        int width, height;
        int frames[3];
        uint64_t hashes[3];
    } cases[] = {
        {"sensor noise=0.35 dropouts=0.01 seed=3\n" + clean + "wall z=4000\nbox center=700,300,2000 size=300,600,300 yaw=20\n"
         "person height=1750" + plain + "\nat 0 pos=0,2500\npose 0 stand\npose 1 psi\n",
         320, 240, {0, 15, 40}, {0x2e91cb85e21bee57ull, 0xb1409ac91d26d898ull, 0x0b4d13ac558c6c2eull}},
        {"camera resolution=320x240 elevation=1200 tilt=8\nsensor noise=0.35 dropouts=0.001 seed=5\n" + clean +
         "wall z=5000\nbox center=1300,400,3200 size=500,800,500 yaw=25\nperson height=1800" + plain +
         "\nat 0 pos=-300,2600\nwave 1..5 hand=left\nperson height=1600 girth=1.15 face=motion" + plain +
         "\nat 0 pos=2600,3500 yaw=90\nat 6 pos=-2600,3600\n",
         320, 240, {0, 45, 90}, {0x50a7c0dd111d04f2ull, 0x8a9b9b9cbf70b53aull, 0x8cbc4a7584c229c2ull}},
        {"camera mirror=off hfov=1.1\nsensor quantise=off shadow=on noise=0\n" + clean + "wall x=-1500\nperson height=1650 girth=0.9" +
         plain + "\nat 0 pos=200,2000 yaw=30\npose 0 tpose\npush 0.2..1.5 hand=left\ncircle 1.5..3 hand=right\n",
         160, 120, {0, 20, 60}, {0xba5c2d4d652b8693ull, 0x8059150e9f6e85e8ull, 0x1d196fd7fcac0c94ull}},
        {"sensor noise=0.2 seed=11\n" + clean + "person height=1750" + plain + "\nat 0 pos=0,2400\nbvh simple.bvh loop=on\n",
         640, 480, {0, 1, 3}, {0x2e169e50cea1de00ull, 0x71231319badf666full, 0xd616783c1e9f1128ull}},
    };
    for (const auto& c : cases) {
        Scene scene;
        std::string error;
        ASSERT_TRUE(ParseScene(c.text, VELA_SCENE_TEST_DATA, scene, error)) << error;
        SceneRenderer renderer(scene);
        ASSERT_TRUE(renderer.SetResolution(c.width, c.height));
        RenderedFrame frame;
        for (int k = 0; k < 3; ++k) {
            renderer.Render(c.frames[k], frame);
            EXPECT_EQ(c.hashes[k], HashFrame(frame)) << c.text << "frame " << c.frames[k];
        }
    }
}

const char* const kPerson =
    "camera resolution=320x240 elevation=1400\n"
    "wall z=4000\n"
    "person height=1750\n"
    "  at 0 pos=0,1600\n"
    "  pose 0 psi\n";

RenderedFrame RenderText(const std::string& text, int index = 2) {
    SceneRenderer renderer(ParsedScene(text));
    RenderedFrame frame;
    renderer.Render(index, frame);
    return frame;
}

// Each effect, on by default, changes the frame; its scene line, alone,
// takes it away.
TEST(SensorEffects, EachEffectIsSwitchedOffByItsSceneLine) {
    const RenderedFrame realistic = RenderText(kPerson);
    const char* const lines[] = {
        "sensor levels=table\n", "sensor field=0\n",     "sensor blocks=0\n",  "sensor noise=0\n",
        "sensor edges=off\n",    "sensor fragments=off\n", "sensor holes=off\n",
    };
    for (const char* line : lines) {
        EXPECT_NE(realistic.depth, RenderText(std::string(line) + kPerson).depth) << line;
    }
    // And the body's: the plain body, no clothing, no hair, light fabric.
    const std::string person = kPerson;
    const size_t at = person.find("person height=1750") + std::string("person height=1750").size();
    for (const char* key : {" body=plain", " clothing=off", " hair=off", " fabric=light"}) {
        const std::string text = person.substr(0, at) + key + person.substr(at);
        EXPECT_NE(realistic.depth, RenderText(text).depth) << key;
    }
    // The same seed gives the same frame.
    EXPECT_EQ(realistic.depth, RenderText(kPerson).depth);
    EXPECT_EQ(realistic.users, RenderText(kPerson).users);
}

// What the sensor drops is in no label map, what it adds (gained edge
// pixels, fragments) is the surface it shows; the counts and centroids are
// those of the delivered pixels. Hands keep labels of their own.
TEST(SensorEffects, GroundTruthDescribesTheDeliveredPixels) {
    Scene scene = ParsedScene(std::string(kPerson) + "person height=1600 girth=1.1 fabric=light\n  at 0 pos=700,2600\n");
    SceneRenderer renderer(scene);
    ASSERT_TRUE(renderer.SetResolution(640, 480));
    RenderedFrame frame;
    renderer.Render(3, frame);
    int counts[3] = {0, 0, 0};
    int hands[2] = {0, 0};
    for (size_t i = 0; i < frame.depth.size(); ++i) {
        ASSERT_LE(frame.users[i], 2);
        if (frame.users[i] == 0) {
            ASSERT_EQ(kPartNone, frame.parts[i]) << i;
            continue;
        }
        ASSERT_NE(0, frame.depth[i]) << i;
        ASSERT_NE(kPartNone, frame.parts[i]) << i;
        ++counts[frame.users[i]];
        if (frame.users[i] == 1 && (frame.parts[i] == kPartLeftHand || frame.parts[i] == kPartRightHand)) {
            ++hands[frame.parts[i] - kPartLeftHand];
        }
    }
    ASSERT_EQ(2u, frame.truth.users.size());
    for (int user = 1; user <= 2; ++user) {
        EXPECT_EQ(counts[user], frame.truth.users[user - 1].nVisiblePixels);
        EXPECT_GT(counts[user], 5000);
    }
    EXPECT_GT(hands[0], 200);
    EXPECT_GT(hands[1], 200);
    // Rendering the same frame with the effects off keeps every joint: the
    // skeleton does not depend on the body's dress or the sensor.
    Scene clean = scene;
    SwitchEffectsOff(clean);
    SceneRenderer plain(clean);
    ASSERT_TRUE(plain.SetResolution(640, 480));
    RenderedFrame reference;
    plain.Render(3, reference);
    for (int user = 0; user < 2; ++user) {
        for (int j = 0; j < kJointCount; ++j) {
            const JointTruth& a = frame.truth.users[user].joints[j];
            const JointTruth& b = reference.truth.users[user].joints[j];
            EXPECT_EQ(a.position.x, b.position.x);
            EXPECT_EQ(a.position.y, b.position.y);
            EXPECT_EQ(a.position.z, b.position.z);
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) EXPECT_EQ(a.orientation.m[r][c], b.orientation.m[r][c]);
            }
        }
    }
}

}  // namespace
