// Loaded by the library tests under several spellings of its name.
extern "C" int ZkTestLibAnswer() { return 42; }

// An address inside this library, for the module file name.
extern "C" const void* ZkTestLibAddress() { return reinterpret_cast<const void*>(&ZkTestLibAnswer); }
