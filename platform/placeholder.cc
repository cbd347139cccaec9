// Replaced by the platform sources.
