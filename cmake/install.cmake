# Install rules and package files.
