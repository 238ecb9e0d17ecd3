#include "display_sim.h"
