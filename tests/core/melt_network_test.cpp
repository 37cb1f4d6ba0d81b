// The exact network with a real melt.

#include "design_generator.h"
#include "solver/melt_network.h"

#include <gtest/gtest.h>

namespace karrow {
namespace {
} // namespace
} // namespace karrow
