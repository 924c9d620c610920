// The worker threads of a gateway, started once the modem is up.
#pragma once

namespace qz {

class Gateway;

// Settles what an earlier run left half done (the job journal, files taken aside,
// temporaries), then starts the worker threads in their fixed order, each followed by its
// start line.
void start_worker_threads(Gateway& gateway);

}  // namespace qz
