// Keeps the core library non-empty while subsystems are added.
namespace zirvo { int core_anchor; }
