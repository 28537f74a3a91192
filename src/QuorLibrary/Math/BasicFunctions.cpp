#include "QuorLibrary/Math/BasicFunctions.h"

int Sqrt_Int_2(unsigned int n) {
    return vela_math::RoundedSqrt(n);
}
