// The Windows-1252 conversions are the program's own, in common/TextEncoding.h; this name
// stays for the files that still include it.
#pragma once

#include "common/TextEncoding.h"
