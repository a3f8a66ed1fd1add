/* Anchor of the shared library: the exports themselves live in the core. */
int zirvo_library_anchor;
