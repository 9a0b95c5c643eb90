#pragma once

namespace bus {

// Why a channel lost its bus, where the channel knows what happened; any
// other reason is the system's own words. A program words these in its own
// language and shows the others as they come.
namespace busloss {
inline constexpr char closed[] = "the bus closed the connection";  // the hub or the adapter went away
inline constexpr char unreachable[] = "the bus cannot be reached";  // the network to it is gone
inline constexpr char adapterGone[] = "the adapter is gone";        // unplugged, or its driver gave up
} // namespace busloss

} // namespace bus
