#include "tests/support/known_gap.h"

namespace testsupport {

bool RunsUnderWine() {
    return false;
}

bool RunsOnTheLinuxLayer() {
    return true;
}

} // namespace testsupport
