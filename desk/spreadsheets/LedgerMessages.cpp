// Filled in by its author.
