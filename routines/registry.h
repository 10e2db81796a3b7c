// The routine registry: every routine button of the main window, in window order, as one
// table.
//
// The window builds its buttons from it, `talvor-cli list` prints it and `talvor-cli run`
// looks routines up in it. A button whose routine is not built yet has no entry in
// Registry(): the window never shows a dead button.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "shell/routine_entry.h"

namespace talvor {

// Every button of the window that belongs to a routine, built or not, in window order:
// the grid first, then the group box from the top.
std::span<const RoutineEntry> AllRoutineButtons();

// The built routines, in window order.
std::vector<const RoutineEntry*> Registry();

// The built routine whose caption (any letter case) or slug is `name`; nullptr if none.
const RoutineEntry* FindRoutine(std::string_view name);

// A routine's description for the operator, keyed by its button's caption exactly.
struct RoutineDescription {
  const char* caption;
  const char* text;
};

// What the routine of `entry` does, for whoever is about to run it: what it checks or fixes,
// which legacy files and tables it reads and may change, which report files it writes and the
// question it asks, in one line of plain text. Looked up by `entry.caption` exactly; "" for a
// caption without one. For the tooltip of a button without a hint, and for the command line's
// `list --long` and `help ROUTINE`.
std::string_view DescriptionOf(const RoutineEntry& entry);

// Every description, in window order. A table of its own, so that RoutineEntry stays as tests
// build it and a text whose caption names no button can be found.
std::span<const RoutineDescription> AllRoutineDescriptions();

}  // namespace talvor
