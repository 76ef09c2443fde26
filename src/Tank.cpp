#include "Tank.h"
