/* Keeps the simulator library non-empty on every platform. */
int zirvo_camsim_anchor;
