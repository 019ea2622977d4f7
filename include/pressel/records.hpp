// The whole record catalogue: structured fields, their repeating groups,
// triplets, control sequences and the fallbacks.
#pragma once

#include "pressel/records/afp.hpp"
#include "pressel/records/controls.hpp"
#include "pressel/records/core.hpp"
#include "pressel/records/triplets.hpp"
