// The shared library libtarvex is the theory's folders linked whole; this unit
// only gives the target a source of its own.
