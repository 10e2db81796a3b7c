// The routine registry: every routine button of the main window, in window order.
//
// The window builds its buttons from it, `talvor-cli list` prints it and `talvor-cli run`
// looks routines up in it. A button whose routine is not built yet has no entry in
// Registry(): the window never shows a dead button.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvor {

class TForm1;

enum class ButtonGroup {
  kGrid,    // the routine grid beside the settings
  kCommon,  // the "Common Post-Convert Utils" group box at the right edge
};

inline constexpr const char* kCommonGroupCaption = "Common Post-Convert Utils";

struct RoutineEntry {
  const char* caption;
  // Exactly one of these is set once the routine is built; flagRoutine gets `flag`.
  void (*routine)(TForm1&);
  void (*flagRoutine)(TForm1&, bool);
  bool flag;
  ButtonGroup group;
  bool visible;
  bool enabled;
  const char* hint;  // "" when the button has none

  bool Built() const { return routine != nullptr || flagRoutine != nullptr; }
  void Run(TForm1& form) const;
  std::string Slug() const;
};

// The caption lower-cased, each run of bytes other than ASCII letters and digits made one
// "-", leading and trailing "-" dropped: "Pop. CSR/SPRD/PRD" -> "pop-csr-sprd-prd".
std::string SlugOf(std::string_view caption);

// Every button of the window that belongs to a routine, built or not, in window order:
// the grid first, then the group box from the top.
std::span<const RoutineEntry> AllRoutineButtons();

// The built routines, in window order.
std::vector<const RoutineEntry*> Registry();

// The built routine whose caption (any letter case) or slug is `name`; nullptr if none.
const RoutineEntry* FindRoutine(std::string_view name);

}  // namespace talvor
