// Placeholder until the factory lands.
