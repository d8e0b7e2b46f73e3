#pragma once
// Everything of the framework's core in one include.
#include "framework/arrays.h"
#include "framework/backend.h"
#include "framework/cstring.h"
#include "framework/datetime.h"
#include "framework/file.h"
#include "framework/geometry.h"
#include "framework/paths.h"
#include "framework/resources.h"
#include "framework/settings.h"
#include "framework/system.h"
#include "framework/wintypes.h"
