#pragma once

// The realistic body around the same 15-joint skeleton as the plain one:
// breadths and depths of hips, waist, chest, neck, head and limbs from
// adult anthropometric proportions (ratios of the height, widths scaled by
// the girth), a clothing layer of a thickness per body part, hair that
// widens the head, and mitten hands of real size with a thumb and a palm
// that has thickness. Each solid carries the body-part label of the plain
// body and the material the sensor sees.

#include <cstdint>
#include <vector>

#include "SceneRenderer/BodyModel.h"

namespace vela::scene {

struct BodyStyle {
    bool bClothing = true;    // long sleeves, trousers and shoes over the body, with folds
    bool bHair = true;        // a volume of hair over the top, back and sides of the head
    bool bDarkFabric = true;  // the clothing reflects little of the projector's light
};

void BuildDressedBodyShapes(const BodyDimensions& dims, const Skeleton& skeleton, const BodyStyle& style,
                            std::vector<Shape>& shapes);

// Loose cloth on the torso and thighs lies in low folds, mostly across the
// body: how far (mm, 5-20 mm from crest to trough) the surface stands out
// at a point given in body coordinates. The phases make each person's folds
// their own; they stay on the body as it moves.
struct FoldPhases {
    double values[4] = {0, 0, 0, 0};
};
FoldPhases MakeFoldPhases(uint64_t seed, int person);
double ClothFoldDepth(const Vec3& bodyPoint, const FoldPhases& phases);

}  // namespace vela::scene
