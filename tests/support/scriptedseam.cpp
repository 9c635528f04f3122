#include "scriptedseam.h"
