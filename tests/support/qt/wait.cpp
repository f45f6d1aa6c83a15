#include "tests/support/qt/wait.h"
