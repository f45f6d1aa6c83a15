#pragma once
// The fuzz targets include the fakes by their old names.
#include "tests/support/fakes.h"
