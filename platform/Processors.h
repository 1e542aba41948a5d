#pragma once

// The processors this process may run on (its affinity, which a container or taskset may narrow),
// at least one.
int processorCount();
