#include "shell/routine_entry.h"

#include "shell/text/text.h"

namespace talvor {

void RoutineEntry::Run(TForm1& form) const {
  if (flagRoutine != nullptr) {
    flagRoutine(form, flag);
  } else if (routine != nullptr) {
    routine(form);
  }
}

std::string RoutineEntry::Slug() const { return SlugOf(caption); }

std::string SlugOf(std::string_view caption) {
  std::string slug;
  bool pendingDash = false;
  for (char c : caption) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) {
      pendingDash = !slug.empty();
      continue;
    }
    if (pendingDash) slug += '-';
    pendingDash = false;
    slug += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return slug;
}

const RoutineEntry* FindRoutine(std::span<const RoutineEntry* const> entries,
                                std::string_view name) {
  const std::string wanted = LowerCase(name);
  for (const RoutineEntry* e : entries) {
    if (LowerCase(e->caption) == wanted || e->Slug() == wanted) return e;
  }
  return nullptr;
}

}  // namespace talvor
