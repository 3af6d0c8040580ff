#pragma once
// Zero-copy memory of the simulated unit: what the preload (in the program)
// and the unit (in the same process or in the launcher) agree on.
//
// On Linux, libusb_dev_mem_alloc maps the usbfs device node, and the host
// controller then writes a transfer's data straight into that memory as the
// packets arrive. Under umockdev the node is a socket that cannot be mapped,
// so the preload serves such a mapping with a shared-memory object of its
// own, named after the testbed and the address it is mapped at; the unit
// opens the object of a transfer's buffer and writes the stream into it.
#include <cstdint>
#include <string>

namespace sim::zero_copy {

// The shared-memory object behind the buffer mapped at `address` in the
// program, for the testbed whose root is `testbed_root`.
std::string object_name(const std::string& testbed_root, std::uintptr_t address);
// The prefix of every such name for the testbed (to clear leftovers).
std::string object_prefix(const std::string& testbed_root);

// The file in the testbed's root whose presence offers zero-copy memory:
// the unit removes it to make the program fall back to plain memory.
std::string offer_path(const std::string& testbed_root);

} // namespace sim::zero_copy
