#pragma once
// The print-file writer lives with the gxwrite tool; tests use it through here.
#include "tools/gxwrite/GxWriter.h"
