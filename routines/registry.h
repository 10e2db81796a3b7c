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

}  // namespace talvor
