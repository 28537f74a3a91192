#include "QuorLibrary/Math/BasicFunctions.h"

int Sqrt_Int_2(unsigned int n) {
    return static_cast<int>(std::sqrt(static_cast<double>(static_cast<float>(n))) + 0.5);
}
