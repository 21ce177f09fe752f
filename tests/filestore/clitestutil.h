#pragma once

// The command-line member lives in the shared test support now.
#include "clirunner.h"
