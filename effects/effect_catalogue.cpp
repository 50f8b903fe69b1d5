#include "effects/effect_catalogue.h"
// Placeholder until the catalogue is filled in.
