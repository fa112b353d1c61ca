// The simulated machine; filled in by the simulated backend.
