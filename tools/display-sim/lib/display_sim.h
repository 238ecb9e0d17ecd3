// The display simulator (placeholder until the simulator lands).
#pragma once
namespace displaysim {}
