#include "turret.h"
