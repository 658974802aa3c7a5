// Placeholder so the resource library links before any artwork exists.
