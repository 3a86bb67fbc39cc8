// Process-wide start and stop of the library's state. The DLL entry routine
// calls these on process attach and detach; test programs that link the
// library directly call them around their tests.
#pragma once

// The first attach starts the allocator, then the context registry.
void LibraryProcessAttach();

// The last detach stops the registry (freeing its contexts), then the allocator.
void LibraryProcessDetach();
